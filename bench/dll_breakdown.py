#!/usr/bin/env python3
"""Where the DLL's bytes come from: the linker's map split by component.

    dll_breakdown.py [--check] MAP DLL

With --check it prints nothing and fails when the map does not account for the file: a component
every build links (the library's own code, SQLite, libpng, zlib, libjpeg-turbo, the C++ runtime,
the CRT) came out empty, or more than 16 KB of the file, beyond the zeros that pad each section to
the file alignment, belongs to no input section.

MAP is the map GNU ld wrote when it linked DLL (-Wl,-Map); DLL is the file as it ships (stripped). Every input section the linker placed in a section
of the file is charged to the component whose archive or object it came from; header-only Boost
and the standard library's templates instantiated in the library's own objects are recognised by
their section names (.text$_ZN5boost..., .text$_ZNSt...). What no input section accounts for (PE
headers and alignment) is the last row.
Each row also gives the component's bytes compressed alone with LZMA, a rough guide to what it
adds to a solid-LZMA installer.
"""
import lzma
import os
import re
import struct
import sys

COMPONENTS = [
    "own code",
    "SQLite",
    "libpng",
    "zlib",
    "libjpeg-turbo",
    "Boost (templates)",
    "C++ runtime",
    "GCC runtime",
    "MinGW CRT",
    "import stubs",
    "relocation and export tables",
]

# Output sections that take no bytes in the file, or that strip removes.
NOT_IN_FILE = re.compile(r"^(\.bss|\.tls\$|\.debug|\.stab|/DISCARD/|\.comment|\.gnu)")

ARCHIVES = {
    "libsqlite3.a": "SQLite",
    "libpng.a": "libpng",
    "libpng16.a": "libpng",
    "libz.a": "zlib",
    "libjpeg.a": "libjpeg-turbo",
    "libstdc++.a": "C++ runtime",
    "libsupc++.a": "C++ runtime",
    "libgcc.a": "GCC runtime",
    "libgcc_eh.a": "GCC runtime",
}


def component(section, origin):
    archive = None
    m = re.match(r"^(.*?)\((.*)\)$", origin)
    if m:
        archive = os.path.basename(m.group(1))
    if archive in ARCHIVES:
        return ARCHIVES[archive]
    if archive == "libqvnsis_core.a" or not archive and ("CMakeFiles" in origin or origin.endswith(".res")):
        suffix = section.split("$", 1)[1] if "$" in section else ""
        if re.match(r"^_?_ZN?K?5boost|^_?_ZN?K?S?t?.*5boost", suffix):
            return "Boost (templates)"
        if re.match(r"^_?_ZN?K?St|^_?_ZNKSt|^_?_ZSt|^_?_ZNSt|^_?_ZNKS[abdios]|^_?_ZNS[abdios]", suffix):
            return "C++ runtime"
        return "own code"
    if archive and (archive.startswith("libmingw") or archive.startswith("libmsvcrt")
                    or archive in ("libmoldname.a", "libucrt.a", "libucrtbase.a")):
        # libmsvcrt.a also holds msvcrt.dll's import stubs; those are tiny and count as CRT here.
        return "MinGW CRT"
    if archive:
        return "import stubs"
    if origin in ("dll stuff", "linker stubs"):
        return "relocation and export tables"
    # crt2.o, dllcrt2.o, crtbegin.o and the like
    return "MinGW CRT"


def parse_map(path):
    """Yields (output section, input section, address, size, origin)."""
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = f.read().split("\n")
    try:
        start = lines.index("Linker script and memory map")
    except ValueError:
        sys.exit(f"{path}: not a GNU ld map (no memory map)")
    output = None
    pending = None  # an input section name whose address and size follow on the next line
    head = re.compile(r"^(\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)")
    inline = re.compile(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
    follow = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
    for line in lines[start + 1:]:
        if not line.strip():
            pending = None
            continue
        if not line.startswith(" "):
            m = head.match(line)
            output = line.split()[0]
            pending = None
            continue
        if pending is not None:
            m = follow.match(line)
            name, pending = pending, None
            if m:
                yield output, name, int(m.group(1), 16), int(m.group(2), 16), m.group(3).strip()
                continue
        m = inline.match(line)
        if m:
            if m.group(1) == "*fill*":
                continue
            yield output, m.group(1), int(m.group(2), 16), int(m.group(3), 16), m.group(4).strip()
            continue
        parts = line.split()
        if len(parts) == 1 and parts[0].startswith(".") and not parts[0].startswith("*"):
            pending = parts[0]


def pe_sections(path):
    """(virtual address, virtual size, file offset, raw size) of each section, absolute addresses."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    base = (struct.unpack_from("<I", data, pe + 24 + 28)[0] if magic == 0x10B
            else struct.unpack_from("<Q", data, pe + 24 + 24)[0])
    table = pe + 24 + optional_size
    sections = []
    for i in range(count):
        vsize, va, raw_size, raw_at = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        sections.append((base + va, vsize, raw_at, raw_size))
    return data, sections


ALWAYS_LINKED = ["own code", "SQLite", "libpng", "zlib", "libjpeg-turbo", "C++ runtime", "MinGW CRT"]


def main():
    args = sys.argv[1:]
    check = bool(args) and args[0] == "--check"
    if check:
        args = args[1:]
    if len(args) != 2:
        sys.exit("usage: dll_breakdown.py [--check] MAP DLL")
    map_path, dll_path = args
    data, sections = pe_sections(dll_path)

    def file_bytes(address, size):
        for va, vsize, raw_at, raw_size in sections:
            if va <= address and address + size <= va + max(vsize, raw_size):
                offset = address - va
                return data[raw_at + offset: raw_at + min(offset + size, raw_size)]
        return b""

    totals = {c: 0 for c in COMPONENTS}
    contents = {c: [] for c in COMPONENTS}
    for output, section, address, size, origin in parse_map(map_path):
        if size == 0 or output is None or NOT_IN_FILE.match(output):
            continue
        c = component(section, origin)
        totals[c] += size
        contents[c].append(file_bytes(address, size))

    stripped = len(data)
    accounted = sum(totals.values())
    if check:
        empty = [c for c in ALWAYS_LINKED if totals[c] == 0]
        if empty:
            sys.exit(f"{map_path}: nothing charged to {', '.join(empty)}")
        # Headers, and the zeros that pad each section to the file alignment.
        padding = sum(max(raw_size - vsize, 0) for _, vsize, _, raw_size in sections)
        if not 0 <= stripped - accounted - padding <= 16384:
            sys.exit(f"{map_path}: accounts for {accounted} of the {stripped} bytes of {dll_path}")
        return
    name = os.path.basename(dll_path)
    print(f"{name} by component (bytes in the file; LZMA alone)")
    for c in COMPONENTS:
        packed = len(lzma.compress(b"".join(contents[c]), preset=9)) if totals[c] else 0
        print(f"  {c:<44}{totals[c]:>10,} B {packed:>10,} B")
    print(f"  {'PE headers and alignment':<44}{max(stripped - accounted, 0):>10,} B")
    print(f"  {'stripped file':<44}{stripped:>10,} B")


if __name__ == "__main__":
    main()
