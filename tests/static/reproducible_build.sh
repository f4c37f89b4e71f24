#!/usr/bin/env bash
# Builds the DLL a second time, in a fresh tree at another path and without the compiler cache,
# with the configuration of an existing build tree, and compares the stripped result with the one
# that tree shipped: the same commit must give the same bytes (no timestamps, no build paths).
#   reproducible_build.sh SOURCE_DIR BUILD_DIR SHIPPED_DLL WORK_DIR
set -euo pipefail

source_dir=$1
build_dir=$2
shipped=$3
work=$4

cached() { sed -n "s/^$1:[A-Z]*=//p" "$build_dir/CMakeCache.txt"; }

toolchain=$(cached CMAKE_TOOLCHAIN_FILE)
triple=$(cached QVNSIS_TRIPLE)
threads=$(cached QVNSIS_THREADS)
deps=$(cached QVNSIS_DEPS_DIR)
if [ -z "$toolchain" ] || [ -z "$triple" ] || [ -z "$threads" ] || [ -z "$deps" ]; then
  echo "reproducible_build.sh: $build_dir is not a configured build tree" >&2
  exit 1
fi

rm -rf "$work"
export CCACHE_DISABLE=1
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
cmake -S "$source_dir" -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQVNSIS_TRIPLE="$triple" -DQVNSIS_THREADS="$threads" \
  -DQVNSIS_DEPS_DIR="$deps" -DQVNSIS_DIST_DIR="$work/dist" >/dev/null
cmake --build "$work" --target qvnsis -j "$(nproc)" >/dev/null

if ! cmp "$shipped" "$work/dist/qvnsis.dll"; then
  echo "reproducible_build.sh: a second build of the same sources differs from $shipped" >&2
  exit 1
fi
echo "identical: $shipped and $work/dist/qvnsis.dll ($(stat -c %s "$shipped") bytes)"
rm -rf "$work"
