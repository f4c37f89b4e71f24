#!/usr/bin/env python3
"""Holds every place that names the library's exports to the one list, the declarations of
src/exports/qvnsis_exports.h (docs/adding-an-export.md walks through the places):

  src/exports/qvnsis.def            exactly the declared names
  src/exports/<family>/*_exports.cpp
                                    each export defined once, in a file of that name pattern that
                                    includes the header; a buffer-filling export through
                                    FillCallerBuffer (exports/caller_buffer.h)
  include/qvnsis.nsh                a macro per export (named below) that calls it, its System::Call
                                    options those of its kind
  README.md                         the "Exports" table, the outcome codes table (each export
                                    without a result), the "Bad input" table
  package/README.md                 the macro table
  examples/demo.nsi                 each macro called (the README says the demo calls them all)
  docs/architecture.md              each export named under the folder of its family
  README.md, package/README.md, docs/*.md
                                    every count of exports or rundll32.exe entries

usage: check_export_list.py SOURCE_DIR
Prints one line per disagreement, naming the place, and exits 1 if there is any.
"""
import re
import sys
from pathlib import Path

from export_list import HEADER, read_exports

# The macro of an export is named after it (QVNSIS_X for QVNSIS_X, QVNSIS_RunX for the entry RunXW),
# with one exception: QVNSIS_PrepareUnload is called by ${QVNSIS_Unload}, which then frees the
# library as many times as it answers.
MACRO_EXCEPTIONS = {"QVNSIS_PrepareUnload": "QVNSIS_Unload"}
# Exports without a result that cannot fail: their macros call with ?c and leave the error flag.
CANNOT_FAIL = {"QVNSIS_Log", "QVNSIS_LogStartupInfo"}

NUMBER_WORDS = {"one": 1, "two": 2, "both": 2, "three": 3, "four": 4, "five": 5, "six": 6, "seven": 7,
                "eight": 8, "nine": 9, "ten": 10, "eleven": 11, "twelve": 12}
NUMBER = r"(\d+|" + "|".join(NUMBER_WORDS) + r")"
# "23 `QVNSIS_` exports", "the 23 `QVNSIS_` export names", "23 exports"; not "one export per file".
EXPORT_COUNT = re.compile(NUMBER + r"\s+(?:`QVNSIS_`\s+exports?|exports)\b", re.I)
ENTRY_COUNT = re.compile(NUMBER + r"\s+`rundll32\.exe`\s+entr(?:y|ies)\b", re.I)


def macro_of(export):
    if export.name in MACRO_EXCEPTIONS:
        return MACRO_EXCEPTIONS[export.name]
    if export.rundll:
        return "QVNSIS_" + export.name[:-1]
    return export.name


def section(text, heading):
    """The lines under `heading` up to the next heading of the same or a higher level."""
    lines = text.splitlines()
    level = len(heading) - len(heading.lstrip("#"))
    for i, line in enumerate(lines):
        if line.strip() == heading:
            body = []
            for line in lines[i + 1:]:
                m = re.match(r"^(#+) ", line)
                if m and len(m.group(1)) <= level:
                    break
                body.append(line)
            return body
    return None


def first_cells(lines):
    """The first cell of each row of the first Markdown table in `lines` (a section's own table, not
    one of its subsections'), header and rule rows left out."""
    cells, started = [], False
    for line in lines:
        if not line.startswith("|"):
            if started:
                break
            continue
        started = True
        if not re.match(r"^\|[\s:|-]+\|$", line):
            cells.append(line.split("|")[1].strip())
    return cells[1:]


def names_in(cell):
    return set(re.findall(r"`(\w+)`", cell))


class Checker:
    def __init__(self, root):
        self.root = Path(root)
        self.faults = []
        self.exports = read_exports(root)
        self.names = [e.name for e in self.exports]

    def read(self, path):
        return (self.root / path).read_text(encoding="utf-8")

    def fault(self, place, text):
        self.faults.append(f"{place}: {text}")

    def compare(self, place, found, what, expected=None):
        """`found` names against the declared ones (or `expected`): missing and unknown names."""
        expected = set(self.names) if expected is None else set(expected)
        for name in (n for n in self.names if n in expected and n not in found):
            self.fault(place, f"{name} is declared in {HEADER} but missing from {what}")
        for name in sorted(set(found) - expected):
            if name in self.names:
                self.fault(place, f"{name} does not belong in {what}")
            else:
                self.fault(place, f"{name} is in {what} but {HEADER} declares no such export")

    def check_def(self):
        place = "src/exports/qvnsis.def"
        text = self.read(place).split("EXPORTS", 1)
        names = [line.split(";")[0].split()[0] for line in text[1].splitlines()
                 if line.split(";")[0].strip()] if len(text) == 2 else []
        for name in sorted({n for n in names if names.count(n) > 1}):
            self.fault(place, f"{name} is listed more than once")
        self.compare(place, set(names), "its EXPORTS")

    def check_definitions(self):
        """Returns each export's family folder, from where it is defined."""
        family = {}
        sources = sorted((self.root / "src/exports").rglob("*.cpp"))
        for path in sources:
            rel = path.relative_to(self.root).as_posix()
            if path.name.endswith("_export.cpp"):
                self.fault(rel, "export sources are named <family>_exports.cpp")
            text = path.read_text(encoding="utf-8")
            defined = re.findall(r"^QVNSIS_(?:RUNDLL_)?EXPORT\s+[^;{]*?\b(\w+)\s*\([^;{]*\)\s*\{", text, re.M)
            if path.name.endswith("_exports.cpp") and not defined:
                self.fault(rel, "defines no export, so its name should not end in _exports.cpp")
            for name in defined:
                if name not in self.names:
                    self.fault(rel, f"defines {name}, which {HEADER} does not declare")
                    continue
                if name in family:
                    self.fault(rel, f"defines {name} again (also in src/exports/{family[name]}/)")
                parts = path.relative_to(self.root / "src/exports").parts
                if len(parts) != 2 or not path.name.endswith("_exports.cpp"):
                    self.fault(rel, f"defines {name}: exports are defined in src/exports/<family>/<name>_exports.cpp")
                if '#include "exports/qvnsis_exports.h"' not in text:
                    self.fault(rel, f"defines {name} without including exports/qvnsis_exports.h")
                family[name] = parts[0] if len(parts) == 2 else ""
                export = next(e for e in self.exports if e.name == name)
                body = text.split(name + "(", 1)[1].split("\n}", 1)[0]
                if export.fills_buffer and "FillCallerBuffer(" not in body:
                    self.fault(rel, f"{name} fills the installer's buffer without FillCallerBuffer "
                                    "(exports/caller_buffer.h), which applies the buffer rules")
                # The one boundary, with the export's own name; or the whole body is another
                # export's call, which has its boundary.
                guarded = re.search(r"\b(GuardedExport|GuardedStatusExport|FillCallerBuffer)\(__func__\b", body)
                delegated = re.fullmatch(r"\s*(return\s+)?QVNSIS_\w+\([^;]*\);\s*", body.split("{", 1)[-1])
                if not guarded and not delegated:
                    self.fault(rel, f"{name}'s body does not run inside GuardedExport, GuardedStatusExport "
                                    "or FillCallerBuffer given __func__ (exports/export_guard.h)")
        for name in self.names:
            if name not in family:
                self.fault("src/exports", f"{name} is declared in {HEADER} but defined in no "
                                          "src/exports/<family>/*_exports.cpp")
        return family

    def check_macros(self):
        place = "include/qvnsis.nsh"
        text = self.read(place)
        bodies = dict(re.findall(r"^!macro\s+(\w+)[^\n]*\n(.*?)^!macroend", text, re.M | re.S))
        defines = set(re.findall(r'^!define\s+(\w+)\s+"!insertmacro\s+\1"', text, re.M))
        for export in self.exports:
            macro = macro_of(export)
            if macro not in bodies or macro not in defines:
                self.fault(place, f"{export.name} has no macro {macro} "
                                  f'(!define {macro} "!insertmacro {macro}" and !macro {macro})')
                continue
            body = bodies[macro]
            if not re.search(r"\b%s\b" % export.name, body):
                self.fault(place, f"the macro {macro} does not call {export.name}")
                continue
            if export.rundll or export.name in MACRO_EXCEPTIONS:
                continue
            call = re.search(r"::%s\([^']*\)([^']*)'" % export.name, body)
            options = call.group(1).split("?")[-1].strip() if call and "?" in call.group(1) else ""
            if export.result == "void" and export.name in CANNOT_FAIL:
                wanted, outcome = "c", None
            elif export.result == "void":
                wanted, outcome = "cer", "_QVNSIS_StatusOutcome"
            else:
                wanted, outcome = "cr", "_QVNSIS_CallOutcome"
            if options != wanted or (outcome and f"!insertmacro {outcome}" not in body):
                self.fault(place, f"the macro {macro} calls {export.name} with ?{options}: an export "
                                  + ("that cannot fail takes ?c and leaves the error flag" if not outcome
                                     else f"{'without' if export.result == 'void' else 'with'} a result "
                                          f"takes ?{wanted} and then !insertmacro {outcome}"))
        return defines

    def check_readme(self):
        place = "README.md"
        text = self.read(place)
        tables = [("## Exports", "the export table (## Exports)", None),
                  ("### How a call's outcome reaches the script", "the outcome codes table",
                   [e.name for e in self.exports if e.result == "void" and not e.rundll]),
                  ("## Bad input", "the Bad input table", None)]
        for heading, what, expected in tables:
            lines = section(text, heading)
            if lines is None:
                self.fault(place, f"has no section {heading}")
                continue
            found = set().union(*[names_in(c) for c in first_cells(lines)]) if lines else set()
            # Only export names count in the first column (the Bad input table also has "Every export").
            found = {n for n in found if n.startswith("QVNSIS_") or re.match(r"Run\w+W$", n)}
            self.compare(place, found, what, expected)

    def check_package_readme(self, defines):
        place = "package/README.md"
        text = self.read(place)
        rows = [l for l in text.splitlines() if l.startswith("| `${QVNSIS_")]
        table = {m.group(1) for l in rows for m in [re.match(r"\| `\$\{(\w+)\}", l)] if m}
        if not table:
            self.fault(place, "has no macro table (rows beginning | `${QVNSIS_...}`)")
        for export in self.exports:
            if macro_of(export) not in table:
                self.fault(place, f"the macro table has no row for ${{{macro_of(export)}}} ({export.name})")
        for macro in sorted(table - defines):
            self.fault(place, f"the macro table names ${{{macro}}}, which include/qvnsis.nsh does not define")

    def check_demo(self):
        place = "examples/demo.nsi"
        text = self.read(place) + self.read("examples/demo_pages.nsh")
        for export in self.exports:
            macro = macro_of(export)
            if "${%s}" % macro not in text:
                self.fault(place, f"calls no ${{{macro}}} ({export.name}); the README says the demo calls every export")

    def check_architecture(self, family):
        place = "docs/architecture.md"
        lines = section(self.read(place), "### `src/exports/` — the surface")
        if lines is None:
            self.fault(place, "has no section ### `src/exports/` — the surface")
            return
        folders, current = {}, None
        for line in lines:
            m = re.match(r"^  - `(\w+)/`", line)
            if m:
                current = m.group(1)
                folders[current] = line
            elif current and line.startswith("    "):
                folders[current] += " " + line.strip()
            else:
                current = None
        for name in self.names:
            listed = [f for f, text in folders.items() if f"`{name}`" in text]
            home = family.get(name)
            if home and home not in folders:
                self.fault(place, f"the family list has no `{home}/` entry for {name}")
            elif home and home not in listed:
                where = f" (it is listed under `{listed[0]}/`)" if listed else ""
                self.fault(place, f"{name} is not named under `{home}/` in the family list{where}")

    def check_counts(self):
        quick = sum(1 for e in self.exports if not e.rundll)
        entries = sum(1 for e in self.exports if e.rundll)
        files = ["README.md", "package/README.md"] + sorted(
            p.relative_to(self.root).as_posix() for p in (self.root / "docs").glob("*.md"))
        for place in files:
            text = " ".join(self.read(place).split())
            for pattern, expected, what in ((EXPORT_COUNT, quick, "`QVNSIS_` exports"),
                                            (ENTRY_COUNT, entries, "`rundll32.exe` entries")):
                for m in pattern.finditer(text):
                    word = m.group(1).lower()
                    number = int(word) if word.isdigit() else NUMBER_WORDS[word]
                    if number != expected:
                        self.fault(place, f'says "{m.group(0)}", but {HEADER} declares {expected} {what}')

    def run(self):
        self.check_def()
        family = self.check_definitions()
        defines = self.check_macros()
        self.check_readme()
        self.check_package_readme(defines)
        self.check_demo()
        self.check_architecture(family)
        self.check_counts()
        return self.faults


def main(root):
    try:
        checker = Checker(root)
    except ValueError as error:
        print(f"FAIL {error}")
        return 1
    faults = checker.run()
    for fault in faults:
        print(f"FAIL {fault}")
    if faults:
        print("docs/adding-an-export.md lists every place an export is named.")
        return 1
    print(f"ok: {len(checker.names)} exports declared in {HEADER} agree with the .def, the definitions, "
          "the macros, both READMEs, the demo and the docs")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
