#!/usr/bin/env bash
# The soak run: the demo installer repeats its uninstall-and-reinstall cycle SOAK_CYCLES times
# (default 50) in its own process under Wine, then this script checks that process's kernel
# handle and GDI object counts (after against after-the-first-cycle) and that no log line of
# the cycles went missing.
set -euo pipefail
cd "$(dirname "$0")/.."

cycles=${SOAK_CYCLES:-50}
state=build/soak
testbed=tests/testbed/testbed.sh
bin=$PWD/build/amd64-unicode/bin
mkdir -p "$state"

makensis -V2 -DQVNSIS_DLL="$PWD/dist/amd64-unicode/qvnsis.dll" -DOUTFILE="$PWD/$state/qvnsis-soak-setup.exe" \
  -DQVNSIS_FIXTURES="$bin" -DURL_RECORDER="$bin/record_args.exe" \
  -DSOAK="$cycles" -DUSAGE_PROBE="$bin/qvusage.dll" examples/demo.nsi

bash "$testbed" start "$state" >/dev/null
trap 'bash "$testbed" stop "$state" >/dev/null' EXIT

echo "== soak: $cycles uninstall-and-reinstall cycles in one installer process"
start=$(date +%s)
status=0
bash "$testbed" run "$state" "$PWD/$state/qvnsis-soak-setup.exe" /S || status=$?
echo "   exit code: $status after $(( $(date +%s) - start )) s"

log=$(find "$state/prefix/drive_c/users" -path '*/Temp/Tovin-*.log' | sort | tail -n 1)
[ -n "$log" ] || { echo "no log file was written" >&2; exit 1; }
iconv -f UTF-16 -t UTF-8 "$log" | tr -d '\r' >"$state/log.txt"
python3 bench/soak_check.py "$state/log.txt" "$cycles" && [ "$status" = 0 ]
