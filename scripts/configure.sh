#!/usr/bin/env bash
# Configures one CMake preset (cmake --preset NAME). A build tree made elsewhere (a copied or
# moved checkout) or with a toolchain file that is gone cannot be reconfigured: CMake refuses a
# cache whose source folder differs, and reads the toolchain file named in it again. Such a tree
# is removed and made afresh, which costs one full build of that tree.
#   usage: configure.sh PRESET
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
dir=$(python3 - "$preset" <<'PY'
import json, sys
presets = {p["name"]: p for p in json.load(open("CMakePresets.json"))["configurePresets"]}
print(presets[sys.argv[1]]["binaryDir"].replace("${sourceDir}/", ""))
PY
)
cache="$dir/CMakeCache.txt"
if [ -f "$cache" ]; then
  home=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")
  toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$cache")
  if [ "$home" != "$PWD" ] || { [ -n "$toolchain" ] && [ ! -f "$toolchain" ]; }; then
    echo "$dir was configured for ${home:-another folder}${toolchain:+ with $toolchain}: making it afresh"
    rm -rf "$dir"
  fi
fi
cmake --preset "$preset" >/dev/null
