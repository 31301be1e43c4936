// A devmode as an application makes it: the public DEVMODEW alone (no private part), with only
// the fields and dmFields bits the application set.
#pragma once

#include <string>
#include <vector>

#include "settings/items/settings_record.h"
#include "win32.h"

namespace velm::test {

// Byte offsets of the public fields the application tests set.
constexpr size_t kAppOffPaperSize = 78, kAppOffPaperLength = 80, kAppOffPaperWidth = 82, kAppOffCopies = 86;
constexpr size_t kAppOffSource = 88, kAppOffPrintQuality = 90, kAppOffCollate = 100, kAppOffFormName = 102;
constexpr size_t kAppOffMediaType = 196;

struct AppDevmode {
  std::vector<BYTE> bytes = std::vector<BYTE>(kDmPublicSize, 0);
  explicit AppDevmode(DWORD fields) {
    DmStoreU16(bytes.data(), 64, 0x401);  // dmSpecVersion
    DmStoreU16(bytes.data(), kDmOffSize, kDmPublicSize);
    DmStoreU32(bytes.data(), 72, fields);
  }
  AppDevmode& S16(size_t at, SHORT value) {
    DmStoreU16(bytes.data(), at, static_cast<WORD>(value));
    return *this;
  }
  AppDevmode& U32(size_t at, DWORD value) {
    DmStoreU32(bytes.data(), at, value);
    return *this;
  }
  AppDevmode& Form(const std::u16string& name) {
    for (size_t i = 0; i < name.size(); ++i) DmStoreU16(bytes.data(), kAppOffFormName + 2 * i, name[i]);
    return *this;
  }
  const DEVMODEW* get() const { return reinterpret_cast<const DEVMODEW*>(bytes.data()); }
};

}  // namespace velm::test
