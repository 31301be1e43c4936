#include "support/file_security.h"

#include <cstring>

namespace velm::test {

std::string SidText(PSID sid) {
  const auto* p = static_cast<const BYTE*>(sid);
  uint64_t authority = 0;
  for (int i = 2; i < 8; ++i) authority = authority << 8 | p[i];
  std::string text = "S-" + std::to_string(p[0]) + "-" + std::to_string(authority);
  for (int i = 0; i < p[1]; ++i) {
    DWORD sub;
    std::memcpy(&sub, p + 8 + 4 * i, sizeof sub);
    text += "-" + std::to_string(sub);
  }
  return text;
}

SecurityView ReadSecurity(const char16_t* path) {
  SecurityView view;
  DWORD needed = 0;
  const SECURITY_INFORMATION asked = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (GetFileSecurityW(path, asked, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return view;
  std::vector<BYTE> buffer(needed);
  if (!GetFileSecurityW(path, asked, buffer.data(), needed, &needed)) return view;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  BOOL present = FALSE;
  if (!GetSecurityDescriptorOwner(buffer.data(), &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(buffer.data(), &present, &dacl, &defaulted))
    return view;
  view.owner = owner ? SidText(owner) : "";
  view.daclPresent = present != FALSE;
  LPVOID ace = nullptr;
  for (DWORD i = 0; dacl && GetAce(dacl, i, &ace); ++i) {
    const auto* p = static_cast<const BYTE*>(ace);
    AceView a;
    a.type = p[0];
    a.flags = p[1];
    std::memcpy(&a.mask, p + 4, sizeof a.mask);
    a.sid = SidText(const_cast<BYTE*>(p + 8));
    view.aces.push_back(a);
  }
  view.ok = true;
  return view;
}

}  // namespace velm::test
