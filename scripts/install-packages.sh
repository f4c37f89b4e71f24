#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  cmake make ninja-build tcl nasm python3 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-win32 mingw-w64-tools
  libz-mingw-w64-dev libboost-dev googletest
  wine64 xvfb xauth nsis dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

sources=/etc/apt/sources.list.d/debian.sources
need_src=0
if [ -f "$sources" ] && ! grep -q '^Types:.*deb-src' "$sources"; then
  sed -i 's/^Types: deb$/Types: deb deb-src/' "$sources"
  need_src=1
fi

if [ "${#missing[@]}" -gt 0 ] || [ "$need_src" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
