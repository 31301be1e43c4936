// Text in the device's character set.
#pragma once

#include "win32.h"

// Converts `sourceBytes` / 2 UTF-16 characters of `source` into at most `capacity` bytes of
// `destination` (no terminator) and answers the bytes written; a character that does not fit
// whole is left out. `mode` selects how the device codes characters: 0xFE two bytes for every
// character, 0x80 the engine's conversion for what the device tables lack, other modes the
// device tables. The device tables come with the text hooks; until then every mode converts
// through the engine's conversion into the machine's ANSI code page.
DWORD TxtUnicodeToDevice(BYTE* destination, DWORD capacity, const WCHAR* source, DWORD sourceBytes, BYTE mode);
