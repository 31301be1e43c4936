#include "gr2k/device_text.h"

DWORD TxtUnicodeToDevice(BYTE* destination, DWORD capacity, const WCHAR* source, DWORD sourceBytes, BYTE) {
  if (!destination || !source || capacity == 0 || sourceBytes < sizeof(WCHAR)) return 0;
  ULONG written = 0;
  EngUnicodeToMultiByteN(reinterpret_cast<LPSTR>(destination), capacity, &written, const_cast<PWSTR>(source),
                         sourceBytes & ~1u);
  return written <= capacity ? written : capacity;
}
