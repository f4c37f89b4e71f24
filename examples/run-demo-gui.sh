#!/usr/bin/env bash
# Builds the demo installer with its pages (demo_pages.nsh, main window from demo_ui.rc) against
# the 64-bit DLL, runs it without /S under Wine on the test bed's X display, clicks through its
# pages with the end-to-end tests' guide (e2e_tests.exe --child demo_pages_tour) and saves a
# screenshot of the installer window on each page: build/demo-gui/<n>-<page>.png.
set -euo pipefail
cd "$(dirname "$0")/.."

state=build/demo-gui
bin=build/amd64-unicode/bin
testbed=tests/testbed/testbed.sh
handshake=$state/handshake
mkdir -p "$state"
rm -rf "$handshake" "$state"/*.png
mkdir -p "$handshake"

makensis -V2 "-X!addincludedir $PWD/include" -DTARGET=amd64-unicode -DQVNSIS_DLL="$PWD/dist/amd64-unicode/qvnsis.dll" -DOUTFILE="$PWD/$state/qvnsis-demo-setup.exe" \
  -DQVNSIS_DEMO_UI="$PWD/$bin/qvnsis-demo-ui.dll" examples/demo.nsi

bash "$testbed" start "$state" >/dev/null
trap 'bash "$testbed" stop "$state" >/dev/null' EXIT
display=$(cat "$state/display")

# Installing, with the consent still open: the first page offers it.
bash "$testbed" run "$state" reg add 'HKCU\SOFTWARE\Tovin' /v InstallMode /t REG_DWORD /d 1 /f >/dev/null 2>&1
bash "$testbed" run "$state" reg add 'HKCU\SOFTWARE\Tovin' /v AnalyticsAccepted /t REG_DWORD /d 0 /f >/dev/null 2>&1

windows_path() { local p=$1; echo "Z:${p//\//\\}"; }

echo "== the demo installer's pages, on display $display"
bash "$testbed" run "$state" "$PWD/$bin/e2e_tests.exe" --child demo_pages_tour \
  "$(windows_path "$PWD/$state/qvnsis-demo-setup.exe")" "$(windows_path "$PWD/$handshake")" &
tour=$!
# Each page the guide reports: the window's rectangle from the screen, then the guide goes on.
while kill -0 "$tour" 2>/dev/null; do
  for shown in "$handshake"/*.shown; do
    [ -e "$shown" ] || continue
    name=$(basename "$shown" .shown)
    DISPLAY=$display import -window root -crop "$(tr -d '\r\n' <"$shown")" +repage "$state/$name.png"
    echo "   $state/$name.png"
    mv "$shown" "$handshake/$name.taken"
  done
  sleep 0.2
done
status=0
wait "$tour" || status=$?
echo "   the guide's exit code: $status (0: every page shown, the installer closed with 0)"

log=$(find "$state/prefix/drive_c/users" -path '*/Temp/Tovin-*.log' | sort | tail -n 1)
if [ -n "$log" ]; then
  echo "== the day's log: ${log#"$state/prefix/"}"
  iconv -f UTF-16 -t UTF-8 "$log" | tr -d '\r'
fi
exit "$status"
