#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  cmake make ninja-build tcl nasm python3 binutils binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix mingw-w64-tools
  libz-mingw-w64-dev libboost-dev googletest
  wine64 xvfb xauth nsis dpkg-dev imagemagick clang-format
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

# The 32-bit test beds need 32-bit Wine, which runs only where the kernel runs 32-bit programs.
# Elsewhere it is not installed (an installed one is left alone: the 64-bit bed does not use it).
need_i386=0
if bash "$(dirname "$0")/probe-32bit.sh" >/dev/null; then
  if ! installed wine32:i386; then
    missing+=(wine32:i386)
    dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
  fi
fi
if [ "$need_i386" = 1 ]; then
  dpkg --add-architecture i386
fi

sources=/etc/apt/sources.list.d/debian.sources
need_src=0
if [ -f "$sources" ] && ! grep -q '^Types:.*deb-src' "$sources"; then
  sed -i 's/^Types: deb$/Types: deb deb-src/' "$sources"
  need_src=1
fi

if [ "${#missing[@]}" -gt 0 ] || [ "$need_src" = 1 ] || [ "$need_i386" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
