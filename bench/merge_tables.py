#!/usr/bin/env python3
"""Prints the 64-bit benchmark table, then the 32-bit DLL's timed rows beside their 64-bit ones.

usage: merge_tables.py TABLE64 TABLE32

Both tables come from the same benchmark program, built once per bitness and run in the same
`make bench`: the 64-bit build under 64-bit Windows, the 32-bit one (which loads the shipped
dist/x86-unicode/qvnsis.dll) under 32-bit Windows. A 32-bit row may cost at most 1.3 times its
64-bit row. Then every 32-bit row that has a goal of its own is printed again from the 32-bit
run, against its own baseline: the load and the worst cases (rows in ms, each against the bound
the README states) among them. Exits 1 when a table cannot be read or a row is missing from the
32-bit run.
"""
import re
import sys

GOAL = 1.30
ROW = re.compile(r"^\|\s*(?P<name>.+?)\s*\|\s*(?P<ours>[\d.]+) (?P<unit>us|B)\s*\|")
WITH_GOAL = re.compile(r"^\|\s*(?P<name>.+?)\s*\|\s*(?P<ours>[\d.]+) (us|ms)\s*\|.*\|\s*(<=|> )\s*[\d.]+x\s*\|\s*$")


def timed_rows(path):
    rows = {}
    with open(path, encoding="utf-8", errors="replace") as table:
        for line in table:
            match = ROW.match(line)
            if match and match.group("unit") == "us":
                rows.setdefault(match.group("name"), float(match.group("ours")))
    return rows


def goal_lines(path):
    with open(path, encoding="utf-8", errors="replace") as table:
        return [line.rstrip("\n") for line in table if WITH_GOAL.match(line)]


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8", errors="replace") as table:
        sys.stdout.write(table.read())
    rows64, rows32 = timed_rows(argv[1]), timed_rows(argv[2])
    if not rows64:
        print("no timed rows in the 64-bit table", file=sys.stderr)
        return 1
    print()
    print("32-bit DLL under 32-bit Windows against the 64-bit DLL under 64-bit Windows (ours of each):")
    print("| %-44s | %15s | %15s | %7s | %6s |" % ("benchmark", "32-bit", "64-bit", "ratio", "goal"))
    print("|%s|%s|%s|%s|%s|" % ("-" * 46, "-" * 17, "-" * 17, "-" * 9, "-" * 8))
    status, met = 0, True
    for name, ours64 in rows64.items():
        if name not in rows32:
            print("| %-44s | %15s | %12.1f us | %7s | %6s |" % (name, "missing", ours64, "-", "-"))
            status = 1
            continue
        ratio = rows32[name] / ours64 if ours64 > 0 else float("inf")
        ok = ratio <= GOAL
        met = met and ok
        print("| %-44s | %12.1f us | %12.1f us | %6.2fx | %s%4.2fx |"
              % (name, rows32[name], ours64, ratio, "<=" if ok else "> ", GOAL))
    print("every 32-bit row within its goal" if met else "some 32-bit row missed its goal")
    goals64, goals32 = goal_lines(argv[1]), goal_lines(argv[2])
    if goals64:
        print()
        print("32-bit DLL under 32-bit Windows, the rows with a goal against their own baselines:")
        print("| %-44s | %15s | %15s | %7s | %6s |" % ("benchmark", "ours", "baseline", "ratio", "goal"))
        print("|%s|%s|%s|%s|%s|" % ("-" * 46, "-" * 17, "-" * 17, "-" * 9, "-" * 8))
        names32 = {WITH_GOAL.match(line).group("name") for line in goals32}
        for line in goals32:
            print(line)
        for line in goals64:
            if WITH_GOAL.match(line).group("name") not in names32:
                print("| %-44s | %15s |" % (WITH_GOAL.match(line).group("name"), "missing"))
                status = 1
        within = all(WITH_GOAL.match(line).group(4) == "<=" for line in goals32)
        print("every 32-bit goal met" if within else "some 32-bit goal missed")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
