#!/usr/bin/env bash
# Runs both ctest trees at once. Their beds share nothing (own prefixes, wineservers and Xvfb
# displays), and most of a test's time is spent waiting on Wine rather than computing, so side by
# side they take about as long as the slower tree alone. The 32-bit tree's output is kept in its
# own file and printed after the 64-bit tree's, so that neither interleaves with the other.
set -u
log32=build/x86-tests/ctest.log
mkdir -p build/x86-tests
ctest --preset x86-unicode-tests >"$log32" 2>&1 &
pid32=$!
trap 'kill "$pid32" 2>/dev/null' INT TERM
status=0
ctest --preset amd64-unicode || status=1
wait "$pid32" || status=1
echo
echo "32-bit tree ($log32):"
cat "$log32"
exit $status
