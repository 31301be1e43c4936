#!/usr/bin/env python3
"""Checks that no C++ exception can leave a driver library or a companion through an export or a
callback it hands out.

  - every name of a library's *.exports file is defined as a function-try-block whose handlers
    end in `catch (...)` (an empty body needs none);
  - every hook of a DRVFN table is wrapped by the guard (`Hook<Function>()`, SysGuardedHook);
  - every function named in an interface table (an initializer of a type whose name ends in
    "Interface") and every CALLBACK function (window, dialog and sheet procedures) is a
    function-try-block as above.

Usage: export_guards.py ROOT [AREA...] (areas default to the driver's and the companions'
folders). Prints each offence as "file:line: message" and exits 1 when there is one.
"""
import pathlib
import re
import sys

AREAS = ["settings", "gr2k", "ui2k", "exclude", "companions"]


def strip_comments(text):
    """The text with comments and string contents blanked, keeping offsets and lines."""
    out = list(text)
    i, n = 0, len(text)
    while i < n:
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            for k in range(i, j):
                out[k] = " "
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            for k in range(i, j):
                if out[k] != "\n":
                    out[k] = " "
            i = j
        elif text[i] in "\"'" and not (i > 0 and re.match(r"[A-Za-z0-9_]", text[i - 1]) and text[i] == "'"):
            quote = text[i]
            j = i + 1
            while j < n and text[j] != quote and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            for k in range(i + 1, min(j, n)):
                out[k] = " "
            i = j + 1
        else:
            i += 1
    return "".join(out)


def matching(text, at, open_char, close_char):
    """Index of the bracket closing the one at `at`, or -1."""
    depth = 0
    for i in range(at, len(text)):
        if text[i] == open_char:
            depth += 1
        elif text[i] == close_char:
            depth -= 1
            if depth == 0:
                return i
    return -1


def definitions(text, name):
    """(offset, guarded, empty) for each definition of function `name` at the start of a line."""
    found = []
    for m in re.finditer(r"^[^\n;{}#]*?\b" + re.escape(name) + r"\s*\(", text, re.M):
        paren = m.end() - 1
        close = matching(text, paren, "(", ")")
        if close < 0:
            continue
        after = re.match(r"\s*(noexcept\s*)?(try\s*)?\{", text[close + 1:])
        if not after:
            continue  # a declaration or a call
        brace = close + after.end()
        end = matching(text, brace, "{", "}")
        body = text[brace + 1:end]
        handlers = re.match(r"(\s*catch\s*\([^)]*\)\s*\{)+", text[end + 1:]) if after.group(2) else None
        guarded = False
        if after.group(2):
            rest = text[end + 1:]
            while True:
                h = re.match(r"\s*catch\s*\(([^)]*)\)\s*\{", rest)
                if not h:
                    break
                if h.group(1).strip() == "...":
                    guarded = True
                stop = matching(rest, h.end() - 1, "{", "}")
                rest = rest[stop + 1:]
        found.append((m.start(), guarded, body.strip() == ""))
    return found


def line_of(text, offset):
    return text.count("\n", 0, offset) + 1


def check(root, areas):
    offences = []
    sources, raw = {}, {}
    for area in areas:
        for path in sorted((root / area).rglob("*")):
            if path.suffix in (".cpp", ".h") and "build" not in path.parts:
                raw[path] = path.read_text(encoding="utf-8", errors="replace")
                sources[path] = strip_comments(raw[path])

    def require(name, where, scope):
        """The function `name` defined in `scope` (paths) is a guarded function-try-block."""
        seen = False
        for path in scope:
            text = sources[path]
            # An export whose C++ name differs from its exported one.
            alias = re.search(r"\b(\w+)\s*\([^)]*\)\s*__asm__\(\"" + re.escape(name) + r"\"\)", raw[path])
            target = alias.group(1) if alias else name
            for offset, guarded, empty in definitions(text, target):
                seen = True
                if not guarded and not empty:
                    offences.append(f"{path.relative_to(root)}:{line_of(text, offset)}: {name} ({where}) is not a "
                                    "function-try-block ending in catch (...)")
        if not seen:
            offences.append(f"{where}: no definition of {name} found")

    for area in areas:
        for exports in sorted((root / area).rglob("*.exports")):
            scope = [p for p in sources if p.parts[:len(root.parts) + 1] == (root / area).parts]
            for line in exports.read_text().splitlines():
                name = line.strip()
                if name and not name.startswith("#"):
                    require(name, f"export of {exports.name}", scope)

    for path, text in sources.items():
        for table in re.finditer(r"\bDRVFN\s+\w+\s*\[\s*\]\s*=\s*\{", text):
            end = matching(text, table.end() - 1, "{", "}")
            for entry in re.finditer(r"\{\s*(INDEX_\w+)\s*,\s*([^{}]*?)\}", text[table.end():end]):
                if not re.match(r"Hook<", entry.group(2).strip()):
                    offences.append(f"{path.relative_to(root)}:{line_of(text, table.end() + entry.start())}: "
                                    f"hook {entry.group(1)} is not wrapped by the guard (Hook<Function>())")
        for table in re.finditer(r"\b\w*Interface\b(?:<[^>]*>)?\s*(?:\w+\s*(?:<[^>]*>)?\s*=\s*)?\{", text):
            end = matching(text, table.end() - 1, "{", "}")
            for name in set(re.findall(r"&?\b([A-Z]\w*)\b(?:<[^>]*>)?", text[table.end():end])):
                if definitions(text, name):
                    require(name, f"callback in the interface table at line {line_of(text, table.start())}", [path])
        # A callback declared in a header is defined in one of the sources.
        scope = [path] if path.suffix == ".cpp" else [p for p in sources if p.suffix == ".cpp"]
        for callback in re.finditer(r"^[^\n;{}#()]*\bCALLBACK\s+(\w+)\s*\(", text, re.M):
            require(callback.group(1), "CALLBACK function", scope)
    return offences


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    root = pathlib.Path(argv[1]).resolve()
    offences = check(root, argv[2:] or AREAS)
    for offence in offences:
        print(offence)
    return 1 if offences else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
