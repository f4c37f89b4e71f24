#!/usr/bin/env bash
# The Wine test bed: a fresh prefix, its own Xvfb display and a persistent wineserver for one
# ctest run.
#   testbed.sh start STATE_DIR [KIND]   remove the old prefix, start Xvfb and wineserver, boot the prefix
#   testbed.sh stop STATE_DIR    stop this prefix's wineserver and this run's Xvfb
#   testbed.sh run STATE_DIR EXE [ARGS...]   run a Windows program in the prefix
# KIND is the Windows the prefix plays:
#   win64  64-bit Windows (the default), for 64-bit programs
#   wow64  the same 64-bit Windows, for 32-bit programs, which run there under WoW64
#   win32  32-bit Windows, booted by the 32-bit loader
# A 32-bit kind on a machine that runs no 32-bit programs is not started: start and run then
# print why and exit 77, which the test runner reports as a skip.
set -euo pipefail

cmd=$1
state=$(mkdir -p "$2" && cd "$2" && pwd)
shift 2

here=$(cd "$(dirname "$0")" && pwd)
if [ "$cmd" = start ]; then
  kind=${1:-win64}
  case "$kind" in
    win64|wow64|win32) echo "$kind" >"$state/kind" ;;
    *) echo "unknown test bed kind: $kind" >&2; exit 2 ;;
  esac
fi
kind=$(cat "$state/kind" 2>/dev/null || echo win64)

if [ "$kind" = win32 ]; then
  WINE=/usr/lib/wine/wine
  WINESERVER=/usr/lib/wine/wineserver32
  export WINEARCH=win32
else
  WINE=/usr/lib/wine/wine64
  WINESERVER=/usr/lib/wine/wineserver64
  export WINEARCH=win64
fi
export WINEPREFIX="$state/prefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

skip_if_unavailable() {
  if [ -f "$state/unavailable" ]; then
    echo "skipped: $(cat "$state/unavailable")"
    exit 77
  fi
}

stop() {
  # Waits for the server to be gone: a new prefix made in the old one's place can have the same
  # inode, and so the same server socket, and its first process must not meet the dying server.
  if [ -d "$WINEPREFIX" ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
  fi
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" >/dev/null 2>&1 || true
    rm -f "$state/xvfb.pid" "$state/display"
  fi
}

case "$cmd" in
  start)
    stop
    rm -rf "$WINEPREFIX" "$state/unavailable"
    if [ "$kind" != win64 ] && ! bash "$here/../../scripts/probe-32bit.sh" --wine >"$state/unavailable"; then
      skip_if_unavailable
    fi
    rm -f "$state/unavailable"
    # A display of our own, from QVNSIS_TESTBED_DISPLAY (90 by default) up. Another test bed may
    # pick the same free number at the same moment: only one Xvfb gets it, so the display is ours
    # only once its lock names our Xvfb; otherwise the next number is tried. Using the other bed's
    # display would end our tests when that bed stops.
    n=${QVNSIS_TESTBED_DISPLAY:-90}
    display=
    while [ -z "$display" ] && [ "$n" -lt $((${QVNSIS_TESTBED_DISPLAY:-90} + 50)) ]; do
      if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then n=$((n + 1)); continue; fi
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$state/xvfb.log" 2>&1 &
      pid=$!
      for _ in $(seq 1 300); do
        kill -0 "$pid" 2>/dev/null || break
        if [ -e "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
          display=":$n"
          break
        fi
        sleep 0.1
      done
      if [ -z "$display" ]; then kill "$pid" >/dev/null 2>&1 || true; n=$((n + 1)); fi
    done
    if [ -z "$display" ]; then echo "no X display could be started" >&2; exit 1; fi
    echo "$pid" >"$state/xvfb.pid"
    echo "$display" >"$state/display"
    export DISPLAY="$display"
    mkdir -p "$WINEPREFIX"
    # Detached from our output, or ctest would wait for the server to close it.
    "$WINESERVER" -p </dev/null >"$state/wineserver.log" 2>&1
    # Plain wineboot, not "wineboot -i": the first process in a new prefix already runs
    # "wineboot --init", which starts the service manager; -i starts a second services.exe. The
    # two then serve the same pipes and each fails the other's service starts, so Wine's COM
    # service (RpcSs) went RUNNING -> STOPPED every second or two, and every class another process
    # had registered with it was lost with it.
    "$WINE" wineboot >"$state/wineboot.log" 2>&1
    # COM's service up before the first test, rather than started by whichever test asks first.
    "$WINE" sc start RpcSs >/dev/null 2>&1 || true
    # The tests look up the Windows version of a child by its executable's name here.
    "$WINE" reg add 'HKCU\Software\Wine\AppDefaults' /f >/dev/null 2>&1
    # The library's one test-bed setting (read only under Wine; docs/testing.md): Wine under load
    # takes 6 to 9 s to fail a COM class nobody registered, where Windows answers at once, so the
    # taskbar object's creation gets 30 s here instead of Windows's 5.
    "$WINE" reg add 'HKCU\Software\Wine\qvnsis test bed' /v TaskbarCreationLimitMs /t REG_DWORD /d 30000 /f \
      >/dev/null 2>&1
    echo "test bed ready: $kind prefix $WINEPREFIX, display $display"
    ;;
  stop)
    stop
    echo "test bed stopped"
    ;;
  run)
    skip_if_unavailable
    DISPLAY=$(cat "$state/display")
    export DISPLAY
    exec "$WINE" "$@"
    ;;
  *)
    echo "usage: $0 start STATE_DIR [win64|wow64|win32] | stop STATE_DIR | run STATE_DIR EXE [ARGS...]" >&2
    exit 2
    ;;
esac
