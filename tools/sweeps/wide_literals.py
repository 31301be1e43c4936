#!/usr/bin/env python3
"""Rewrites driver sources to the wide-text forms that compile in both builds.

  u"text"              -> WSTR("text")
  u'c'                 -> WCH('c')
  std::u16string_view  -> WStringView
  std::u16string       -> WString
  char16_t             -> WCHAR

Comments and other literals are left alone. Usage: wide_literals.py [--check] PATH...
(folders are walked for .h and .cpp files). With --check nothing is written and the exit
status is 1 when a file would change.
"""
import pathlib
import re
import sys

WORDS = [("std::u16string_view", "WStringView"), ("std::u16string", "WString"), ("char16_t", "WCHAR")]
IDENT = re.compile(r"[A-Za-z0-9_]")


def literal_end(text, start, quote):
    """Index just past the literal whose opening quote is at start."""
    i = start + 1
    while i < len(text) and text[i] != quote:
        i += 2 if text[i] == "\\" else 1
    return i + 1


def rewrite(text):
    out = []
    i = 0
    n = len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(text[i:j])
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(text[i:j])
            i = j
        elif c in "\"'":
            j = literal_end(text, i, c)
            out.append(text[i:j])
            i = j
        elif IDENT.match(c):
            j = i
            while j < n and IDENT.match(text[j]):
                j += 1
            word = text[i:j]
            if word == "u" and j < n and text[j] in "\"'":
                k = literal_end(text, j, text[j])
                macro = "WSTR" if text[j] == '"' else "WCH"
                out.append(f"{macro}({text[j:k]})")
                i = k
                continue
            if j < n and text[j] in "\"'" and word in ("u8", "U", "L", "R", "uR", "u8R", "UR", "LR"):
                if word.endswith("R"):
                    raise SystemExit(f"raw string literal not handled: {text[i:j + 20]!r}")
                k = literal_end(text, j, text[j])
                out.append(text[i:k])
                i = k
                continue
            out.append(word)
            i = j
        else:
            out.append(c)
            i += 1
    result = "".join(out)
    for old, new in WORDS:
        result = re.sub(r"(?<![A-Za-z0-9_:])" + re.escape(old) + r"(?![A-Za-z0-9_])", new, result)
    return result


def main(argv):
    check = "--check" in argv
    paths = [pathlib.Path(a) for a in argv if a != "--check"]
    files = []
    for p in paths:
        files += sorted(q for q in p.rglob("*") if q.suffix in (".h", ".cpp")) if p.is_dir() else [p]
    changed = []
    for f in files:
        old = f.read_text()
        new = rewrite(old)
        if new != old:
            changed.append(str(f))
            if not check:
                f.write_text(new)
    for f in changed:
        print(f)
    return 1 if check and changed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
