// Reads back the security a path answers through GetFileSecurityW, as plain values to compare.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "win32.h"

namespace velm::test {

struct AceView {
  BYTE type = 0;
  BYTE flags = 0;
  ACCESS_MASK mask = 0;
  std::string sid;  // "S-1-1-0"
  bool operator==(const AceView&) const = default;
};

struct SecurityView {
  bool ok = false;
  std::string owner;  // "S-1-5-32-544"
  bool daclPresent = false;
  std::vector<AceView> aces;
};

std::string SidText(PSID sid);
SecurityView ReadSecurity(const char16_t* path);

}  // namespace velm::test
