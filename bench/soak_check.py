#!/usr/bin/env python3
"""Checks the soak run's log: the installer process's handle and GDI object counts did not grow
over the cycles, no flow of the cycle took longer at the end than at the start, every cycle
finished, and every cycle wrote the same lines as the first (a line
may be dropped only when the log mutex stays busy for 20 ms, which nothing here holds that long)."""
import re
import sys
from collections import Counter

log_path, cycles = sys.argv[1], int(sys.argv[2])
line_re = re.compile(r"^(.{10}) (\d{5,}) \[[^\]]*\] (.*)$")
# Texts that differ from cycle to cycle: process ids, window handles, temporary paths.
variable_re = re.compile(r"\d+|ns[a-zA-Z0-9]+\.tmp")

entries = []
for raw in open(log_path, encoding="utf-8"):
    m = line_re.match(raw.rstrip("\n"))
    if m:
        entries.append((m.group(1).strip(), m.group(2), m.group(3)))

soak_pid = next((pid for _, pid, text in entries if text.startswith("demo: soak: before:")), None)
if soak_pid is None:
    sys.exit("FAIL: the soak run never reached its first count")
mine = [text for _, pid, text in entries if pid == soak_pid]

counts = {}
for text in mine:
    m = re.match(r"demo: soak: (before|after): handles (\d+), GDI objects (\d+)$", text)
    if m:
        counts[m.group(1)] = (int(m.group(2)), int(m.group(3)))

failures = []
if "after" not in counts:
    failures.append("the soak run did not reach its last count")
else:
    (h0, g0), (h1, g1) = counts["before"], counts["after"]
    print(f"installer process: kernel handles {h0} -> {h1}, GDI objects {g0} -> {g1}")
    if h0 <= 0:
        failures.append("the handle count does not work")
    if h1 > h0:
        failures.append(f"kernel handles grew by {h1 - h0}")
    if g1 > g0:
        failures.append(f"GDI objects grew by {g1 - g0}")

# The installer's own lines of each cycle, with what may vary masked out.
sweep_round = "UltimateTerminateAllTovinProcesses: shut down some processes"
sweep_rounds = 0
cycle_lines, current, finished = [], [], 0
started = False
for text in mine:
    if text.startswith("demo: soak: before:"):
        started, current = True, []
        continue
    if not started:
        continue
    m = re.match(r"demo: soak: cycle (\d+) done$", text)
    if m:
        finished += 1
        if int(m.group(1)) != finished:
            failures.append(f"cycle {finished} is followed by the end of cycle {m.group(1)}")
        # The engine started with "/QUIT" only hands the request on and ends; when the running
        # engine ends first, the sweep can still find that messenger and end it. That extra sweep
        # round is a race of two processes ending, not a line lost or added by the library.
        swept = sum(1 for t in current if t == sweep_round)
        sweep_rounds += swept
        cycle_lines.append(Counter(variable_re.sub("#", t) for t in current if t != sweep_round))
        current = []
    else:
        current.append(text)
if finished != cycles:
    failures.append(f"{finished} of {cycles} cycles finished")
total = sum(sum(c.values()) for c in cycle_lines)
print(f"{sweep_rounds} extra sweep rounds for a messenger engine still ending")
print(f"{finished} cycles, {total} lines of the installer process in them, "
      f"{len(entries)} lines in the log")
if cycle_lines:
    first = cycle_lines[0]
    for number, lines in enumerate(cycle_lines[1:], start=2):
        if lines != first:
            missing = first - lines
            extra = lines - first
            failures.append(f"cycle {number} differs from cycle 1: missing {dict(missing)}, extra {dict(extra)}")

# Each flow's time per cycle: a wait that creeps up (a handle, a window or a worker left behind that
# a later call waits on) shows as the last cycles taking longer than the first.
timings = {}
for text in mine:
    m = re.match(r"demo: soak: cycle (\d+) took: uninstall (\d+) ms, install (\d+) ms, engine (\d+) ms$", text)
    if m:
        for flow, value in zip(("uninstall", "install", "engine"), m.groups()[1:]):
            timings.setdefault(flow, []).append(int(value))
if cycles >= 20:
    if len(timings.get("uninstall", [])) != finished:
        failures.append("a cycle did not log its times")
    for flow, values in timings.items():
        first, last = sorted(values[:10]), sorted(values[-10:])
        first_median, last_median = first[len(first) // 2], last[len(last) // 2]
        print(f"{flow:9} flow: median of the first 10 cycles {first_median} ms, of the last 10 "
              f"{last_median} ms, longest {max(values)} ms")
        # A quarter more plus a quarter second: the machine's own noise, not a trend.
        if last_median > first_median * 1.25 + 250:
            failures.append(f"the {flow} flow grew from {first_median} ms to {last_median} ms")

for failure in failures:
    print("FAIL:", failure)
print("soak: " + ("FAILED" if failures else "passed"))
sys.exit(1 if failures else 0)
