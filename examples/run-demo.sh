#!/usr/bin/env bash
# Builds the demo installer against the 64-bit DLL, runs it silently under Wine in a fresh prefix,
# and prints what it did, and what it left of the library.
set -euo pipefail
cd "$(dirname "$0")/.."

state=build/demo
testbed=tests/testbed/testbed.sh
mkdir -p "$state"

makensis -V2 "-X!addincludedir $PWD/include" -DTARGET=amd64-unicode -DQVNSIS_DLL="$PWD/dist/amd64-unicode/qvnsis.dll" -DOUTFILE="$PWD/$state/qvnsis-demo-setup.exe" \
  -DQVNSIS_FIXTURES="$PWD/build/amd64-unicode/bin" \
  -DURL_RECORDER="$PWD/build/amd64-unicode/bin/record_args.exe" \
  examples/demo.nsi

bash "$testbed" start "$state" >/dev/null
trap 'bash "$testbed" stop "$state" >/dev/null' EXIT

echo "== running the demo installer silently under Wine"
status=0
bash "$testbed" run "$state" "$PWD/$state/qvnsis-demo-setup.exe" /S || status=$?
echo "   exit code: $status"

# The log lives in the Wine user's temporary directory.
log=$(find "$state/prefix/drive_c/users" -path '*/Temp/Tovin-*.log' -newer "$state/qvnsis-demo-setup.exe" \
  | sort | tail -n 1)
if [ -z "$log" ]; then
  echo "no log file was written" >&2
  exit 1
fi
echo "== the day's log: ${log#"$state/prefix/"}"
iconv -f UTF-16 -t UTF-8 "$log" | tr -d '\r'

echo "== what the exports changed in the registry"
bash "$testbed" run "$state" reg query 'HKCU\SOFTWARE\Tovin' /s 2>/dev/null | iconv -f CP437 -t UTF-8 | tr -d '\r' | sed '/^$/d'
for key in 'HKCU\Software\Classes\AllFileSystemObjects\shell\tovin' 'HKCU\Software\Classes\Directory\shell\tovin' \
  'HKCU\Software\Classes\Drive\shell\tovin' 'HKCU\Software\Classes\lnkfile\shell\tovin' 'HKCU\Software\Classes\tovin'; do
  bash "$testbed" run "$state" reg query "$key" /s 2>/dev/null | iconv -f CP437 -t UTF-8 | tr -d '\r' | sed '/^$/d'
done
echo "== the imported favourites"
bash "$testbed" run "$state" reg query 'HKCU\SOFTWARE\Tovin\Sideload\Favorites' 2>/dev/null | iconv -f CP437 -t UTF-8 | tr -d '\r' | sed '/^$/d'

echo "== the installed-apps database's \"features\" rows (id_or_folder | feature_list)"
bash "$testbed" run "$state" "$PWD/build/amd64-unicode/bin/dump_sqlite_table.exe" \
  '%LOCALAPPDATA%\Tovin\Tovines\installed_tovines.db' features | tr -d '\r'

echo "== what the simulated engine received (event, pid, arguments, command line)"
record=$(find "$state/prefix/drive_c/users" -path '*/Tovin/Engine/tovin_record.txt' | head -n 1)
if [ -n "$record" ]; then iconv -f UTF-16 -t UTF-8 "$record" | tr -d '\r'; else echo "(no start recorded)"; fi
echo "== what the simulated deskband library recorded (registration, window, commands)"
record=$(find "$state/prefix/drive_c/users" -path '*/Tovin/qvdeskband_record.txt' | head -n 1)
if [ -n "$record" ]; then iconv -f UTF-16 -t UTF-8 "$record" | tr -d '\r'; else echo "(nothing recorded)"; fi
echo "== what the stand-in taskbar deskband object was asked"
record=$(find "$state/prefix/drive_c/users" -path '*/Temp/qvnsis-demo/tray_record.txt' | head -n 1)
if [ -n "$record" ]; then iconv -f UTF-16 -t UTF-8 "$record" | tr -d '\r'; else echo "(nothing recorded)"; fi
echo "== the URL the uninstall survey opened in the user's (stand-in) browser"
record=
for _ in $(seq 1 50); do
  record=$(find "$state/prefix/drive_c/users" -path '*/Temp/qvnsis-demo/browser.args.txt' | head -n 1)
  [ -n "$record" ] && [ -s "$record" ] && break
  sleep 0.1
done
if [ -n "$record" ]; then cut -f2 "$record"; else echo "(no browser started)"; fi

echo "== what the installer and its uninstaller left of the library (both unloaded it)"
temp=$(find "$state/prefix/drive_c/users" -maxdepth 2 -type d -name Temp | head -n 1)
left=$(find "$temp" \( -iname 'ns*.tmp' -o -iname 'qvnsis*.dll' \) 2>/dev/null | sed "s|^$state/prefix/||")
echo "${left:-(nothing in the temporary folder)}"
bash "$testbed" run "$state" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
  /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -i 'qvnsis\|\.tmp' || echo "(nothing queued for deletion at the next reboot)"
echo "== the copies Explorer loaded for the deskband's release (deleted once Explorer lets go of them)"
ls "$state/prefix/drive_c/users/"*/AppData/Local/qvnsis-release 2>/dev/null || echo "(none)"
