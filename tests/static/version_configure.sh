#!/usr/bin/env bash
# The configure step takes the product version from project(qvnsis VERSION ...) alone: a copy of
# the project with another version either configures and hands that version on (version.txt for
# the package's name, version.h for the DLL's version resource), or fails naming the bad text.
#   usage: version_configure.sh SOURCE_DIR SCRATCH_DIR
set -uo pipefail
source=$1 scratch=$2
rm -rf "$scratch" && mkdir -p "$scratch"
status=0

# version | what the configure step must do (ok, or a piece of its error message)
cases=(
  "2.3.4.5|ok"
  "1.0.0|is not four numbers"
  "1.0|is not four numbers"
  "1.0.0.70000|does not fit a version field"
  "1.0.0.x|format invalid"
)
for entry in "${cases[@]}"; do
  version=${entry%%|*} expected=${entry#*|}
  copy="$scratch/$version"
  mkdir -p "$copy"
  for part in cmake resources src; do ln -s "$source/$part" "$copy/$part"; done
  sed "s/^project(qvnsis VERSION [^ ]* /project(qvnsis VERSION $version /" "$source/CMakeLists.txt" >"$copy/CMakeLists.txt"
  grep -q "^project(qvnsis VERSION $version " "$copy/CMakeLists.txt" || { echo "cannot set $version"; exit 1; }
  output=$(cmake -S "$copy" -B "$copy/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchain-mingw.cmake" \
    -DQVNSIS_TRIPLE=i686-w64-mingw32 -DQVNSIS_THREADS=win32 2>&1)
  result=$?
  if [ "$expected" = ok ]; then
    fields=${version//./,}
    if [ $result != 0 ]; then
      echo "FAIL $version: the configure step failed"; echo "$output"; status=1
    elif [ "$(cat "$copy/build/version.txt")" != "$version" ]; then
      echo "FAIL $version: version.txt holds $(cat "$copy/build/version.txt")"; status=1
    elif ! grep -q "QVNSIS_VERSION_COMMA $fields\$" "$copy/build/generated/version.h" ||
         ! grep -q "QVNSIS_VERSION_TEXT \"$version\"" "$copy/build/generated/version.h"; then
      echo "FAIL $version: the version resource's header does not carry it"; cat "$copy/build/generated/version.h"; status=1
    else
      echo "ok   $version: configured, handed on"
    fi
  elif [ $result = 0 ]; then
    echo "FAIL $version: the configure step accepted it"; status=1
  elif ! grep -q "$expected" <<<"$output"; then
    echo "FAIL $version: the configure step failed without saying \"$expected\""; echo "$output"; status=1
  else
    echo "ok   $version: refused ($expected)"
  fi
done
exit $status
