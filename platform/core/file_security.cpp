// The security of files and folders as records of the security store (core/path_records.h):
// "O=<owner SID>", "D=<DACL>" or "D=-" for a null DACL, in hexadecimal, joined by ','.
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "core/files_internal.h"
#include "core/path_records.h"
#include "core/process.h"
#include "core/security.h"
#include "core/winerror.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<BYTE>;

struct SecurityRecord {
  std::optional<Bytes> owner;
  std::optional<Bytes> dacl;  // present: the ACL's bytes, empty for a null DACL
};

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (BYTE b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

std::optional<Bytes> Unhex(std::string_view text) {
  if (text.size() % 2) return std::nullopt;
  Bytes bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    const auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    bytes.push_back(static_cast<BYTE>(nibble(text[i]) << 4 | nibble(text[i + 1])));
  }
  return bytes;
}

SecurityRecord ParseRecord(const std::string& value) {
  SecurityRecord record;
  size_t start = 0;
  while (start < value.size()) {
    size_t end = value.find(',', start);
    if (end == std::string::npos) end = value.size();
    const std::string_view field = std::string_view(value).substr(start, end - start);
    if (field.starts_with("O=")) record.owner = Unhex(field.substr(2));
    if (field == "D=-") record.dacl = Bytes{};
    else if (field.starts_with("D=")) record.dacl = Unhex(field.substr(2));
    start = end + 1;
  }
  return record;
}

std::string FormatRecord(const SecurityRecord& record) {
  std::string value;
  if (record.owner) value = "O=" + Hex(*record.owner);
  if (record.dacl) value += (value.empty() ? "" : ",") + (record.dacl->empty() ? "D=-" : "D=" + Hex(*record.dacl));
  return value;
}

Bytes SidBytes(PSID sid) {
  const auto* p = static_cast<const BYTE*>(sid);
  return Bytes(p, p + GetLengthSid(sid));
}

WORD AclSize(const BYTE* acl) {
  WORD size;
  std::memcpy(&size, acl + 2, sizeof size);
  return size;
}

Bytes MachineUserSid() {
  HANDLE token = nullptr;
  Bytes sid;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return sid;
  DWORD needed = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  TOKEN_USER user;
  if (needed >= sizeof user && GetTokenInformation(token, TokenUser, buffer.data(), needed, &needed)) {
    std::memcpy(&user, buffer.data(), sizeof user);
    sid = SidBytes(user.User.Sid);
  }
  CloseHandle(token);
  return sid;
}

// The entries of a folder's DACL that a child inherits: a file those with OBJECT_INHERIT_ACE, a
// folder those with CONTAINER_INHERIT_ACE; NO_PROPAGATE_INHERIT_ACE reaches the direct children only.
Bytes InheritedDacl(const Bytes& parent, bool directory, bool directChild) {
  std::vector<Bytes> aces;
  auto* acl = reinterpret_cast<PACL>(const_cast<BYTE*>(parent.data()));
  LPVOID ace = nullptr;
  for (DWORD i = 0; GetAce(acl, i, &ace); ++i) {
    const auto* p = static_cast<const BYTE*>(ace);
    const BYTE flags = p[1];
    if (!(flags & (directory ? CONTAINER_INHERIT_ACE : OBJECT_INHERIT_ACE))) continue;
    if ((flags & NO_PROPAGATE_INHERIT_ACE) && !directChild) continue;
    WORD size;
    std::memcpy(&size, p + 2, sizeof size);
    Bytes copy(p, p + size);
    const bool keepsInheriting = directory && !(flags & NO_PROPAGATE_INHERIT_ACE);
    copy[1] = static_cast<BYTE>(INHERITED_ACE | (keepsInheriting ? flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) : 0));
    aces.push_back(std::move(copy));
  }
  Bytes out(sizeof(ACL), 0);
  out[0] = parent[0];
  for (const Bytes& a : aces) out.insert(out.end(), a.begin(), a.end());
  const auto size = static_cast<WORD>(out.size());
  const auto count = static_cast<WORD>(aces.size());
  std::memcpy(&out[2], &size, sizeof size);
  std::memcpy(&out[4], &count, sizeof count);
  return out;
}

// The DACL a path answers: its own, else what it inherits from the nearest folder above it
// that has one.
std::optional<Bytes> EffectiveDacl(const PathRecords& records, const std::string& key, bool directory) {
  if (const auto it = records.find(key); it != records.end()) {
    if (SecurityRecord own = ParseRecord(it->second); own.dacl) return own.dacl;
  }
  std::string folder = key;
  for (int depth = 1;; ++depth) {
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    folder.resize(slash);
    const auto it = records.find(folder);
    if (it == records.end()) continue;
    const SecurityRecord above = ParseRecord(it->second);
    if (!above.dacl) continue;
    if (above.dacl->empty()) return std::nullopt;  // a null DACL passes nothing down
    return InheritedDacl(*above.dacl, directory, depth == 1);
  }
}

// Resolves and stats a path; false with the Windows error for a missing one.
bool StatFile(LPCWSTR fileName, MappedPath& mapped, struct stat& st) {
  if (!ResolveFilePath(fileName, mapped)) return false;
  if (::stat(mapped.host.c_str(), &st) == 0) return true;
  SetLastError(errno == ENOENT ? MissingPathError(mapped.host) : errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                                                  : ErrnoToError(errno));
  return false;
}

}  // namespace

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

BOOL SetFileSecurityW(LPCWSTR fileName, SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor) {
  MappedPath mapped;
  struct stat st;
  if (!descriptor) return Fail(ERROR_INVALID_PARAMETER);
  if (!StatFile(fileName, mapped, st)) return FALSE;
  SecurityRecord change;
  if (information & OWNER_SECURITY_INFORMATION) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted)) return FALSE;
    if (!owner || !IsValidSid(owner)) return Fail(ERROR_INVALID_SECURITY_DESCR);
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, owner, &member) || !member) return Fail(ERROR_INVALID_OWNER);
    change.owner = SidBytes(owner);
  }
  if (information & DACL_SECURITY_INFORMATION) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) return FALSE;
    if (present && dacl && !IsValidAcl(dacl)) return Fail(ERROR_INVALID_ACL);
    const auto* bytes = reinterpret_cast<const BYTE*>(dacl);
    change.dacl = present && dacl ? Bytes(bytes, bytes + AclSize(bytes)) : Bytes{};
  }
  const std::string key = PathRecordKey(mapped.host);
  EditPathRecords(kSecurityStore, [&](PathRecords& records) {
    const auto it = records.find(key);
    SecurityRecord record = it == records.end() ? SecurityRecord{} : ParseRecord(it->second);
    if (change.owner) record.owner = change.owner;
    if (change.dacl) record.dacl = change.dacl;
    const std::string value = FormatRecord(record);
    if (value.empty() || (it != records.end() && it->second == value)) return false;
    records[key] = value;
    return true;
  });
  return TRUE;
}

BOOL GetFileSecurityW(LPCWSTR fileName, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR descriptor,
                      DWORD length, LPDWORD lengthNeeded) {
  MappedPath mapped;
  struct stat st;
  if (!lengthNeeded) return Fail(ERROR_INVALID_PARAMETER);
  if (!StatFile(fileName, mapped, st)) return FALSE;
  const PathRecords records = ReadPathRecords(kSecurityStore);
  const std::string key = PathRecordKey(mapped.host);
  const auto it = records.find(key);
  const SecurityRecord own = it == records.end() ? SecurityRecord{} : ParseRecord(it->second);

  SECURITY_DESCRIPTOR_RELATIVE head{};
  head.Revision = SECURITY_DESCRIPTOR_REVISION;
  head.Control = SE_SELF_RELATIVE;
  Bytes image(sizeof head);
  if (requested & OWNER_SECURITY_INFORMATION) {
    const Bytes owner = own.owner ? *own.owner : MachineUserSid();
    head.Owner = static_cast<DWORD>(image.size());
    image.insert(image.end(), owner.begin(), owner.end());
  }
  if (requested & DACL_SECURITY_INFORMATION) {
    const std::optional<Bytes> dacl = EffectiveDacl(records, key, S_ISDIR(st.st_mode));
    if (dacl) {
      head.Control |= SE_DACL_PRESENT;
      if (!dacl->empty()) {
        head.Dacl = static_cast<DWORD>(image.size());
        image.insert(image.end(), dacl->begin(), dacl->end());
      }
    }
  }
  std::memcpy(image.data(), &head, sizeof head);
  *lengthNeeded = static_cast<DWORD>(image.size());
  if (!descriptor || length < image.size()) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(descriptor, image.data(), image.size());
  return TRUE;
}

}  // extern "C"
