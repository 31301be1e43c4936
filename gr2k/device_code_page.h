// The device character set that TxtUnicodeToDevice writes: tables generated from
// data/device_code_page.txt by velm_codepagegen.
#pragma once

#include "win32.h"

// A row entry: the lead byte in bits 8 to 15; kDeviceRowWhole codes every character of the
// row, kDeviceRowLowHalf only those whose low byte is below 0x80; 0 codes none.
constexpr WORD kDeviceRowWhole = 0x80, kDeviceRowLowHalf = 0x40;
// The lead byte every character below 256 takes when every character is written as two bytes.
constexpr BYTE kDeviceLatinLead = 0x9F;
// What a character the device does not code is written as.
constexpr BYTE kDeviceMissing = 0x80;

struct DeviceSpecial {
  BYTE device;
  WCHAR code;
};
constexpr DWORD kDeviceSpecialCount = 32;

// One entry per high byte of a UTF-16 character.
extern const WORD kDeviceRowTable[256];
// The single-byte specials, sorted by character.
extern const DeviceSpecial kDeviceSpecials[kDeviceSpecialCount];
// 1 for a device byte that the engine's code page reads as a lead byte.
extern const BYTE kDeviceMarkedBytes[256];
