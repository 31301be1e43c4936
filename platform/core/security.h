// Tokens, SIDs, ACLs, security descriptors and the access check, with Windows' byte layouts
// so that size arithmetic written for Windows holds ("a DACL with one allow ACE is the SID's
// length + 16 bytes").
//
// The machine has one user. Its token is made from the machine root's settings whenever one
// is opened: the user's SID, Everyone, Users, Interactive and Authenticated Users, and
// BUILTIN\Administrators (S-1-5-32-544) only when the "administrator" setting is "1". A token
// is a kernel object (CloseHandle closes it); the rights a handle was opened with are checked
// as Windows checks them (TOKEN_QUERY to query or check, TOKEN_DUPLICATE to duplicate).
// A thread has a token of its own only while it impersonates (ImpersonateSelf,
// ImpersonateLoggedOnUser) until RevertToSelf. AccessCheck, like Windows, needs an
// impersonation token and a descriptor with owner and group.
//
// The generic rights (GENERIC_READ, ...) are declared with the file functions.
#pragma once

#include <cstddef>

#include "core/wintypes.h"

using PSID = void*;
using PSECURITY_DESCRIPTOR = void*;
using SECURITY_DESCRIPTOR_CONTROL = WORD;

struct SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
};
using PSID_IDENTIFIER_AUTHORITY = SID_IDENTIFIER_AUTHORITY*;
#define SECURITY_NULL_SID_AUTHORITY {{0, 0, 0, 0, 0, 0}}
#define SECURITY_WORLD_SID_AUTHORITY {{0, 0, 0, 0, 0, 1}}
#define SECURITY_NT_AUTHORITY {{0, 0, 0, 0, 0, 5}}

// The head of a SID: revision 1, sub-authority count, 6-byte big-endian authority, then the
// 32-bit sub-authorities. Its length is 8 + 4 * count.
struct SID {
  BYTE Revision;
  BYTE SubAuthorityCount;
  SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
  DWORD SubAuthority[1];
};
static_assert(sizeof(SID) == 12 && offsetof(SID, SubAuthority) == 8);

constexpr BYTE SID_REVISION = 1;
constexpr BYTE SID_MAX_SUB_AUTHORITIES = 15;
constexpr DWORD SECURITY_MAX_SID_SIZE = 68;
constexpr DWORD SECURITY_WORLD_RID = 0;
constexpr DWORD SECURITY_INTERACTIVE_RID = 4;
constexpr DWORD SECURITY_AUTHENTICATED_USER_RID = 11;
constexpr DWORD SECURITY_LOCAL_SYSTEM_RID = 18;
constexpr DWORD SECURITY_NT_NON_UNIQUE = 21;
constexpr DWORD SECURITY_BUILTIN_DOMAIN_RID = 32;
constexpr DWORD DOMAIN_ALIAS_RID_ADMINS = 544;
constexpr DWORD DOMAIN_ALIAS_RID_USERS = 545;

struct ACL {
  BYTE AclRevision;
  BYTE Sbz1;
  WORD AclSize;
  WORD AceCount;
  WORD Sbz2;
};
using PACL = ACL*;
static_assert(sizeof(ACL) == 8);
constexpr BYTE ACL_REVISION = 2;
constexpr BYTE ACL_REVISION_DS = 4;

struct ACE_HEADER {
  BYTE AceType;
  BYTE AceFlags;
  WORD AceSize;
};
constexpr BYTE ACCESS_ALLOWED_ACE_TYPE = 0;
constexpr BYTE ACCESS_DENIED_ACE_TYPE = 1;
// ACE flags.
constexpr BYTE OBJECT_INHERIT_ACE = 0x01;
constexpr BYTE CONTAINER_INHERIT_ACE = 0x02;
constexpr BYTE NO_PROPAGATE_INHERIT_ACE = 0x04;
constexpr BYTE INHERIT_ONLY_ACE = 0x08;
constexpr BYTE INHERITED_ACE = 0x10;
constexpr BYTE VALID_INHERIT_FLAGS = 0x1F;

// The SID starts at SidStart, so an ACE is 8 bytes + the SID's length.
struct ACCESS_ALLOWED_ACE {
  ACE_HEADER Header;
  ACCESS_MASK Mask;
  DWORD SidStart;
};
using ACCESS_DENIED_ACE = ACCESS_ALLOWED_ACE;
static_assert(sizeof(ACCESS_ALLOWED_ACE) == 12 && offsetof(ACCESS_ALLOWED_ACE, SidStart) == 8);

// The absolute form (pointers), 40 bytes in a 64-bit process.
struct SECURITY_DESCRIPTOR {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  PSID Owner;
  PSID Group;
  PACL Sacl;
  PACL Dacl;
};
static_assert(sizeof(SECURITY_DESCRIPTOR) == 40 && offsetof(SECURITY_DESCRIPTOR, Dacl) == 32);
constexpr DWORD SECURITY_DESCRIPTOR_MIN_LENGTH = sizeof(SECURITY_DESCRIPTOR);
constexpr DWORD SECURITY_DESCRIPTOR_REVISION = 1;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_OWNER_DEFAULTED = 0x0001;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_GROUP_DEFAULTED = 0x0002;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_DACL_PRESENT = 0x0004;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_DACL_DEFAULTED = 0x0008;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_SACL_PRESENT = 0x0010;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_SELF_RELATIVE = 0x8000;

// The self-relative form: offsets from the descriptor's start (0: none) instead of pointers.
struct SECURITY_DESCRIPTOR_RELATIVE {
  BYTE Revision;
  BYTE Sbz1;
  SECURITY_DESCRIPTOR_CONTROL Control;
  DWORD Owner;
  DWORD Group;
  DWORD Sacl;
  DWORD Dacl;
};
static_assert(sizeof(SECURITY_DESCRIPTOR_RELATIVE) == 20);

// What a descriptor passed to or asked of an object carries.
using SECURITY_INFORMATION = DWORD;
constexpr SECURITY_INFORMATION OWNER_SECURITY_INFORMATION = 0x1;
constexpr SECURITY_INFORMATION GROUP_SECURITY_INFORMATION = 0x2;
constexpr SECURITY_INFORMATION DACL_SECURITY_INFORMATION = 0x4;
constexpr SECURITY_INFORMATION SACL_SECURITY_INFORMATION = 0x8;

struct GENERIC_MAPPING {
  ACCESS_MASK GenericRead;
  ACCESS_MASK GenericWrite;
  ACCESS_MASK GenericExecute;
  ACCESS_MASK GenericAll;
};
using PGENERIC_MAPPING = GENERIC_MAPPING*;

struct LUID {
  DWORD LowPart;
  LONG HighPart;
};
struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
};
struct PRIVILEGE_SET {
  DWORD PrivilegeCount;
  DWORD Control;
  LUID_AND_ATTRIBUTES Privilege[1];
};
using PPRIVILEGE_SET = PRIVILEGE_SET*;
static_assert(sizeof(PRIVILEGE_SET) == 20);

constexpr ACCESS_MASK READ_CONTROL = 0x00020000;
constexpr ACCESS_MASK WRITE_DAC = 0x00040000;
constexpr ACCESS_MASK WRITE_OWNER = 0x00080000;
constexpr ACCESS_MASK STANDARD_RIGHTS_REQUIRED = 0x000F0000;
constexpr ACCESS_MASK ACCESS_SYSTEM_SECURITY = 0x01000000;
constexpr ACCESS_MASK MAXIMUM_ALLOWED = 0x02000000;

constexpr ACCESS_MASK TOKEN_ASSIGN_PRIMARY = 0x0001;
constexpr ACCESS_MASK TOKEN_DUPLICATE = 0x0002;
constexpr ACCESS_MASK TOKEN_IMPERSONATE = 0x0004;
constexpr ACCESS_MASK TOKEN_QUERY = 0x0008;
constexpr ACCESS_MASK TOKEN_QUERY_SOURCE = 0x0010;
constexpr ACCESS_MASK TOKEN_ADJUST_PRIVILEGES = 0x0020;
constexpr ACCESS_MASK TOKEN_ADJUST_GROUPS = 0x0040;
constexpr ACCESS_MASK TOKEN_ADJUST_DEFAULT = 0x0080;
constexpr ACCESS_MASK TOKEN_ADJUST_SESSIONID = 0x0100;
constexpr ACCESS_MASK TOKEN_ALL_ACCESS = STANDARD_RIGHTS_REQUIRED | 0x01FF;
constexpr ACCESS_MASK TOKEN_READ = READ_CONTROL | TOKEN_QUERY;

enum SECURITY_IMPERSONATION_LEVEL : int32_t {
  SecurityAnonymous = 0,
  SecurityIdentification = 1,
  SecurityImpersonation = 2,
  SecurityDelegation = 3,
};
enum TOKEN_TYPE : int32_t { TokenPrimary = 1, TokenImpersonation = 2 };
enum TOKEN_INFORMATION_CLASS : int32_t {
  TokenUser = 1,
  TokenGroups = 2,
  TokenType = 8,
  TokenImpersonationLevel = 9,
  TokenSessionId = 12,
  TokenElevation = 20,
};

struct SID_AND_ATTRIBUTES {
  PSID Sid;
  DWORD Attributes;
};
struct TOKEN_USER {
  SID_AND_ATTRIBUTES User;
};
struct TOKEN_GROUPS {
  DWORD GroupCount;
  SID_AND_ATTRIBUTES Groups[1];
};
struct TOKEN_ELEVATION {
  DWORD TokenIsElevated;
};
static_assert(sizeof(SID_AND_ATTRIBUTES) == 16 && offsetof(TOKEN_GROUPS, Groups) == 8);
constexpr DWORD SE_GROUP_MANDATORY = 0x1;
constexpr DWORD SE_GROUP_ENABLED_BY_DEFAULT = 0x2;
constexpr DWORD SE_GROUP_ENABLED = 0x4;

extern "C" {
// Tokens. `process` must be GetCurrentProcess() and `thread` GetCurrentThread() (anything else:
// ERROR_INVALID_HANDLE). OpenThreadToken fails with ERROR_NO_TOKEN unless the thread impersonates.
BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token);
BOOL OpenThreadToken(HANDLE thread, DWORD desiredAccess, BOOL openAsSelf, PHANDLE token);
// The thread impersonates a copy of the process token at `level`.
BOOL ImpersonateSelf(SECURITY_IMPERSONATION_LEVEL level);
BOOL ImpersonateLoggedOnUser(HANDLE token);
BOOL RevertToSelf(void);
// An impersonation token at `level` (the handle has TOKEN_IMPERSONATE | TOKEN_QUERY).
BOOL DuplicateToken(HANDLE existing, SECURITY_IMPERSONATION_LEVEL level, PHANDLE duplicate);
// TokenUser, TokenGroups, TokenType, TokenImpersonationLevel, TokenSessionId, TokenElevation.
// Too small a buffer: FALSE, ERROR_INSUFFICIENT_BUFFER, *returnLength = bytes needed. The SIDs
// follow the fixed part inside the caller's buffer.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info, DWORD length,
                         PDWORD returnLength);
// Whether `sid` is an enabled group (or the user) of `token`, an impersonation token; a null
// token means the thread's token, or the process's when the thread does not impersonate.
BOOL CheckTokenMembership(HANDLE token, PSID sid, BOOL* isMember);

// SIDs. AllocateAndInitializeSid takes up to 8 sub-authorities; free the SID with FreeSid.
BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE subAuthorityCount, DWORD sub0, DWORD sub1,
                              DWORD sub2, DWORD sub3, DWORD sub4, DWORD sub5, DWORD sub6, DWORD sub7, PSID* sid);
PVOID FreeSid(PSID sid);  // null
DWORD GetLengthSid(PSID sid);
BOOL IsValidSid(PSID sid);
BOOL EqualSid(PSID first, PSID second);
BOOL CopySid(DWORD destinationLength, PSID destination, PSID source);

// Security descriptors and ACLs. Descriptors are built in the absolute form only; the getters
// also read the self-relative form that GetFileSecurityW answers.
BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision);
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL daclPresent, PACL dacl, BOOL daclDefaulted);
BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID owner, BOOL ownerDefaulted);
BOOL SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR descriptor, PSID group, BOOL groupDefaulted);
BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor);
// The owner (null when none) and whether it was defaulted.
BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID* owner, LPBOOL ownerDefaulted);
// Whether a DACL is present and, when it is, the DACL (null: a null DACL) and its defaulted flag.
BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, LPBOOL daclPresent, PACL* dacl,
                               LPBOOL daclDefaulted);
// `length` is rounded down to a multiple of 4: below 8 ERROR_INSUFFICIENT_BUFFER, above 65535
// or a revision other than 2..4 ERROR_INVALID_PARAMETER.
BOOL InitializeAcl(PACL acl, DWORD length, DWORD revision);
BOOL IsValidAcl(PACL acl);
// Appends an ACE; ERROR_ALLOTTED_SPACE_EXCEEDED when the ACL has no room for it.
BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD accessMask, PSID sid);
BOOL AddAccessDeniedAce(PACL acl, DWORD revision, DWORD accessMask, PSID sid);
// With ACE flags (inheritance); flags beyond VALID_INHERIT_FLAGS: ERROR_INVALID_FLAGS.
BOOL AddAccessAllowedAceEx(PACL acl, DWORD revision, DWORD aceFlags, DWORD accessMask, PSID sid);
// The ACE at `index`; ERROR_INVALID_PARAMETER past the last one.
BOOL GetAce(PACL acl, DWORD index, LPVOID* ace);
// Replaces the generic bits of *accessMask by the rights `mapping` gives them.
void MapGenericMask(PDWORD accessMask, PGENERIC_MAPPING mapping);

// Checks `desiredAccess` (generic bits mapped first, else ERROR_GENERIC_NOT_MAPPED) against
// the descriptor's DACL for an impersonation `token`: ACEs are taken in order, an allow ACE
// grants its rights, a deny ACE refuses those not granted before it; no DACL grants all.
// Generic rights inside ACEs are mapped with `mapping`. Returns TRUE when the check could be
// made, with *accessStatus and *grantedAccess (0 when refused, last error ERROR_ACCESS_DENIED).
// *privilegeSetLength must be at least sizeof(PRIVILEGE_SET) (else ERROR_INSUFFICIENT_BUFFER
// with the length needed); no privilege is ever used.
BOOL AccessCheck(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD desiredAccess, PGENERIC_MAPPING mapping,
                 PPRIVILEGE_SET privilegeSet, LPDWORD privilegeSetLength, LPDWORD grantedAccess,
                 LPBOOL accessStatus);

// The security of files and folders, kept as records of the machine root (core/path_records.h)
// and never mapped onto host permissions. A path keeps its owner and its DACL until they are set
// again, and loses them with the path; a rename carries them along, a copy does not.
// SetFileSecurityW stores the parts that `information` names (OWNER, GROUP, DACL; SACL is not
// kept) from an absolute or self-relative descriptor; an owner that is neither the user nor a
// group of the process token is refused with ERROR_INVALID_OWNER, as Windows refuses it without
// the restore privilege.
BOOL SetFileSecurityW(LPCWSTR fileName, SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor);
// A self-relative descriptor with the parts asked for. A path never given an owner is owned by
// the machine's user; a path never given a DACL answers the inheritable entries of the nearest
// folder above it that has one (marked INHERITED_ACE), else no DACL. Too small a buffer: FALSE,
// ERROR_INSUFFICIENT_BUFFER, *lengthNeeded = the size needed.
BOOL GetFileSecurityW(LPCWSTR fileName, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR descriptor,
                      DWORD length, LPDWORD lengthNeeded);
}
