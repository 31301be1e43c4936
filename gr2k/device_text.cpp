#include "gr2k/device_text.h"

#include "gr2k/device_code_page.h"

namespace {

// The special's device byte for `c`, or -1.
int FindSpecial(WCHAR c) {
  DWORD low = 0, high = kDeviceSpecialCount;
  while (low < high) {
    const DWORD middle = (low + high) / 2;
    if (kDeviceSpecials[middle].code == c) return kDeviceSpecials[middle].device;
    if (kDeviceSpecials[middle].code < c) low = middle + 1;
    else high = middle;
  }
  return -1;
}

// The device's two-byte form of `c` from the row table, or its one-byte mark for a missing one.
DWORD FromRows(WCHAR c, BYTE* out) {
  if (c < 0x100) {
    out[0] = kDeviceLatinLead;
    out[1] = static_cast<BYTE>(c);
    return 2;
  }
  const WORD row = kDeviceRowTable[c >> 8];
  const BYTE low = static_cast<BYTE>(c & 0xFF);
  if ((row & kDeviceRowWhole) || ((row & kDeviceRowLowHalf) && low < 0x80)) {
    out[0] = static_cast<BYTE>(row >> 8);
    out[1] = low;
    return 2;
  }
  out[0] = kDeviceMissing;
  return 1;
}

DWORD FromEngine(WCHAR c, BYTE* out) {
  ULONG written = 0;
  EngUnicodeToMultiByteN(reinterpret_cast<LPSTR>(out), 2, &written, &c, sizeof c);
  return written <= 2 ? written : 0;
}

// The bytes of one character in `mode`, at most two.
DWORD DeviceBytes(WCHAR c, BYTE mode, BYTE* out) {
  if (mode == kDeviceTextTwoByte) return FromRows(c, out);
  if (c >= 0x100 || (c >= 0x80 && c <= 0x9F)) {
    const int special = FindSpecial(c);
    if (special >= 0 && !(mode == kDeviceTextEngine && kDeviceMarkedBytes[special])) {
      out[0] = static_cast<BYTE>(special);
      return 1;
    }
    return mode == kDeviceTextEngine ? FromEngine(c, out) : FromRows(c, out);
  }
  if (mode == kDeviceTextEngine && c >= 0xA0) return FromEngine(c, out);
  out[0] = static_cast<BYTE>(c);
  return 1;
}

}  // namespace

DWORD TxtUnicodeToDevice(BYTE* destination, DWORD capacity, const WCHAR* source, DWORD sourceBytes, BYTE mode) {
  if (!destination || !source) return 0;
  DWORD written = 0;
  for (DWORD i = 0; i < sourceBytes / sizeof(WCHAR); ++i) {
    BYTE bytes[2];
    const DWORD n = DeviceBytes(source[i], mode, bytes);
    if (n > capacity - written) break;
    for (DWORD k = 0; k < n; ++k) destination[written++] = bytes[k];
  }
  return written;
}
