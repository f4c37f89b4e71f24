#!/usr/bin/env python3
"""Static checks of a built qvnsis.dll: export names, calling conventions, imports, shared section.

usage: check_dll.py CHECK --objdump OBJDUMP --source SRC [--xp-missing LIST] [--load-time LIST] DLL
CHECK is one of: exports, calling-convention, imports, shared-section, quiet-terminate.
The exports and their conventions are those src/exports/qvnsis_exports.h declares in SRC.
"""
import argparse
import os
import re
import struct
import subprocess
import sys

from export_list import read_exports

# The libraries the import table may name, each with the reason Windows never looks for it beside
# the installer.
LOAD_TIME_IMPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "load_time_imports.txt")
SHARED = 0x10000000  # IMAGE_SCN_MEM_SHARED


def read_list(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                rows.append(line.split())
    return rows


def objdump(tool, flag, dll):
    return subprocess.run([tool, flag, dll], check=True, capture_output=True, text=True).stdout


def exported_names(tool, dll):
    text = objdump(tool, "-p", dll)
    table = text.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) < 2:
        return []
    names = []
    for line in table[1].splitlines()[1:]:
        m = re.match(r"\s+\[\s*\d+\]\s+(\S+)", line)
        if not m:
            break
        names.append(m.group(1))
    return names


def check_exports(args):
    expected = {export.name for export in read_exports(args.source)}
    actual = exported_names(args.objdump, args.dll)
    problems = []
    for name in actual:
        if name not in expected:
            problems.append(f"unexpected or decorated export: {name}")
    for name in sorted(expected - set(actual)):
        problems.append(f"missing export: {name}")
    return problems, f"{len(actual)} exports, all named exactly"


def function_blocks(tool, dll):
    """Maps each symbol label of the disassembly to its instruction lines."""
    blocks, current = {}, None
    for line in objdump(tool, "-d", dll).splitlines():
        m = re.match(r"^[0-9a-f]+ <(.+)>:$", line)
        if m:
            current = m.group(1)
            blocks[current] = []
        elif current and "\t" in line:
            blocks[current].append(line.split("\t")[-1].strip())
    return blocks


def returns_of(blocks, symbol, depth=0):
    """The ret instructions of a function, following a tail jump when it has none."""
    lines = blocks.get(symbol, [])
    rets = [l for l in lines if re.match(r"^ret[lw]?\b", l)]
    if rets or depth > 3:
        return rets
    for l in reversed(lines):
        m = re.match(r"^jmp\s+[0-9a-f]+ <([^>+]+)>$", l)
        if m:
            return returns_of(blocks, m.group(1), depth + 1)
    return rets


def check_calling_convention(args):
    blocks = function_blocks(args.objdump, args.dll)
    problems = []
    for export in read_exports(args.source):
        name, convention = export.name, export.convention
        if convention == "cdecl":
            candidates, wanted = [f"_{name}", name], re.compile(r"^ret[l]?$")
        else:
            candidates, wanted = [f"_{name}@16", f"{name}@16"], re.compile(r"^ret[l]?\s+\$0x10$")
        symbol = next((c for c in candidates if c in blocks), None)
        if symbol is None:
            problems.append(f"{name}: no function in the disassembly")
            continue
        rets = returns_of(blocks, symbol)
        if not rets:
            problems.append(f"{name}: no return instruction found")
        bad = [r for r in rets if not wanted.match(r)]
        if bad:
            problems.append(f"{name} ({convention}): returns with {sorted(set(bad))}")
    return problems, "every export returns as its convention requires"


def check_imports(args):
    forbidden = {row[0] for row in read_list(args.xp_missing)} if args.xp_missing else set()
    allowed = {row[0].lower() for row in read_list(args.load_time)}
    text = objdump(args.objdump, "-p", args.dll)
    problems, dll, count = [], None, 0
    for line in text.splitlines():
        m = re.match(r"^\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1)
            if dll.lower() not in allowed:
                problems.append(f"imports {dll} by name, which Windows may look for beside the installer: "
                                "load it on first use by its full path (foundation/os/system_library), or "
                                f"name in {os.path.basename(args.load_time)} why Windows never searches for it")
            continue
        m = re.match(r"^\s+[0-9a-f]+\s+[0-9a-f]+\s+(\S+)$", line)
        if dll and m:
            count += 1
            if m.group(1) in forbidden:
                problems.append(f"imports {m.group(1)} from {dll}, which Windows XP lacks")
        if line.startswith("The Export Tables") or line.startswith("PE File Base Relocations"):
            dll = None
    if count == 0:
        problems.append("no imports found: the import table was not read")
    return problems, f"{count} imported functions, all from {os.path.basename(args.load_time)} and present on XP"


def check_shared_section(args):
    with open(args.dll, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional
    for i in range(sections):
        header = table + 40 * i
        name = data[header:header + 8].rstrip(b"\0").decode("ascii", "replace")
        flags = struct.unpack_from("<I", data, header + 36)[0]
        if name == ".shared":
            if flags & SHARED:
                return [], f".shared present with flags {flags:#010x}"
            return [f".shared lacks the shared attribute (flags {flags:#010x})"], ""
    return ["no .shared section"], ""


def check_quiet_terminate(args):
    # The C++ runtime's verbose terminate handler (src/exports/terminate_handler.cpp) and its
    # demangler (which only the objects' XML form, left out of the DLL, needs), recognised by
    # their texts.
    with open(args.dll, "rb") as f:
        data = f.read()
    problems = []
    if b"terminate called after throwing an instance of" in data:
        problems.append("carries the C++ runtime's verbose terminate handler")
    if b"(anonymous namespace)" in data:
        problems.append("carries the C++ runtime's demangler")
    return problems, "no verbose terminate handler, no demangler"


CHECKS = {
    "exports": check_exports,
    "calling-convention": check_calling_convention,
    "imports": check_imports,
    "shared-section": check_shared_section,
    "quiet-terminate": check_quiet_terminate,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=CHECKS)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--source", required=True, help="the source tree, whose export header is the list")
    parser.add_argument("--xp-missing", help="functions the DLL must not import")
    parser.add_argument("--load-time", default=LOAD_TIME_IMPORTS,
                        help="the libraries the import table may name (default: %(default)s)")
    parser.add_argument("dll")
    args = parser.parse_args()
    problems, summary = CHECKS[args.check](args)
    for p in problems:
        print(f"FAIL {args.dll}: {p}")
    if problems:
        return 1
    print(f"ok {args.dll}: {summary}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
