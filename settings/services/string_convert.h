// Text between the library's UTF-16 and the process's ANSI code page (INI text, header names,
// the constraint-query interface). Both converters write into fixed fields: they stop before a
// character that does not fit whole, so a double-byte character is never split, and they
// always end the text with a NUL.
#pragma once

#include "win32.h"

// Narrows NUL-terminated `source` into `out` (capacity in bytes, the NUL included). Characters
// the code page lacks become its default character. Returns the bytes written before the NUL.
int StrWideToAnsi(LPSTR out, int capacity, LPCWSTR source);
// Whether UTF-16 unit `c` comes back unchanged from the ANSI code page (no default character,
// no best-fit stand-in).
bool StrConvertsToAnsiExactly(WCHAR c);
// The same for every unit of NUL-terminated `text`.
bool StrConvertsToAnsiExactly(LPCWSTR text);
// Widens NUL-terminated `source` into `out` (capacity in characters, the NUL included).
// Returns the characters written before the NUL.
int StrAnsiToWide(LPWSTR out, int capacity, LPCSTR source);
