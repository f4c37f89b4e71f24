#!/usr/bin/env python3
"""Holds the rule for the code DllMain reaches (docs/architecture.md, "Under the loader lock"):
it loads and frees no library, starts no thread, initialises no COM, sleeps not, and waits for
nothing without a bound, since all of it runs while Windows holds the loader lock.

What DllMain reaches is taken as the closure of its includes in src/ (a header's .cpp beside it
counts as reached): a little more than it calls, never less. The list is printed, so the code
that runs under the lock is named in one place.

usage: check_loader_lock.py SRC_DIR
"""

import pathlib
import re
import sys

ENTRY = "exports/dll_main.cpp"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
FORBIDDEN = re.compile(
    r"\b(LoadLibrary\w*|FreeLibrary\w*|LdrLoadDll|CoInitialize\w*|OleInitialize|CreateThread|"
    r"_beginthread\w*|Sleep|SleepEx|INFINITE|SendMessageW?|WaitForMultipleObjects\w*|"
    r"SignalObjectAndWait)\b")


def reached(root):
    seen, todo = set(), [ENTRY]
    while todo:
        name = todo.pop()
        if name in seen or not (root / name).is_file():
            continue
        seen.add(name)
        for line in (root / name).read_text(encoding="utf-8").splitlines():
            match = INCLUDE.match(line)
            if match:
                todo.append(match.group(1))
                if match.group(1).endswith(".h"):
                    todo.append(match.group(1)[:-2] + ".cpp")
    return sorted(seen)


def main(src):
    root = pathlib.Path(src)
    files = reached(root)
    faults = []
    for name in files:
        for number, line in enumerate((root / name).read_text(encoding="utf-8").splitlines(), 1):
            code = line.split("//", 1)[0]
            for match in FORBIDDEN.finditer(code):
                faults.append(f"src/{name}:{number}: {match.group(1)} in code DllMain reaches")
    print("Reached from DllMain, under the loader lock:")
    for name in files:
        print("  src/" + name)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
