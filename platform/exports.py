#!/usr/bin/env python3
"""The platform's export lists: README.md is made from them, and libplatform.so is checked
against them.

    python3 platform/exports.py readme            writes platform/README.md from the lists
    python3 platform/exports.py check LIBRARY     checks the lists, the library and README.md

The lists are platform/exports.txt (the README's opening), platform/<dll>/exports.txt for
each folder of KIT_PLATFORM_DLLS (in that order) and platform/kit/exports.txt. Their format:

    # ...                      a comment for the list's reader; not copied
    dll NAME                   the Windows DLL of the entries that follow ("-": none, for
                               the headers' macros and the PC's own interfaces)
    = Title, == Title...       a heading of that level
      text                     (indented by two spaces) a line of prose, Markdown, copied as
                               written; a blank line ends a paragraph
    Name  completeness  note   an entry: full, partial or absent (kit for the PC's own
                               interfaces); the note is the rest of the line
    Name  completeness  "      an entry sharing the note of the entry above (one README row)

Name=symbol names a function the headers rename for the library (gethostname, whose exported
symbol is kit_ws_gethostname).

check reads the library's defined dynamic symbols with `nm -DC --defined-only`. A function of
the global namespace (the platform's Windows functions have C++ linkage, so they show as
"Name(args)"; an extern "C" one as a bare name) is a Windows function: a DLL's list must name
it. A free function of kitpc::, kitreg:: or kitwin:: must be in kit/exports.txt, a global
object in some list. Left out: the other namespaces (plat::, std::, __gnu_cxx::...), class
members, template instances, operators new and delete, vtables, typeinfo and guard variables.
Entries listed full or partial must be exported, entries listed absent must not, and README.md
must be what the lists make. Exits 0 when everything holds, 1 with the findings, 77 (skipped)
without nm.
"""

import os
import re
import shutil
import subprocess
import sys
from dataclasses import dataclass, field

PLATFORM = os.path.dirname(os.path.abspath(__file__))
README = os.path.join(PLATFORM, "README.md")
LEVELS = ("full", "partial", "absent", "kit")
DITTO = '"'
SKIPPED = 77
# Namespaces of the PC's own interfaces: their free functions are listed too.
KIT_NAMESPACES = ("kitpc", "kitreg", "kitwin")


@dataclass
class Entry:
    name: str
    symbol: str
    level: str
    note: str
    dll: str
    source: str
    joined: bool = False  # shares the row of the entry above


@dataclass
class ExportList:
    path: str
    blocks: list = field(default_factory=list)  # ("heading", level, text) | ("text", lines) | ("rows", [Entry])

    def entries(self):
        return [e for kind, *rest in self.blocks if kind == "rows" for e in rest[0]]


class ListError(Exception):
    pass


def parse_entry(line, dll, where, previous):
    fields = line.split(None, 2)
    if len(fields) < 2 or fields[1] not in LEVELS:
        raise ListError(f"{where}: expected 'Name completeness [note]' with completeness one of {', '.join(LEVELS)}")
    name, level = fields[0], fields[1]
    note = fields[2].strip() if len(fields) > 2 else ""
    name, _, symbol = name.partition("=")
    if not re.fullmatch(r"[A-Za-z_]\w*(::\w+)*", name) or (symbol and not re.fullmatch(r"[A-Za-z_]\w*", symbol)):
        raise ListError(f"{where}: '{fields[0]}' is not a function name")
    if (level == "kit") != (dll == "-" and "::" in name):
        raise ListError(f"{where}: 'kit' is the completeness of the PC's own interfaces (ns::Name, dll -) only")
    joined = note == DITTO
    if joined:
        if previous is None or previous.level != level:
            raise ListError(f'{where}: {DITTO} follows an entry of the same completeness')
        note = previous.note
    return Entry(name, symbol or name, level, note, dll, where, joined)


def read_list(path):
    """Reads one export list into headings, paragraphs and tables, in the file's order."""
    result = ExportList(path)
    dll = None
    rows = None
    paragraph = None
    relative = os.path.relpath(path, os.path.dirname(PLATFORM))
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    for number, line in enumerate(lines, 1):
        where = f"{relative}:{number}"
        line = line.rstrip()
        if line.startswith("  "):
            rows = None
            if paragraph is None:
                paragraph = []
                result.blocks.append(("text", paragraph))
            paragraph.append(line[2:])
            continue
        paragraph = None
        if not line or line.startswith("#"):
            continue
        heading = re.fullmatch(r"(=+) (.+)", line)
        if heading:
            rows = None
            result.blocks.append(("heading", len(heading.group(1)), heading.group(2)))
        elif line.startswith("dll "):
            dll = line[4:].strip()
            rows = None
        else:
            if dll is None:
                raise ListError(f"{where}: an entry before the 'dll' line")
            if rows is None:
                rows = []
                result.blocks.append(("rows", rows))
            rows.append(parse_entry(line, dll, where, rows[-1] if rows else None))
    return result


def platform_dlls():
    """The DLL folders in the order platform/CMakeLists.txt builds them."""
    with open(os.path.join(PLATFORM, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"set\(KIT_PLATFORM_DLLS([^)]*)\)", f.read())
    if not found:
        raise ListError("platform/CMakeLists.txt: no set(KIT_PLATFORM_DLLS ...)")
    return found.group(1).split()


def list_paths():
    paths = [os.path.join(PLATFORM, "exports.txt")]
    folders = platform_dlls() + ["kit"]
    for folder in folders:
        path = os.path.join(PLATFORM, folder, "exports.txt")
        if os.path.exists(path):
            paths.append(path)
    for name in sorted(os.listdir(PLATFORM)):
        if name not in folders and os.path.exists(os.path.join(PLATFORM, name, "exports.txt")):
            raise ListError(f"platform/{name}/exports.txt: the folder is not in KIT_PLATFORM_DLLS")
    return paths


def read_lists():
    lists = [read_list(path) for path in list_paths()]
    seen = {}
    for entry in (e for l in lists for e in l.entries()):
        if entry.name in seen:
            raise ListError(f"{entry.source}: {entry.name} is listed already at {seen[entry.name]}")
        seen[entry.name] = entry.source
    return lists


def render_rows(rows):
    title = "Name" if rows[0].dll == "-" and rows[0].level != "kit" else "Function"
    out = [f"| {title} | Completeness | Notes |", "|---|---|---|"]
    grouped = []
    for entry in rows:
        if entry.joined:
            grouped[-1][0].append(entry.name)
        else:
            grouped.append(([entry.name], entry))
    for names, entry in grouped:
        out.append(("| " + " | ".join([", ".join(names), entry.level, entry.note])).rstrip() + " |")
    return out


def render_summary(lists):
    """A table of the DLLs and how many of their functions are full, partial and absent."""
    counts = {}
    for entry in (e for l in lists for e in l.entries() if e.dll != "-"):
        per_level = counts.setdefault(entry.dll, {level: 0 for level in LEVELS[:3]})
        per_level[entry.level] += 1
    counts["all"] = {level: sum(c[level] for c in counts.values()) for level in LEVELS[:3]}
    out = ["| DLL | full | partial | absent |", "|---|---|---|---|"]
    for dll, per_level in counts.items():
        out.append(f"| {dll} | {per_level['full']} | {per_level['partial']} | {per_level['absent']} |")
    return out


def render_readme(lists):
    out = [
        "<!-- Made by platform/exports.py from the export lists (platform/exports.txt,",
        "     platform/<dll>/exports.txt, platform/kit/exports.txt): edit those, then run",
        "     python3 platform/exports.py readme -->",
    ]
    for index, export_list in enumerate(lists):
        for kind, *rest in export_list.blocks:
            out.append("")
            if kind == "heading":
                out.append("#" * rest[0] + " " + rest[1])
            elif kind == "text":
                out.extend(rest[0])
            else:
                out.extend(render_rows(rest[0]))
        if index == 0:
            out.append("")
            out.extend(render_summary(lists))
    return "\n".join(out).replace("\n\n\n", "\n\n") + "\n"


def write_readme():
    with open(README, "w", encoding="utf-8") as f:
        f.write(render_readme(read_lists()))


# --- The library's exports ------------------------------------------------------------------


@dataclass
class Exports:
    functions: set  # global-namespace functions: the Windows functions
    kit: set  # free functions of the PC's own namespaces, as ns::Name
    data: set  # global-namespace data
    excluded: dict  # what else the library exports, counted by kind


def function_name(text):
    """The qualified name of a demangled plain function, "Name(...)" or "ns::Name(...)" with
    nothing before or after (a template instance shows its return type first), else None."""
    found = re.match(r"((?:\w+::)*[A-Za-z_]\w*)(?:\[abi:\w+\])*\(", text)
    if not found:
        return None
    depth = 0
    for index in range(found.end() - 1, len(text)):
        depth += {"(": 1, ")": -1}.get(text[index], 0)
        if depth == 0:
            return found.group(1) if index == len(text) - 1 else None
    return None


def classify(kind, text, exports):
    """Sorts one demangled `nm -DC` symbol into the Windows functions or what is left out."""
    name = function_name(text) if kind in "TWi" else None
    if kind in "Ti" and re.fullmatch(r"[A-Za-z_]\w*", text) and text not in ("_init", "_fini"):
        name = text  # extern "C"
    if name is not None and name != "decltype":
        namespace = name.rpartition("::")[0]
        if not namespace:
            exports.functions.add(name)
            return
        if namespace in KIT_NAMESPACES:
            exports.kit.add(name)
            return
    elif kind in "BDGRSuV" and re.fullmatch(r"[A-Za-z_]\w*", text):
        exports.data.add(text)
        return
    head = text.split("(")[0]
    if text.startswith("operator"):
        reason = "global operators (new, delete)"
    elif re.match(r"[\w:]+::", head) and " " not in head:
        reason = head.split("::")[0] + ":: functions and objects (internal, or class members)"
    else:
        reason = "template instances, vtables, typeinfo, guard variables"
    exports.excluded[reason] = exports.excluded.get(reason, 0) + 1


def read_exports(library):
    """The defined dynamic symbols of the library, demangled, or None without nm."""
    nm = shutil.which("nm")
    if nm is None:
        return None
    listing = subprocess.run([nm, "-DC", "--defined-only", library], capture_output=True, text=True)
    if listing.returncode != 0:
        raise ListError(f"nm cannot read {library}: {listing.stderr.strip()}")
    exports = Exports(set(), set(), set(), {})
    for line in listing.stdout.splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3:
            classify(parts[1], parts[2], exports)
    return exports


def findings(lists, exports):
    entries = [e for l in lists for e in l.entries()]
    by_symbol = {e.symbol: e for e in entries}
    problems = []
    for e in entries:
        if e.dll == "-":
            if e.level == "kit" and e.name not in exports.kit:
                problems.append(f"{e.source}: {e.name} is listed but libplatform.so does not export it")
            elif e.level != "kit" and e.symbol in exports.functions:
                problems.append(f"{e.source}: {e.name} is exported as a function: list it under its DLL")
        elif e.level in ("full", "partial") and e.symbol not in exports.functions:
            problems.append(f"{e.source}: {e.name} is listed {e.level} but libplatform.so does not export it")
        elif e.level == "absent" and e.symbol in exports.functions:
            problems.append(f"{e.source}: {e.name} is listed absent but libplatform.so exports it")
    for symbol in sorted(exports.functions):
        entry = by_symbol.get(symbol)
        if entry is None or entry.dll == "-":
            problems.append(f"libplatform.so exports {symbol}, which no DLL's list names")
    for name in sorted(exports.kit):
        if name not in by_symbol:
            problems.append(f"libplatform.so exports {name}, which platform/kit/exports.txt does not name")
    for name in sorted(exports.data):
        if name not in by_symbol:
            problems.append(f"libplatform.so exports the object {name}, which no list names")
    return problems


def report(problems):
    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


def check(library):
    lists = read_lists()
    problems = []
    with open(README, encoding="utf-8") as f:
        if f.read() != render_readme(lists):
            problems.append("platform/README.md differs from its lists: run python3 platform/exports.py readme")
    exports = read_exports(library)
    if exports is None:
        print("SKIPPED: nm (binutils) is not installed, so the library's exports cannot be read")
        return report(problems) or SKIPPED
    print(f"{len(lists)} lists, {sum(len(l.entries()) for l in lists)} entries; {os.path.basename(library)}: "
          f"{len(exports.functions)} Windows functions, {len(exports.kit)} kit functions and "
          f"{len(exports.data)} global objects checked")
    for reason, count in sorted(exports.excluded.items()):
        print(f"  left out: {count} {reason}")
    return report(problems + findings(lists, exports))


def main(argv):
    try:
        if argv[1:] == ["readme"]:
            write_readme()
            return 0
        if len(argv) == 3 and argv[1] == "check":
            return check(argv[2])
    except ListError as error:
        print(f"FAIL: {error}")
        return 1
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
