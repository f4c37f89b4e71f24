"""The library's exports as src/exports/qvnsis_exports.h declares them: the one list every other
place (the .def file, the macros, the READMEs, the docs, the DLL checks) is held to.

A declaration is one statement beginning with QVNSIS_EXPORT (C convention, called by installers
through System::Call) or QVNSIS_RUNDLL_EXPORT (standard call with rundll32.exe's four arguments).
"""
import re
from dataclasses import dataclass
from pathlib import Path

HEADER = Path("src/exports/qvnsis_exports.h")
DECLARATION = re.compile(r"^(QVNSIS_EXPORT|QVNSIS_RUNDLL_EXPORT)\s+(.+?)\s*\b(\w+)\s*\((.*)\)$", re.S)


@dataclass
class Export:
    name: str
    rundll: bool       # a rundll32.exe entry (standard call, 16 bytes of arguments on x86)
    result: str        # the return type as written ("void", "int", "UINT_PTR")
    parameters: list   # each parameter as written ("wchar_t* buffer")

    @property
    def convention(self):
        """As the DLL checks name it: cdecl (plain ret) or stdcall16 (ret 16)."""
        return "stdcall16" if self.rundll else "cdecl"

    @property
    def fills_buffer(self):
        """Takes a buffer of the installer's to write into (a wchar_t* that is not const)."""
        return not self.rundll and any(
            re.match(r"wchar_t\s*\*", p) and not p.startswith("const") for p in self.parameters)


def _statements(text):
    text = re.sub(r"//[^\n]*", "", text)
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    text = re.sub(r"^\s*#[^\n]*", "", text, flags=re.M)
    for statement in text.split(";"):
        statement = " ".join(statement.split())
        if statement:
            yield statement


def read_exports(root):
    """The exports in declaration order. Raises ValueError for a declaration it cannot read."""
    exports = []
    for statement in _statements((Path(root) / HEADER).read_text(encoding="utf-8")):
        if not statement.startswith("QVNSIS_"):
            continue
        m = DECLARATION.match(statement)
        if not m:
            raise ValueError(f"{HEADER}: cannot read the declaration `{statement}`")
        params = [p.strip() for p in m.group(4).split(",") if p.strip() and p.strip() != "void"]
        exports.append(Export(m.group(3), m.group(1) == "QVNSIS_RUNDLL_EXPORT", m.group(2), params))
    return exports
