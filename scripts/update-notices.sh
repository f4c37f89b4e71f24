#!/usr/bin/env bash
# Writes package/THIRD-PARTY-NOTICES.txt from the licence texts of what the DLLs link: the Debian
# source packages scripts/build-deps.sh builds from (the same versions: the newest the mirrors
# still serve), and the toolchain's own copyright files under /usr/share/doc. Run it after a change of
# those packages; `tests/static/check_notices.py` tells when a linked library has no notice.
#   usage: update-notices.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../package/THIRD-PARTY-NOTICES.txt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

src_versions() { apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -rV; }
cd "$work"
declare -A version
for p in sqlite3 libpng1.6 libjpeg-turbo; do
  for v in $(src_versions "$p"); do
    if apt-get source --download-only "$p=$v" >/dev/null 2>&1; then version[$p]=$v; break; fi
  done
  [ -n "${version[$p]:-}" ] || { echo "cannot download the source of $p" >&2; exit 1; }
done
for dsc in *.dsc; do dpkg-source --no-check -x "$dsc" >/dev/null; done
sqlite=$(ls -d sqlite3-*/ | head -n1)
png=$(ls -d libpng1.6-*/ | head -n1)
jpeg=$(ls -d libjpeg-turbo-*/ | head -n1)
pkgver() { dpkg-query -W -f='${Version}' "$1"; }

# One section: a header naming what in the link map it covers ("Linked in as:", which the check
# reads), then the texts.
section() {
  local title=$1 linked=$2 from=$3
  printf '%s\n%s\nLinked in as: %s\nTaken from: %s\n%s\n\n' "$(printf '=%.0s' {1..78})" "$title" "$linked" "$from" \
    "$(printf '=%.0s' {1..78})"
}
# The lines of file $1 from the line that is exactly $2 up to (not with) the line that is exactly $3.
between() { awk -v a="$2" -v b="$3" '$0 == a {on = 1} on && $0 == b {exit} on' "$1"; }

{
  cat <<'HEAD'
qvnsis.dll: third-party notices

Both builds of qvnsis.dll (Plugins/x86-unicode and Plugins/amd64-unicode) link the following
software statically. Each section names the archives or objects of the link it covers, where its
text was taken from, and the licence text itself.

HEAD
  section "SQLite ${version[sqlite3]%%-*}" "libsqlite3.a" "Debian source package sqlite3 ${version[sqlite3]}: LICENSE.md, debian/copyright"
  cat "$sqlite/LICENSE.md"; echo; cat "$sqlite/debian/copyright"; echo
  section "libpng ${version[libpng1.6]%%-*}" "libpng.a libpng16.a" "Debian source package libpng1.6 ${version[libpng1.6]}: LICENSE"
  cat "$png/LICENSE"; echo
  section "zlib" "libz.a" "Debian package libz-mingw-w64-dev $(pkgver libz-mingw-w64-dev): /usr/share/doc/libz-mingw-w64/copyright"
  cat /usr/share/doc/libz-mingw-w64/copyright; echo
  section "libjpeg-turbo ${version[libjpeg-turbo]#*:}" "libjpeg.a" \
    "Debian source package libjpeg-turbo ${version[libjpeg-turbo]}: LICENSE.md, README.ijg"
  echo "This software is based in part on the work of the Independent JPEG Group."; echo
  cat "$jpeg/LICENSE.md"; echo
  echo "From README.ijg:"; echo
  between "$jpeg/README.ijg" "LEGAL ISSUES" "REFERENCES"; echo
  section "Boost $(pkgver libboost1.74-dev)" "boost-headers" \
    "Debian package libboost1.74-dev $(pkgver libboost1.74-dev): /usr/share/doc/libboost1.74-dev/copyright (BSL-1.0)"
  echo "Header-only Boost libraries are compiled into the library's own code."; echo
  between /usr/share/doc/libboost1.74-dev/copyright " Boost Software License - Version 1.0 - August 17th, 2003" \
    ""
  section "GCC runtime libraries (libgcc, libstdc++)" "libgcc.a libgcc_eh.a libstdc++.a libsupc++.a crtbegin.o crtend.o" \
    "Debian package gcc-mingw-w64-base $(pkgver gcc-mingw-w64-base): /usr/share/doc/gcc-mingw-w64-base/copyright"
  cat <<'GCC'
libgcc and libstdc++ are distributed under the GNU General Public License version 3 with the GCC
Runtime Library Exception, version 3.1, which permits linking them into a program such as this
one under terms of the program's choice. The exception's text follows; the GPL's is at
https://www.gnu.org/licenses/gpl-3.0.html.

GCC
  between /usr/share/doc/gcc-mingw-w64-base/copyright "GCC RUNTIME LIBRARY EXCEPTION" "libquadmath/*.[hc]:"
  section "MinGW-w64 runtime" "dllcrt2.o libmingw32.a libmingwex.a libmsvcrt.a libmoldname.a libuuid.a libpthread.a libwinpthread.a import-libraries" \
    "Debian package mingw-w64-common $(pkgver mingw-w64-common): /usr/share/doc/mingw-w64-common/copyright"
  printf '%s\n' "The start-up code, the C runtime's extensions, the interface identifiers (libuuid), the" \
    "POSIX threads of the 64-bit build (winpthreads) and the Windows import libraries."; echo
  cat /usr/share/doc/mingw-w64-common/copyright
} > "$out"
echo "wrote $out"
