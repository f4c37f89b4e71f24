#!/usr/bin/env python3
"""Holds the layers' include arrows (docs/architecture.md): every quoted include in src/ is
written from src/, never with "..", and points down only:

  exports    may include exports, shell, store, foundation
  shell      may include shell, foundation
  store      may include store, foundation
  foundation may include foundation

usage: check_layers.py SRC_DIR
Prints each include that breaks a rule, with its file and line, and exits 1 if there is any.
"""

import pathlib
import re
import sys

ALLOWED = {
    "exports": {"exports", "shell", "store", "foundation"},
    "shell": {"shell", "foundation"},
    "store": {"store", "foundation"},
    "foundation": {"foundation"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def main(src):
    root = pathlib.Path(src)
    faults = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".c", ".cpp") or not path.is_file():
            continue
        layer = path.relative_to(root).parts[0]
        if layer not in ALLOWED:
            continue  # files at the top of src/ belong to no layer (there are none today)
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = match.group(1)
            where = f"{path.relative_to(root.parent)}:{number}"
            if ".." in pathlib.PurePosixPath(target).parts:
                faults.append(f"{where}: \"{target}\" climbs with ..; write includes from src/")
                continue
            target_layer = pathlib.PurePosixPath(target).parts[0]
            if target_layer not in ALLOWED:
                faults.append(f"{where}: \"{target}\" is not written from src/ (no layer named {target_layer})")
            elif target_layer not in ALLOWED[layer]:
                faults.append(f"{where}: {layer} includes {target_layer} (\"{target}\"); "
                              f"{layer} may include only {', '.join(sorted(ALLOWED[layer]))}")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} include(s) against the layers" if faults else "every include points down")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
