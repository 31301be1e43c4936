// The growable text buffer that every block of SET lines and every value list is built in.
// It starts at 4096 zero-filled bytes and grows in steps of 4096, keeping its contents, until
// the text to append and a NUL after it fit; the bytes past `length` are always zero, so the
// text is always NUL-terminated.
#pragma once

#include "win32.h"

struct ExcLineBuffer {
  DWORD capacity;  // bytes of `text`
  DWORD length;    // bytes in use, counted NULs of lists included
  char* text;      // SysAlloc'ed, or null before ExcLineBufferInit
};

constexpr DWORD kExcLineBufferStep = 4096;
// No block of lines comes near this; growth past it is refused.
constexpr DWORD kExcLineBufferMaxBytes = 1u << 28;

// An empty buffer of 4096 zero bytes. FALSE (buffer empty, text null) when memory is short.
BOOL ExcLineBufferInit(ExcLineBuffer* buffer);
// Frees the text; the buffer is empty (and may be initialised again). Null is ignored.
void ExcLineBufferFree(ExcLineBuffer* buffer);
// Room for `more` bytes and a NUL after the current length. FALSE when memory is short or the
// size would pass kExcLineBufferMaxBytes; the buffer is then unchanged.
BOOL ExcLineBufferReserve(ExcLineBuffer* buffer, DWORD more);

// Appends `n` bytes / a C string. FALSE (nothing appended) when it cannot grow.
BOOL ExcLineBufferAppend(ExcLineBuffer* buffer, const char* bytes, DWORD n);
BOOL ExcLineBufferAppendString(ExcLineBuffer* buffer, const char* text);
// "@PJL SET " + name + " = " + value + " \r\n", whole or not at all.
BOOL ExcLineBufferAppendSetLine(ExcLineBuffer* buffer, const char* name, const char* value);
// A list entry: the string and its NUL, both counted.
BOOL ExcLineBufferAppendListEntry(ExcLineBuffer* buffer, const char* text);
// One more NUL, counted: ends a list (or a block whose stored length counts its NUL).
BOOL ExcLineBufferAppendNul(ExcLineBuffer* buffer);
// Takes back everything after `length` (zeroing it); a longer `length` changes nothing.
void ExcLineBufferTruncate(ExcLineBuffer* buffer, DWORD length);
