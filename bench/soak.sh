#!/usr/bin/env bash
# The soak run: the demo installer repeats its uninstall-and-reinstall cycle SOAK_CYCLES times
# (default 50) in its own process under Wine, then this script checks that process's kernel
# handle and GDI object counts (after against after-the-first-cycle) and that no log line of
# the cycles went missing. SOAK_BITS=32 runs the 32-bit installer with the shipped 32-bit DLL
# in 32-bit Windows (where 32-bit programs run) instead of the 64-bit one.
set -euo pipefail
cd "$(dirname "$0")/.."

cycles=${SOAK_CYCLES:-50}
testbed=tests/testbed/testbed.sh
case "${SOAK_BITS:-64}" in
  64) state=build/soak; bin=$PWD/build/amd64-unicode/bin; target=amd64-unicode; kind=win64 ;;
  32) state=build/soak-x86; bin=$PWD/build/x86-tests/bin; target=x86-unicode; kind=win32 ;;
  *) echo "SOAK_BITS is 32 or 64" >&2; exit 2 ;;
esac
mkdir -p "$state"

# A 32-bit installer carries the 64-bit DLL too (the deskband's release on 64-bit Windows).
makensis -V2 "-X!addincludedir $PWD/include" -DTARGET="$target" -DQVNSIS_DLL="$PWD/dist/$target/qvnsis.dll" -DQVNSIS_DLL64="$PWD/dist/amd64-unicode/qvnsis.dll" \
  -DOUTFILE="$PWD/$state/qvnsis-soak-setup.exe" -DQVNSIS_FIXTURES="$bin" -DURL_RECORDER="$bin/record_args.exe" \
  -DSOAK="$cycles" -DUSAGE_PROBE="$bin/qvusage.dll" examples/demo.nsi

bash "$testbed" start "$state" "$kind" >/dev/null
trap 'bash "$testbed" stop "$state" >/dev/null' EXIT

echo "== soak: $cycles uninstall-and-reinstall cycles in one $target installer process"
start=$(date +%s)
status=0
bash "$testbed" run "$state" "$PWD/$state/qvnsis-soak-setup.exe" /S || status=$?
echo "   exit code: $status after $(( $(date +%s) - start )) s"

log=$(find "$state/prefix/drive_c/users" -path '*/Temp/Tovin-*.log' | sort | tail -n 1)
[ -n "$log" ] || { echo "no log file was written" >&2; exit 1; }
iconv -f UTF-16 -t UTF-8 "$log" | tr -d '\r' >"$state/log.txt"
python3 bench/soak_check.py "$state/log.txt" "$cycles" && [ "$status" = 0 ]
