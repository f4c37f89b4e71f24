#!/usr/bin/env bash
# Fails on any C or C++ file of the project whose layout differs from .clang-format's, naming
# each such file and line. Fix with: clang-format -i FILE (run it twice where a line still moves).
#   usage: check_format.sh SOURCE_DIR
set -euo pipefail
cd "$1"
command -v clang-format >/dev/null || { echo "clang-format is not installed (scripts/install-packages.sh installs it)"; exit 1; }
mapfile -d '' files < <(find src tests bench examples include -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
[ "${#files[@]}" -gt 0 ] || { echo "no sources found under $PWD"; exit 1; }
clang-format --style=file --dry-run --Werror "${files[@]}"
echo "${#files[@]} files laid out as .clang-format says"
