// Text in the device's character set.
#pragma once

#include "win32.h"

// How TxtUnicodeToDevice writes characters.
enum : BYTE {
  kDeviceTextPlain = 0x00,     // specials, then the device's two-byte rows; below 256 one byte
  kDeviceTextEngine = 0x80,    // specials the engine's code page cannot mistake, then the engine's conversion
  kDeviceTextTwoByte = 0xFE,   // every character two bytes
};

// Converts `sourceBytes` / 2 UTF-16 characters of `source` into at most `capacity` bytes of
// `destination` (no terminator) and answers the bytes written. It stops at the first character
// that does not fit whole, so a two-byte character is never split. Any mode other than 0x80
// and 0xFE converts as kDeviceTextPlain.
DWORD TxtUnicodeToDevice(BYTE* destination, DWORD capacity, const WCHAR* source, DWORD sourceBytes, BYTE mode);
