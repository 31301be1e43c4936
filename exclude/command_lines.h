// "@PJL SET" lines as the constraint-query interface reads and writes them.
//
// A line is written as "@PJL SET " + name + " = " + value + " \r\n". It is read as: optional
// blanks (space or tab), "@PJL", blanks, "SET", blanks, the name token, blanks, "=", optional
// blanks, the value token, optional blanks, CR LF. A token runs up to the first blank, CR, LF or
// NUL, so "COPIES=3" is one token and the line is malformed; "COPIES =3" is accepted. "@PJL"
// and "SET" are compared case-sensitively. A block is lines one after another ended by a NUL.
#pragma once

#include "win32.h"

// A name or value token with its NUL; a token of this many bytes or more makes the line
// malformed.
constexpr DWORD kExcTokenBytes = 260;

// Results of ExcParseSetLine besides the bytes consumed.
constexpr int kExcLineEnd = 0;         // only blanks before the NUL, or a null argument
constexpr int kExcLineMalformed = -1;

// Reads the line at `text` into `name` and `value` (kExcTokenBytes each). The bytes consumed
// through the CR LF, kExcLineEnd, or kExcLineMalformed. The outputs are empty unless a line
// was read.
int ExcParseSetLine(const char* text, char* name, char* value);

// The value of the first line of `block` that sets `name` into `value` (kExcTokenBytes); an
// empty value when no line before the end or the first malformed line sets it. TRUE when found.
BOOL ExcFindLineValue(const char* block, const char* name, char* value);
