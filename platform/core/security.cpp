#include "core/security.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/handles.h"
#include "core/memory.h"
#include "core/process.h"
#include "core/system_settings.h"
#include "core/winerror.h"

namespace {

using Bytes = std::vector<BYTE>;

// The generic rights; their names are declared with the file functions.
constexpr ACCESS_MASK kGenericRead = 0x80000000;
constexpr ACCESS_MASK kGenericWrite = 0x40000000;
constexpr ACCESS_MASK kGenericExecute = 0x20000000;
constexpr ACCESS_MASK kGenericAll = 0x10000000;
constexpr ACCESS_MASK kGenericBits = kGenericRead | kGenericWrite | kGenericExecute | kGenericAll;

constexpr ACCESS_MASK kTokenWrite = READ_CONTROL | TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_ADJUST_DEFAULT;
constexpr ACCESS_MASK kTokenExecute = READ_CONTROL;
constexpr DWORD kGroupAttributes = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
constexpr size_t kSidHeader = 8;
constexpr size_t kAceHeader = 8;  // ACE_HEADER + mask; the SID follows

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

WORD Load16(const BYTE* p) {
  WORD v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
DWORD Load32(const BYTE* p) {
  DWORD v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
void Store16(BYTE* p, WORD v) { std::memcpy(p, &v, sizeof v); }
void Store32(BYTE* p, DWORD v) { std::memcpy(p, &v, sizeof v); }

// --- SIDs -------------------------------------------------------------------------------------

bool SidIsValid(const void* sid) {
  const auto* p = static_cast<const BYTE*>(sid);
  return p && p[0] == SID_REVISION && p[1] <= SID_MAX_SUB_AUTHORITIES;
}

size_t SidLength(const void* sid) { return kSidHeader + 4 * static_cast<const BYTE*>(sid)[1]; }

bool SameSid(const void* a, const void* b) {
  return SidLength(a) == SidLength(b) && std::memcmp(a, b, SidLength(a)) == 0;
}

Bytes MakeSid(BYTE authority, std::initializer_list<DWORD> subAuthorities) {
  Bytes sid(kSidHeader + 4 * subAuthorities.size());
  sid[0] = SID_REVISION;
  sid[1] = static_cast<BYTE>(subAuthorities.size());
  sid[7] = authority;  // the 6-byte authority is big-endian
  size_t offset = kSidHeader;
  for (DWORD sub : subAuthorities) {
    Store32(&sid[offset], sub);
    offset += 4;
  }
  return sid;
}

// --- tokens -----------------------------------------------------------------------------------

struct TokenState {
  TOKEN_TYPE type = TokenPrimary;
  SECURITY_IMPERSONATION_LEVEL level = SecurityAnonymous;
  Bytes user;
  std::vector<Bytes> groups;  // all enabled
  bool elevated = false;
  DWORD session = 0;

  bool Holds(const void* sid) const {
    if (SameSid(user.data(), sid)) return true;
    for (const Bytes& group : groups)
      if (SameSid(group.data(), sid)) return true;
    return false;
  }
};
using TokenPtr = std::shared_ptr<const TokenState>;

// The process token, as the machine's settings say it is now.
TokenPtr MachineToken() {
  constexpr BYTE kWorld = 1;
  constexpr BYTE kNt = 5;
  auto token = std::make_shared<TokenState>();
  token->user = MakeSid(kNt, {SECURITY_NT_NON_UNIQUE, 3623811015u, 3361044348u, 30300820u, 1001});
  token->groups = {MakeSid(kWorld, {SECURITY_WORLD_RID}),
                   MakeSid(kNt, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}),
                   MakeSid(kNt, {SECURITY_INTERACTIVE_RID}), MakeSid(kNt, {SECURITY_AUTHENTICATED_USER_RID})};
  token->elevated = velm::platform::MachineSwitchIsOn("administrator");
  if (token->elevated) token->groups.push_back(MakeSid(kNt, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}));
  token->session = velm::platform::MachineSessionId();
  return token;
}

TokenPtr AsImpersonation(const TokenState& base, SECURITY_IMPERSONATION_LEVEL level) {
  auto token = std::make_shared<TokenState>(base);
  token->type = TokenImpersonation;
  token->level = level;
  return token;
}

// One handle to a token: the token may be shared, the rights belong to the handle.
class TokenHandle : public velm::platform::KernelObject {
 public:
  TokenHandle(TokenPtr state, ACCESS_MASK access) : state(std::move(state)), access(access) {}
  const TokenPtr state;
  const ACCESS_MASK access;
};

thread_local TokenPtr t_impersonation;

ACCESS_MASK MapTokenAccess(ACCESS_MASK desired) {
  GENERIC_MAPPING mapping{TOKEN_READ, kTokenWrite, kTokenExecute, TOKEN_ALL_ACCESS};
  if (desired & MAXIMUM_ALLOWED) desired = (desired & ~MAXIMUM_ALLOWED) | TOKEN_ALL_ACCESS;
  MapGenericMask(&desired, &mapping);
  return desired;
}

BOOL HandOut(TokenPtr state, ACCESS_MASK access, PHANDLE handle) {
  *handle = velm::platform::RegisterHandle(std::make_shared<TokenHandle>(std::move(state), access));
  return TRUE;
}

// The token behind `handle` when the handle has every right in `needed`.
std::shared_ptr<TokenHandle> TokenFor(HANDLE handle, ACCESS_MASK needed) {
  auto token = velm::platform::LookupHandleAs<TokenHandle>(handle);
  if (!token) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if ((token->access & needed) != needed) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return token;
}

// --- ACLs -------------------------------------------------------------------------------------

bool IsKnownRevision(DWORD revision) { return revision >= ACL_REVISION && revision <= ACL_REVISION_DS; }

// Calls visit(offset) for each ACE after checking that it lies inside the ACL, and returns the
// offset just past the last ACE; nothing when the ACL is malformed.
template <class Visit>
std::optional<size_t> WalkAces(const BYTE* acl, Visit visit) {
  if (!acl || !IsKnownRevision(acl[0])) return std::nullopt;
  const size_t size = Load16(acl + 2);
  const size_t count = Load16(acl + 4);
  if (size < sizeof(ACL) || size % 4) return std::nullopt;
  size_t offset = sizeof(ACL);
  for (size_t i = 0; i < count; ++i) {
    if (offset + sizeof(ACE_HEADER) > size) return std::nullopt;
    const BYTE type = acl[offset];
    const size_t aceSize = Load16(acl + offset + 2);
    if (aceSize < sizeof(ACE_HEADER) || aceSize % 4 || offset + aceSize > size) return std::nullopt;
    if (type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_DENIED_ACE_TYPE) {
      const BYTE* sid = acl + offset + kAceHeader;
      if (aceSize < kAceHeader + kSidHeader || !SidIsValid(sid) || kAceHeader + SidLength(sid) > aceSize)
        return std::nullopt;
    }
    visit(offset);
    offset += aceSize;
  }
  return offset;
}

bool AclIsValid(const void* acl) {
  return WalkAces(static_cast<const BYTE*>(acl), [](size_t) {}).has_value();
}

BOOL AddAce(PACL acl, DWORD revision, BYTE type, BYTE flags, DWORD mask, PSID sid) {
  auto* bytes = reinterpret_cast<BYTE*>(acl);
  const std::optional<size_t> end = WalkAces(bytes, [](size_t) {});
  if (!end) return Fail(ERROR_INVALID_ACL);
  if (!SidIsValid(sid)) return Fail(ERROR_INVALID_SID);
  if (!IsKnownRevision(revision)) return Fail(ERROR_REVISION_MISMATCH);
  const size_t aceSize = kAceHeader + SidLength(sid);
  if (*end + aceSize > Load16(bytes + 2)) return Fail(ERROR_ALLOTTED_SPACE_EXCEEDED);
  BYTE* ace = bytes + *end;
  ace[0] = type;
  ace[1] = flags;
  Store16(ace + 2, static_cast<WORD>(aceSize));
  Store32(ace + 4, mask);
  std::memcpy(ace + kAceHeader, sid, SidLength(sid));
  Store16(bytes + 4, static_cast<WORD>(Load16(bytes + 4) + 1));
  if (revision > bytes[0]) bytes[0] = static_cast<BYTE>(revision);
  return TRUE;
}

// --- security descriptors ---------------------------------------------------------------------

// Caller buffers need not be aligned, so the descriptor is copied in and out.
SECURITY_DESCRIPTOR LoadDescriptor(const void* p) {
  SECURITY_DESCRIPTOR sd;
  std::memcpy(&sd, p, sizeof sd);
  return sd;
}

// Edits an absolute descriptor; the errors Windows gives for a wrong revision or form.
template <class Edit>
BOOL EditDescriptor(PSECURITY_DESCRIPTOR descriptor, Edit edit) {
  if (!descriptor) return Fail(ERROR_INVALID_PARAMETER);
  SECURITY_DESCRIPTOR sd = LoadDescriptor(descriptor);
  if (sd.Revision != SECURITY_DESCRIPTOR_REVISION) return Fail(ERROR_UNKNOWN_REVISION);
  if (sd.Control & SE_SELF_RELATIVE) return Fail(ERROR_INVALID_SECURITY_DESCR);
  edit(sd);
  std::memcpy(descriptor, &sd, sizeof sd);
  return TRUE;
}

// The parts of an absolute or self-relative descriptor as pointers; nothing for a wrong revision.
std::optional<SECURITY_DESCRIPTOR> DescriptorParts(const void* descriptor) {
  if (!descriptor) return std::nullopt;
  const auto* bytes = static_cast<const BYTE*>(descriptor);
  if (bytes[0] != SECURITY_DESCRIPTOR_REVISION) return std::nullopt;
  const WORD control = Load16(bytes + 2);
  if (!(control & SE_SELF_RELATIVE)) return LoadDescriptor(descriptor);
  const auto part = [&](size_t field) -> void* {
    const DWORD offset = Load32(bytes + field);
    return offset ? const_cast<BYTE*>(bytes) + offset : nullptr;
  };
  SECURITY_DESCRIPTOR sd{};
  sd.Revision = bytes[0];
  sd.Control = control;
  sd.Owner = part(offsetof(SECURITY_DESCRIPTOR_RELATIVE, Owner));
  sd.Group = part(offsetof(SECURITY_DESCRIPTOR_RELATIVE, Group));
  sd.Sacl = static_cast<PACL>(part(offsetof(SECURITY_DESCRIPTOR_RELATIVE, Sacl)));
  sd.Dacl = static_cast<PACL>(part(offsetof(SECURITY_DESCRIPTOR_RELATIVE, Dacl)));
  return sd;
}

bool DescriptorIsValid(const void* descriptor) {
  if (!descriptor) return false;
  const SECURITY_DESCRIPTOR sd = LoadDescriptor(descriptor);
  if (sd.Revision != SECURITY_DESCRIPTOR_REVISION || (sd.Control & SE_SELF_RELATIVE)) return false;
  if (sd.Owner && !SidIsValid(sd.Owner)) return false;
  if (sd.Group && !SidIsValid(sd.Group)) return false;
  if ((sd.Control & SE_DACL_PRESENT) && sd.Dacl && !AclIsValid(sd.Dacl)) return false;
  if ((sd.Control & SE_SACL_PRESENT) && sd.Sacl && !AclIsValid(sd.Sacl)) return false;
  return true;
}

// --- token information ------------------------------------------------------------------------

// A TOKEN_USER or TOKEN_GROUPS image: fixed part, then the SIDs; `pointers` lists the slots
// that must point at a SID (slot offset, SID offset) once the image sits in the caller's buffer.
struct TokenImage {
  Bytes bytes;
  std::vector<std::pair<size_t, size_t>> pointers;
};

TokenImage SidList(size_t fixedHeader, const std::vector<const Bytes*>& sids, DWORD attributes) {
  TokenImage image;
  size_t total = fixedHeader + sids.size() * sizeof(SID_AND_ATTRIBUTES);
  for (const Bytes* sid : sids) total += sid->size();
  image.bytes.assign(total, 0);
  size_t sidOffset = fixedHeader + sids.size() * sizeof(SID_AND_ATTRIBUTES);
  for (size_t i = 0; i < sids.size(); ++i) {
    const size_t entry = fixedHeader + i * sizeof(SID_AND_ATTRIBUTES);
    Store32(&image.bytes[entry + offsetof(SID_AND_ATTRIBUTES, Attributes)], attributes);
    image.pointers.emplace_back(entry, sidOffset);
    std::memcpy(&image.bytes[sidOffset], sids[i]->data(), sids[i]->size());
    sidOffset += sids[i]->size();
  }
  return image;
}

TokenImage DwordImage(DWORD value) {
  TokenImage image;
  image.bytes.resize(sizeof(DWORD));
  Store32(image.bytes.data(), value);
  return image;
}

std::optional<TokenImage> InformationImage(const TokenState& token, TOKEN_INFORMATION_CLASS infoClass) {
  switch (infoClass) {
    case TokenUser:
      return SidList(0, {&token.user}, 0);
    case TokenGroups: {
      std::vector<const Bytes*> groups;
      for (const Bytes& group : token.groups) groups.push_back(&group);
      TokenImage image = SidList(offsetof(TOKEN_GROUPS, Groups), groups, kGroupAttributes);
      Store32(image.bytes.data(), static_cast<DWORD>(groups.size()));
      return image;
    }
    case TokenType:
      return DwordImage(token.type);
    case TokenImpersonationLevel:
      if (token.type != TokenImpersonation) return std::nullopt;
      return DwordImage(token.level);
    case TokenSessionId:
      return DwordImage(token.session);
    case TokenElevation:
      return DwordImage(token.elevated ? 1 : 0);
    default:
      return std::nullopt;
  }
}

}  // namespace

// --- tokens -----------------------------------------------------------------------------------

extern "C" BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token) {
  if (!token) return Fail(ERROR_INVALID_PARAMETER);
  if (process != GetCurrentProcess()) return Fail(ERROR_INVALID_HANDLE);
  return HandOut(MachineToken(), MapTokenAccess(desiredAccess), token);
}

extern "C" BOOL OpenThreadToken(HANDLE thread, DWORD desiredAccess, BOOL, PHANDLE token) {
  if (!token) return Fail(ERROR_INVALID_PARAMETER);
  *token = nullptr;
  if (thread != GetCurrentThread()) return Fail(ERROR_INVALID_HANDLE);
  if (!t_impersonation) return Fail(ERROR_NO_TOKEN);
  return HandOut(t_impersonation, MapTokenAccess(desiredAccess), token);
}

extern "C" BOOL ImpersonateSelf(SECURITY_IMPERSONATION_LEVEL level) {
  if (level < SecurityAnonymous || level > SecurityDelegation) return Fail(ERROR_INVALID_PARAMETER);
  t_impersonation = AsImpersonation(*MachineToken(), level);
  return TRUE;
}

extern "C" BOOL ImpersonateLoggedOnUser(HANDLE token) {
  const auto handle = velm::platform::LookupHandleAs<TokenHandle>(token);
  if (!handle) return Fail(ERROR_INVALID_HANDLE);
  const bool primary = handle->state->type == TokenPrimary;
  if (!TokenFor(token, TOKEN_QUERY | (primary ? TOKEN_DUPLICATE : TOKEN_IMPERSONATE))) return FALSE;
  t_impersonation = primary ? AsImpersonation(*handle->state, SecurityImpersonation) : handle->state;
  return TRUE;
}

extern "C" BOOL RevertToSelf(void) {
  t_impersonation.reset();
  return TRUE;
}

extern "C" BOOL DuplicateToken(HANDLE existing, SECURITY_IMPERSONATION_LEVEL level, PHANDLE duplicate) {
  if (!duplicate || level < SecurityAnonymous || level > SecurityDelegation) return Fail(ERROR_INVALID_PARAMETER);
  const auto source = TokenFor(existing, TOKEN_DUPLICATE);
  if (!source) return FALSE;
  const TokenState& state = *source->state;
  if (state.type == TokenImpersonation && level > state.level) return Fail(ERROR_BAD_IMPERSONATION_LEVEL);
  return HandOut(AsImpersonation(state, level), TOKEN_IMPERSONATE | TOKEN_QUERY, duplicate);
}

extern "C" BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info, DWORD length,
                                    PDWORD returnLength) {
  if (!returnLength) return Fail(ERROR_INVALID_PARAMETER);
  const auto handle = TokenFor(token, TOKEN_QUERY);
  if (!handle) return FALSE;
  const std::optional<TokenImage> image = InformationImage(*handle->state, infoClass);
  if (!image) return Fail(ERROR_INVALID_PARAMETER);
  *returnLength = static_cast<DWORD>(image->bytes.size());
  if (!info || length < image->bytes.size()) return Fail(ERROR_INSUFFICIENT_BUFFER);
  auto* out = static_cast<BYTE*>(info);
  std::memcpy(out, image->bytes.data(), image->bytes.size());
  for (const auto& [slot, target] : image->pointers) {
    const PSID pointer = out + target;
    std::memcpy(out + slot, &pointer, sizeof pointer);
  }
  return TRUE;
}

extern "C" BOOL CheckTokenMembership(HANDLE token, PSID sid, BOOL* isMember) {
  if (!isMember) return Fail(ERROR_INVALID_PARAMETER);
  if (!SidIsValid(sid)) return Fail(ERROR_INVALID_SID);
  TokenPtr state;
  if (!token) {
    state = t_impersonation ? t_impersonation : AsImpersonation(*MachineToken(), SecurityIdentification);
  } else {
    const auto handle = TokenFor(token, TOKEN_QUERY);
    if (!handle) return FALSE;
    if (handle->state->type != TokenImpersonation) return Fail(ERROR_NO_IMPERSONATION_TOKEN);
    state = handle->state;
  }
  *isMember = state->Holds(sid) ? TRUE : FALSE;
  return TRUE;
}

// --- SIDs -------------------------------------------------------------------------------------

extern "C" BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE subAuthorityCount, DWORD sub0,
                                         DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4, DWORD sub5, DWORD sub6,
                                         DWORD sub7, PSID* sid) {
  if (!authority || !sid || subAuthorityCount > 8) return Fail(ERROR_INVALID_PARAMETER);
  const DWORD subs[8] = {sub0, sub1, sub2, sub3, sub4, sub5, sub6, sub7};
  auto* bytes = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, kSidHeader + 4 * subAuthorityCount));
  if (!bytes) return FALSE;  // HeapAlloc set ERROR_NOT_ENOUGH_MEMORY
  bytes[0] = SID_REVISION;
  bytes[1] = subAuthorityCount;
  std::memcpy(bytes + 2, authority->Value, sizeof authority->Value);
  for (BYTE i = 0; i < subAuthorityCount; ++i) Store32(bytes + kSidHeader + 4 * i, subs[i]);
  *sid = bytes;
  return TRUE;
}

extern "C" PVOID FreeSid(PSID sid) {
  if (sid) HeapFree(GetProcessHeap(), 0, sid);
  return nullptr;
}

extern "C" DWORD GetLengthSid(PSID sid) {
  if (!SidIsValid(sid)) {
    SetLastError(ERROR_INVALID_SID);
    return 0;
  }
  return static_cast<DWORD>(SidLength(sid));
}

extern "C" BOOL IsValidSid(PSID sid) { return SidIsValid(sid) ? TRUE : FALSE; }

extern "C" BOOL EqualSid(PSID first, PSID second) {
  if (!SidIsValid(first) || !SidIsValid(second)) return Fail(ERROR_INVALID_SID);
  SetLastError(ERROR_SUCCESS);
  return SameSid(first, second) ? TRUE : FALSE;
}

extern "C" BOOL CopySid(DWORD destinationLength, PSID destination, PSID source) {
  if (!SidIsValid(source)) return Fail(ERROR_INVALID_SID);
  if (destinationLength < SidLength(source)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (!destination) return Fail(ERROR_INVALID_PARAMETER);
  std::memmove(destination, source, SidLength(source));
  return TRUE;
}

// --- descriptors and ACLs ---------------------------------------------------------------------

extern "C" BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
  if (!descriptor) return Fail(ERROR_INVALID_PARAMETER);
  if (revision != SECURITY_DESCRIPTOR_REVISION) return Fail(ERROR_UNKNOWN_REVISION);
  SECURITY_DESCRIPTOR sd{};
  sd.Revision = SECURITY_DESCRIPTOR_REVISION;
  std::memcpy(descriptor, &sd, sizeof sd);
  return TRUE;
}

extern "C" BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL daclPresent, PACL dacl,
                                          BOOL daclDefaulted) {
  return EditDescriptor(descriptor, [&](SECURITY_DESCRIPTOR& sd) {
    sd.Control &= ~(SE_DACL_PRESENT | SE_DACL_DEFAULTED);
    sd.Dacl = daclPresent ? dacl : nullptr;
    if (daclPresent) sd.Control |= SE_DACL_PRESENT | (daclDefaulted ? SE_DACL_DEFAULTED : 0);
  });
}

extern "C" BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID owner, BOOL ownerDefaulted) {
  return EditDescriptor(descriptor, [&](SECURITY_DESCRIPTOR& sd) {
    sd.Owner = owner;
    sd.Control = (sd.Control & ~SE_OWNER_DEFAULTED) | (ownerDefaulted ? SE_OWNER_DEFAULTED : 0);
  });
}

extern "C" BOOL SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR descriptor, PSID group, BOOL groupDefaulted) {
  return EditDescriptor(descriptor, [&](SECURITY_DESCRIPTOR& sd) {
    sd.Group = group;
    sd.Control = (sd.Control & ~SE_GROUP_DEFAULTED) | (groupDefaulted ? SE_GROUP_DEFAULTED : 0);
  });
}

extern "C" BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor) {
  if (DescriptorIsValid(descriptor)) return TRUE;
  return Fail(ERROR_INVALID_SECURITY_DESCR);
}

extern "C" BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID* owner, LPBOOL ownerDefaulted) {
  const std::optional<SECURITY_DESCRIPTOR> sd = DescriptorParts(descriptor);
  if (!sd) return Fail(ERROR_UNKNOWN_REVISION);
  if (!owner || !ownerDefaulted) return Fail(ERROR_INVALID_PARAMETER);
  *owner = sd->Owner;
  *ownerDefaulted = (sd->Control & SE_OWNER_DEFAULTED) ? TRUE : FALSE;
  return TRUE;
}

extern "C" BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, LPBOOL daclPresent, PACL* dacl,
                                          LPBOOL daclDefaulted) {
  const std::optional<SECURITY_DESCRIPTOR> sd = DescriptorParts(descriptor);
  if (!sd) return Fail(ERROR_UNKNOWN_REVISION);
  if (!daclPresent || !dacl || !daclDefaulted) return Fail(ERROR_INVALID_PARAMETER);
  *daclPresent = (sd->Control & SE_DACL_PRESENT) ? TRUE : FALSE;
  if (*daclPresent) {
    *dacl = sd->Dacl;
    *daclDefaulted = (sd->Control & SE_DACL_DEFAULTED) ? TRUE : FALSE;
  }
  return TRUE;
}

extern "C" BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision) {
  if (!acl || !IsKnownRevision(revision)) return Fail(ERROR_INVALID_PARAMETER);
  if (length < sizeof(ACL)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (length > 0xFFFF) return Fail(ERROR_INVALID_PARAMETER);
  auto* bytes = reinterpret_cast<BYTE*>(acl);
  std::memset(bytes, 0, sizeof(ACL));
  bytes[0] = static_cast<BYTE>(revision);
  Store16(bytes + 2, static_cast<WORD>(length & ~3u));
  return TRUE;
}

extern "C" BOOL IsValidAcl(PACL acl) {
  if (AclIsValid(acl)) return TRUE;
  return Fail(ERROR_INVALID_ACL);
}

extern "C" BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD accessMask, PSID sid) {
  return AddAce(acl, revision, ACCESS_ALLOWED_ACE_TYPE, 0, accessMask, sid);
}

extern "C" BOOL AddAccessDeniedAce(PACL acl, DWORD revision, DWORD accessMask, PSID sid) {
  return AddAce(acl, revision, ACCESS_DENIED_ACE_TYPE, 0, accessMask, sid);
}

extern "C" BOOL AddAccessAllowedAceEx(PACL acl, DWORD revision, DWORD aceFlags, DWORD accessMask, PSID sid) {
  if (aceFlags & ~DWORD{VALID_INHERIT_FLAGS}) return Fail(ERROR_INVALID_FLAGS);
  return AddAce(acl, revision, ACCESS_ALLOWED_ACE_TYPE, static_cast<BYTE>(aceFlags), accessMask, sid);
}

extern "C" BOOL GetAce(PACL acl, DWORD index, LPVOID* ace) {
  if (!ace) return Fail(ERROR_INVALID_PARAMETER);
  auto* bytes = reinterpret_cast<BYTE*>(acl);
  std::optional<size_t> found;
  size_t i = 0;
  if (!WalkAces(bytes, [&](size_t offset) {
        if (i++ == index) found = offset;
      }))
    return Fail(ERROR_INVALID_ACL);
  if (!found) return Fail(ERROR_INVALID_PARAMETER);
  *ace = bytes + *found;
  return TRUE;
}

extern "C" void MapGenericMask(PDWORD accessMask, PGENERIC_MAPPING mapping) {
  if (!accessMask || !mapping) return;
  DWORD mask = *accessMask;
  if (mask & kGenericRead) mask |= mapping->GenericRead;
  if (mask & kGenericWrite) mask |= mapping->GenericWrite;
  if (mask & kGenericExecute) mask |= mapping->GenericExecute;
  if (mask & kGenericAll) mask |= mapping->GenericAll;
  *accessMask = mask & ~kGenericBits;
}

extern "C" BOOL AccessCheck(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD desiredAccess,
                            PGENERIC_MAPPING mapping, PPRIVILEGE_SET privilegeSet, LPDWORD privilegeSetLength,
                            LPDWORD grantedAccess, LPBOOL accessStatus) {
  if (!descriptor || !mapping || !privilegeSetLength || !grantedAccess || !accessStatus)
    return Fail(ERROR_INVALID_PARAMETER);
  const auto handle = TokenFor(token, TOKEN_QUERY);
  if (!handle) return FALSE;
  const TokenState& state = *handle->state;
  if (state.type != TokenImpersonation) return Fail(ERROR_NO_IMPERSONATION_TOKEN);
  if (state.level < SecurityIdentification) return Fail(ERROR_BAD_IMPERSONATION_LEVEL);
  if (desiredAccess & kGenericBits) return Fail(ERROR_GENERIC_NOT_MAPPED);
  if (!DescriptorIsValid(descriptor)) return Fail(ERROR_INVALID_SECURITY_DESCR);
  const SECURITY_DESCRIPTOR sd = LoadDescriptor(descriptor);
  if (!sd.Owner || !sd.Group) return Fail(ERROR_INVALID_SECURITY_DESCR);
  if (*privilegeSetLength < sizeof(PRIVILEGE_SET)) {
    *privilegeSetLength = sizeof(PRIVILEGE_SET);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  if (!privilegeSet) return Fail(ERROR_INVALID_PARAMETER);
  privilegeSet->PrivilegeCount = 0;
  privilegeSet->Control = 0;

  const bool maximum = desiredAccess & MAXIMUM_ALLOWED;
  const ACCESS_MASK wanted = desiredAccess & ~MAXIMUM_ALLOWED;
  ACCESS_MASK granted = 0;
  ACCESS_MASK denied = 0;
  const bool hasDacl = (sd.Control & SE_DACL_PRESENT) && sd.Dacl;
  if (!hasDacl) {
    // No DACL lets everyone do anything but what needs a privilege.
    granted = wanted | (maximum ? mapping->GenericAll | STANDARD_RIGHTS_REQUIRED : 0);
  } else {
    const auto* acl = reinterpret_cast<const BYTE*>(sd.Dacl);
    WalkAces(acl, [&](size_t offset) {
      const BYTE type = acl[offset];
      if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_DENIED_ACE_TYPE) return;
      if (!state.Holds(acl + offset + kAceHeader)) return;
      DWORD mask = Load32(acl + offset + 4);
      MapGenericMask(&mask, mapping);
      if (type == ACCESS_ALLOWED_ACE_TYPE)
        granted |= mask & ~denied;
      else
        denied |= mask & ~granted;
    });
  }
  granted &= ~ACCESS_SYSTEM_SECURITY;  // needs a privilege, which this machine's user never holds
  const bool allowed = (wanted & ~granted) == 0 && (maximum ? granted != 0 : wanted != 0);
  *grantedAccess = allowed ? (maximum ? granted | wanted : wanted) : 0;
  *accessStatus = allowed ? TRUE : FALSE;
  if (!allowed) SetLastError(ERROR_ACCESS_DENIED);
  return TRUE;
}
