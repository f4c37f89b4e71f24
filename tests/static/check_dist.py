#!/usr/bin/env python3
"""The package `make dist` writes: its name, layout, files and the DLLs' versions.

    check_dist.py SOURCE_DIR X86_BUILD_DIR AMD64_BUILD_DIR DIST_DIR OUT_DIR

Runs scripts/make_dist.py into OUT_DIR with the two build trees, then checks the archive:
named after project(qvnsis VERSION ...) of SOURCE_DIR/CMakeLists.txt; exactly the NSIS layout;
the DLLs byte for byte the ones the build copied into DIST_DIR, each with that version in its
fixed version fields and its "FileVersion" text; qvnsis.nsh as in the source tree but for its
QVNSIS_VERSION define, which holds that version; the other files as in the source tree.
"""
import os
import re
import struct
import subprocess
import sys
import zipfile

LAYOUT = {
    "Plugins/x86-unicode/qvnsis.dll": None,
    "Plugins/amd64-unicode/qvnsis.dll": None,
    "Include/qvnsis.nsh": "include/qvnsis.nsh",
    "Examples/qvnsis/demo.nsi": "examples/demo.nsi",
    "Examples/qvnsis/demo_pages.nsh": "examples/demo_pages.nsh",
    "Examples/qvnsis/demo_ui.rc": "examples/demo_ui.rc",
    "Examples/qvnsis/minimal.nsi": "examples/minimal.nsi",
    "Examples/qvnsis/banner.png": "examples/banner.png",
    "Examples/qvnsis/favorites.txt": "examples/favorites.txt",
    "Docs/qvnsis/README.md": "package/README.md",
    "Docs/qvnsis/CHANGES.md": "package/CHANGES.md",
    "Docs/qvnsis/THIRD-PARTY-NOTICES.txt": "package/THIRD-PARTY-NOTICES.txt",
}


def project_version(source):
    with open(os.path.join(source, "CMakeLists.txt"), encoding="utf-8") as f:
        m = re.search(r"^project\(qvnsis VERSION (\S+)", f.read(), re.M)
    return m.group(1)


def dll_versions(data):
    """(the four fixed version fields, the "FileVersion" text) of a PE file's version resource."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None, None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    fields = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    key = "FileVersion\0".encode("utf-16-le")
    k = data.find(key, at)
    if k < 0:
        return fields, None
    v = k + len(key)
    v += (4 - v % 4) % 4  # the value starts on a 32-bit boundary
    end = v
    while data[end:end + 2] != b"\0\0":
        end += 2
    return fields, data[v:end].decode("utf-16-le")


def main():
    if len(sys.argv) != 6:
        sys.exit("usage: check_dist.py SOURCE_DIR X86_BUILD_DIR AMD64_BUILD_DIR DIST_DIR OUT_DIR")
    source, x86, amd64, dist, out = sys.argv[1:]
    version = project_version(source)
    failures = []
    made = subprocess.run([sys.executable, os.path.join(source, "scripts", "make_dist.py"), source, x86, amd64, out],
                          capture_output=True, text=True)
    if made.returncode != 0:
        sys.exit("make_dist.py failed:\n" + made.stdout + made.stderr)
    archive = made.stdout.strip()
    if os.path.basename(archive) != f"qvnsis-{version}.zip":
        failures.append(f"the archive is {archive}, not qvnsis-{version}.zip")
    with zipfile.ZipFile(archive) as z:
        names = sorted(z.namelist())
        if names != sorted(LAYOUT):
            failures.append("the layout differs:\n  has " + "\n      ".join(names))
        for name, path in LAYOUT.items():
            if name not in names:
                continue
            data = z.read(name)
            if path is None:
                target = name.split("/")[1]
                with open(os.path.join(dist, target, "qvnsis.dll"), "rb") as f:
                    if data != f.read():
                        failures.append(f"{name} is not the DLL the build wrote to {dist}/{target}")
                fields, text = dll_versions(data)
                if fields != version or text != version:
                    failures.append(f"{name}: version resource {fields} / {text!r}, not {version}")
            else:
                with open(os.path.join(source, path), "rb") as f:
                    expected = f.read()
                if name == "Include/qvnsis.nsh":
                    define = f'!define QVNSIS_VERSION "{version}"'.encode()
                    if define not in data.splitlines():
                        failures.append(f"{name} does not define QVNSIS_VERSION as {version}")
                    expected = re.sub(rb'^!define QVNSIS_VERSION "[^"]*"$', define, expected, flags=re.M)
                if data != expected:
                    failures.append(f"{name} differs from {path}")
    if failures:
        sys.exit("\n".join(failures))
    print(f"{archive}: {len(names)} files, version {version}")


if __name__ == "__main__":
    main()
