#!/usr/bin/env bash
# Says whether this machine runs 32-bit programs: builds a two-instruction i386 ELF that exits
# with 42 and runs it. Some kernels have no 32-bit support at all ("Exec format error").
#   probe-32bit.sh           exit 0 when they run; otherwise print why and exit 1
#   probe-32bit.sh --wine    also require the 32-bit Wine loader
set -uo pipefail

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

printf '.globl _start\n_start:\n  mov $1, %%eax\n  mov $42, %%ebx\n  int $0x80\n' >"$dir/p.s"
if ! as --32 "$dir/p.s" -o "$dir/p.o" 2>"$dir/err" || ! ld -m elf_i386 "$dir/p.o" -o "$dir/p" 2>>"$dir/err"; then
  echo "32-bit programs not probed: cannot build the i386 probe ($(head -n1 "$dir/err"))"
  exit 1
fi
"$dir/p" 2>"$dir/err"
status=$?
if [ "$status" != 42 ]; then
  echo "32-bit programs do not run on this machine: the i386 probe exited $status ($(head -n1 "$dir/err"))"
  exit 1
fi
if [ "${1:-}" = --wine ] && [ ! -x /usr/lib/wine/wine ]; then
  echo "32-bit Wine is not installed (/usr/lib/wine/wine, package wine32:i386)"
  exit 1
fi
exit 0
