#!/usr/bin/env python3
"""Packs dist/qvnsis-<version>.zip in the layout NSIS users drop into their NSIS folder.

    make_dist.py SOURCE_DIR X86_BUILD_DIR AMD64_BUILD_DIR OUT_DIR

The DLLs are the ones the two build trees just linked (where their configure step says, in
dll-path.txt), stripped here the way the build strips its copies into dist/, so a copy in dist/
that is stale or foreign never reaches the package; the version is the one their configure step
wrote (version.txt), which both trees must agree on; it is also written into the packaged
qvnsis.nsh's QVNSIS_VERSION define, and the change list must begin with it. The archive is the same
bytes for the same inputs: fixed entry times and order.
"""
import os
import re
import subprocess
import sys
import tempfile
import zipfile

FIXED_TIME = (1980, 1, 1, 0, 0, 0)
# The one line of include/qvnsis.nsh that the package's version replaces.
VERSION_DEFINE = re.compile(rb'^!define QVNSIS_VERSION "[^"]*"$', re.M)
# The change list's first heading, which names the version it describes.
CHANGES_HEADING = re.compile(r"^## (\S+)", re.M)


def versioned_nsh(data, version):
    """qvnsis.nsh with the package's version in its QVNSIS_VERSION define."""
    if len(VERSION_DEFINE.findall(data)) != 1:
        sys.exit('include/qvnsis.nsh must hold exactly one line !define QVNSIS_VERSION "..."')
    return VERSION_DEFINE.sub(f'!define QVNSIS_VERSION "{version}"'.encode(), data)


def latest_change(text):
    match = CHANGES_HEADING.search(text)
    return match.group(1) if match else None


def read_version(build_dir):
    with open(os.path.join(build_dir, "version.txt"), encoding="utf-8") as f:
        return f.read().strip()


def stripped(objcopy, dll, into):
    env = dict(os.environ, SOURCE_DATE_EPOCH="0")
    subprocess.run([objcopy, "--strip-all", dll, into], check=True, env=env)
    with open(into, "rb") as f:
        return f.read()


def main():
    if len(sys.argv) != 5:
        sys.exit("usage: make_dist.py SOURCE_DIR X86_BUILD_DIR AMD64_BUILD_DIR OUT_DIR")
    source, x86, amd64, out = sys.argv[1:]
    version = read_version(x86)
    if read_version(amd64) != version:
        sys.exit(f"the build trees disagree on the version: {version} and {read_version(amd64)}")

    entries = []  # (name in the archive, bytes)
    with tempfile.TemporaryDirectory() as work:
        for build, target, objcopy in ((x86, "x86-unicode", "i686-w64-mingw32-objcopy"),
                                       (amd64, "amd64-unicode", "x86_64-w64-mingw32-objcopy")):
            # The configure step names where the tree links it (the 64-bit one beside its tests).
            with open(os.path.join(build, "dll-path.txt"), encoding="utf-8") as f:
                dll = f.read().strip()
            if not os.path.isfile(dll):
                sys.exit(f"{dll} is missing: build first (make dist does)")
            entries.append((f"Plugins/{target}/qvnsis.dll",
                            stripped(objcopy, dll, os.path.join(work, f"{target}.dll"))))

    def add(name, path):
        with open(os.path.join(source, path), "rb") as f:
            entries.append((name, f.read()))

    with open(os.path.join(source, "include", "qvnsis.nsh"), "rb") as f:
        entries.append(("Include/qvnsis.nsh", versioned_nsh(f.read(), version)))
    for name in ("demo.nsi", "demo_pages.nsh", "demo_ui.rc", "minimal.nsi", "banner.png", "favorites.txt"):
        add(f"Examples/qvnsis/{name}", f"examples/{name}")
    add("Docs/qvnsis/README.md", "package/README.md")
    with open(os.path.join(source, "package", "CHANGES.md"), encoding="utf-8") as f:
        if latest_change(f.read()) != version:
            sys.exit(f"package/CHANGES.md must begin with a heading \"## {version}\" for this version")
    add("Docs/qvnsis/CHANGES.md", "package/CHANGES.md")
    add("Docs/qvnsis/THIRD-PARTY-NOTICES.txt", "package/THIRD-PARTY-NOTICES.txt")

    os.makedirs(out, exist_ok=True)
    archive = os.path.join(out, f"qvnsis-{version}.zip")
    partial = archive + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name, data in sorted(entries):
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    os.replace(partial, archive)
    print(archive)


if __name__ == "__main__":
    main()
