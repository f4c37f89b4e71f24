#!/usr/bin/env python3
"""Every library linked into the DLL has its notice.

    check_notices.py MAP NOTICES

MAP is the map GNU ld wrote for the DLL; NOTICES is THIRD-PARTY-NOTICES.txt, whose sections name
what they cover on their "Linked in as:" lines. Each archive or object of another project that
puts bytes into the DLL (as the size breakdown of bench/dll_breakdown.py counts them) must be
named there; header-only Boost, recognised by its template sections in the library's own objects,
as "boost-headers"; the Windows import libraries of the MinGW-w64 toolchain, whose members are
only import stubs, as "import-libraries". Fails listing each one without a notice.
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import dll_breakdown  # noqa: E402

OWN_ARCHIVES = {"libqvnsis_core.a"}


def covered_names(notices_path):
    names = set()
    with open(notices_path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("Linked in as:"):
                names.update(line[len("Linked in as:"):].split())
    return names


def linked_pieces(map_path):
    """The name each piece of another project is known by in the notices, with an example origin."""
    pieces = {}
    members = {}
    for output, section, _address, size, origin in dll_breakdown.parse_map(map_path):
        if size == 0 or output is None or dll_breakdown.NOT_IN_FILE.match(output):
            continue
        m = re.match(r"^(.*?)\((.*)\)$", origin)
        archive, member = (os.path.basename(m.group(1)), m.group(2)) if m else (None, None)
        if archive in OWN_ARCHIVES or not archive and ("CMakeFiles" in origin or origin.endswith(".res")):
            if dll_breakdown.component(section, origin) == "Boost (templates)":
                pieces.setdefault("boost-headers", origin)
            continue
        if archive:
            pieces.setdefault(archive, origin)
            members.setdefault(archive, set()).add(member)
        elif origin not in ("dll stuff", "linker stubs"):
            pieces.setdefault(os.path.basename(origin), origin)
    # An import library's members are "<stem>h.o", "<stem>t.o" and "<stem>s<number>.o".
    for archive, names in members.items():
        stem = re.escape(archive[:-2])
        if all(re.match(rf"^{stem}(h|t|s\d+)\.o$", n) for n in names):
            pieces[archive] = "import-libraries"
    return pieces


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: check_notices.py MAP NOTICES")
    map_path, notices_path = sys.argv[1:]
    covered = covered_names(notices_path)
    pieces = linked_pieces(map_path)
    missing = []
    for name, origin in sorted(pieces.items()):
        if origin == "import-libraries":
            if "import-libraries" not in covered:
                missing.append(f"{name} (a Windows import library)")
        elif name not in covered:
            missing.append(f"{name} (from {origin})")
    if "libsqlite3.a" not in pieces:
        sys.exit(f"{map_path}: SQLite is not in the map: not the DLL's link map?")
    if missing:
        sys.exit(f"{notices_path} has no notice for what {map_path} links:\n  " + "\n  ".join(missing))
    print(f"{len(pieces)} linked pieces, each with its notice")


if __name__ == "__main__":
    main()
