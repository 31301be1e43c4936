#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/handles.h"
#include "core/machine_root.h"
#include "core/process.h"
#include "core/security.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

constexpr ACCESS_MASK kGenericRead = 0x80000000;

// The settings library's administrator test, call for call: impersonate self, the thread token
// (or the process token when there is none), a descriptor whose DACL of SID length + 16 bytes
// allows access 3 to BUILTIN\Administrators, owner and group that SID, AccessCheck for access 1.
bool AdministratorSequence() {
  ImpersonateSelf(SecurityImpersonation);
  HANDLE token = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
    if (GetLastError() != ERROR_NO_TOKEN) return false;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  }
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  BOOL status = FALSE;
  if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                               &admins)) {
    std::vector<BYTE> descriptor(SECURITY_DESCRIPTOR_MIN_LENGTH);
    const DWORD daclSize = GetLengthSid(admins) + 16;
    std::vector<BYTE> dacl(daclSize);
    GENERIC_MAPPING mapping{1, 2, 0, 3};
    PRIVILEGE_SET privileges{};
    DWORD privilegesLength = sizeof privileges;
    DWORD granted = 0;
    if (InitializeSecurityDescriptor(descriptor.data(), SECURITY_DESCRIPTOR_REVISION) &&
        InitializeAcl(reinterpret_cast<PACL>(dacl.data()), daclSize, ACL_REVISION) &&
        AddAccessAllowedAce(reinterpret_cast<PACL>(dacl.data()), ACL_REVISION, 3, admins) &&
        SetSecurityDescriptorDacl(descriptor.data(), TRUE, reinterpret_cast<PACL>(dacl.data()), FALSE) &&
        SetSecurityDescriptorOwner(descriptor.data(), admins, FALSE) &&
        SetSecurityDescriptorGroup(descriptor.data(), admins, FALSE) &&
        IsValidSecurityDescriptor(descriptor.data()) &&
        !AccessCheck(descriptor.data(), token, 1, &mapping, &privileges, &privilegesLength, &granted, &status))
      status = FALSE;
    FreeSid(admins);
  }
  CloseHandle(token);
  RevertToSelf();
  return status == TRUE;
}

// A descriptor with one ACE list, owner and group Everyone, kept alive with its parts.
struct Descriptor {
  std::vector<BYTE> sd = std::vector<BYTE>(SECURITY_DESCRIPTOR_MIN_LENGTH);
  std::vector<BYTE> acl = std::vector<BYTE>(256);
  std::vector<BYTE> everyone = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  std::vector<BYTE> system = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};  // S-1-5-18, not in the user's token

  Descriptor() {
    InitializeSecurityDescriptor(sd.data(), SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(Acl(), static_cast<DWORD>(acl.size()), ACL_REVISION);
    SetSecurityDescriptorDacl(sd.data(), TRUE, Acl(), FALSE);
    SetSecurityDescriptorOwner(sd.data(), everyone.data(), FALSE);
    SetSecurityDescriptorGroup(sd.data(), everyone.data(), FALSE);
  }
  PACL Acl() { return reinterpret_cast<PACL>(acl.data()); }
};

struct Check {
  BOOL ran = FALSE;
  BOOL status = FALSE;
  DWORD granted = 0xDEAD;
  DWORD error = 0;
};

Check RunCheck(Descriptor& d, DWORD desired) {
  ImpersonateSelf(SecurityImpersonation);
  HANDLE token = nullptr;
  OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
  RevertToSelf();
  GENERIC_MAPPING mapping{1, 2, 4, 7};
  PRIVILEGE_SET privileges{};
  DWORD length = sizeof privileges;
  Check c;
  SetLastError(0);
  c.ran = AccessCheck(d.sd.data(), token, desired, &mapping, &privileges, &length, &c.granted, &c.status);
  c.error = GetLastError();
  CloseHandle(token);
  return c;
}

TEST(SecurityTest, AdministratorSequenceAnswersTheSetting) {
  test::TempMachineRoot root;
  ASSERT_TRUE(SetMachineSetting("administrator", "1"));
  EXPECT_TRUE(AdministratorSequence());
  ASSERT_TRUE(SetMachineSetting("administrator", "0"));
  EXPECT_FALSE(AdministratorSequence());
  ASSERT_TRUE(SetMachineSetting("administrator", "1"));
  EXPECT_TRUE(AdministratorSequence());
  HANDLE token = nullptr;
  EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));  // reverted
  EXPECT_EQ(GetLastError(), ERROR_NO_TOKEN);
}

TEST(SecurityTest, ProcessTokenIsNotAnImpersonationToken) {
  test::TempMachineRoot root;
  Descriptor d;
  ASSERT_TRUE(AddAccessAllowedAce(d.Acl(), ACL_REVISION, 1, d.everyone.data()));
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  GENERIC_MAPPING mapping{1, 2, 0, 3};
  PRIVILEGE_SET privileges{};
  DWORD length = sizeof privileges, granted = 0;
  BOOL status = TRUE;
  EXPECT_FALSE(AccessCheck(d.sd.data(), token, 1, &mapping, &privileges, &length, &granted, &status));
  EXPECT_EQ(GetLastError(), ERROR_NO_IMPERSONATION_TOKEN);
  BOOL member = TRUE;
  EXPECT_FALSE(CheckTokenMembership(token, d.everyone.data(), &member));
  EXPECT_EQ(GetLastError(), ERROR_NO_IMPERSONATION_TOKEN);
  EXPECT_TRUE(CloseHandle(token));
  EXPECT_FALSE(CloseHandle(token));
}

TEST(SecurityTest, AccessCheckFollowsTheAcesInOrder) {
  test::TempMachineRoot root;
  {
    Descriptor d;  // an ACE for a SID the token does not hold grants nothing
    ASSERT_TRUE(AddAccessAllowedAce(d.Acl(), ACL_REVISION, 3, d.system.data()));
    const Check c = RunCheck(d, 1);
    EXPECT_TRUE(c.ran);
    EXPECT_FALSE(c.status);
    EXPECT_EQ(c.granted, 0u);
    EXPECT_EQ(c.error, ERROR_ACCESS_DENIED);
  }
  {
    Descriptor d;  // a deny before the allow wins; granted rights are exactly those asked for
    ASSERT_TRUE(AddAccessDeniedAce(d.Acl(), ACL_REVISION, 2, d.everyone.data()));
    ASSERT_TRUE(AddAccessAllowedAce(d.Acl(), ACL_REVISION, 7, d.everyone.data()));
    EXPECT_FALSE(RunCheck(d, 2).status);
    const Check one = RunCheck(d, 1);
    EXPECT_TRUE(one.status);
    EXPECT_EQ(one.granted, 1u);
    const Check maximum = RunCheck(d, MAXIMUM_ALLOWED);
    EXPECT_TRUE(maximum.status);
    EXPECT_EQ(maximum.granted, 5u);
  }
  {
    Descriptor d;  // an allow before the deny keeps its rights; generic ACE rights are mapped
    ASSERT_TRUE(AddAccessAllowedAce(d.Acl(), ACL_REVISION, kGenericRead, d.everyone.data()));
    ASSERT_TRUE(AddAccessDeniedAce(d.Acl(), ACL_REVISION, 1, d.everyone.data()));
    EXPECT_TRUE(RunCheck(d, 1).status);
    EXPECT_FALSE(RunCheck(d, kGenericRead).ran);
    DWORD mapped = kGenericRead;
    GENERIC_MAPPING mapping{1, 2, 4, 7};
    MapGenericMask(&mapped, &mapping);
    EXPECT_EQ(mapped, 1u);
  }
  {
    Descriptor d;  // no DACL at all lets everyone in; a descriptor without owner is refused
    ASSERT_TRUE(SetSecurityDescriptorDacl(d.sd.data(), FALSE, nullptr, FALSE));
    EXPECT_TRUE(RunCheck(d, 6).status);
    ASSERT_TRUE(SetSecurityDescriptorOwner(d.sd.data(), nullptr, FALSE));
    const Check c = RunCheck(d, 6);
    EXPECT_FALSE(c.ran);
    EXPECT_EQ(c.error, ERROR_INVALID_SECURITY_DESCR);
  }
}

TEST(SecurityTest, AclAndSidLayoutsAreWindowsBytes) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &admins));
  const BYTE expected[] = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 0x02, 0, 0};
  ASSERT_EQ(GetLengthSid(admins), sizeof expected);
  EXPECT_EQ(std::memcmp(admins, expected, sizeof expected), 0);
  BYTE copy[16] = {};
  EXPECT_FALSE(CopySid(15, copy, admins));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(CopySid(16, copy, admins));
  EXPECT_TRUE(EqualSid(copy, admins));
  copy[12] = 0x21;  // S-1-5-32-545
  EXPECT_FALSE(EqualSid(copy, admins));
  PSID tooMany = nullptr;
  EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 0, 0, 0, 0, 0, 0, 0, 0, &tooMany));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // The DACL of exactly SID length + 16 bytes holds the one ACE, a DWORD less does not.
  std::vector<BYTE> acl(32, 0xEE);
  ASSERT_TRUE(InitializeAcl(reinterpret_cast<PACL>(acl.data()), 32, ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION, 3, admins));
  const BYTE header[] = {2, 0, 32, 0, 1, 0, 0, 0, /*ACE*/ 0, 0, 24, 0, 3, 0, 0, 0};
  EXPECT_EQ(std::memcmp(acl.data(), header, sizeof header), 0);
  EXPECT_EQ(std::memcmp(acl.data() + 16, expected, sizeof expected), 0);
  ASSERT_TRUE(InitializeAcl(reinterpret_cast<PACL>(acl.data()), 31, ACL_REVISION));  // rounds down to 28
  EXPECT_FALSE(AddAccessAllowedAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION, 3, admins));
  EXPECT_EQ(GetLastError(), ERROR_ALLOTTED_SPACE_EXCEEDED);

  EXPECT_FALSE(InitializeAcl(reinterpret_cast<PACL>(acl.data()), 7, ACL_REVISION));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_FALSE(InitializeAcl(reinterpret_cast<PACL>(acl.data()), 32, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(InitializeAcl(reinterpret_cast<PACL>(acl.data()), 70000, ACL_REVISION));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  acl = {2, 0, 32, 0, 1, 0, 0, 0};  // claims an ACE it does not hold
  acl.resize(32);
  EXPECT_FALSE(AddAccessAllowedAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION, 3, admins));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ACL);
  EXPECT_EQ(FreeSid(admins), nullptr);
}

TEST(SecurityTest, TokenInformationAndMembership) {
  test::TempMachineRoot root;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &admins));
  for (const char* administrator : {"0", "1"}) {
    SCOPED_TRACE(administrator);
    ASSERT_TRUE(SetMachineSetting("administrator", administrator));
    const bool isAdmin = administrator[0] == '1';
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &token));
    DWORD needed = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> buffer(needed + 1);  // deliberately misaligned
    ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data() + 1, needed, &needed));
    TOKEN_GROUPS groups;
    std::memcpy(&groups, buffer.data() + 1, sizeof groups);
    bool found = false;
    for (DWORD i = 0; i < groups.GroupCount; ++i) {
      SID_AND_ATTRIBUTES entry;
      std::memcpy(&entry, buffer.data() + 1 + offsetof(TOKEN_GROUPS, Groups) + i * sizeof entry, sizeof entry);
      const auto* sid = static_cast<BYTE*>(entry.Sid);
      ASSERT_TRUE(sid > buffer.data() && sid + GetLengthSid(entry.Sid) <= buffer.data() + 1 + needed);
      found = found || EqualSid(entry.Sid, admins);
    }
    EXPECT_EQ(found, isAdmin);

    BOOL member = !isAdmin;
    ASSERT_TRUE(CheckTokenMembership(nullptr, admins, &member));
    EXPECT_EQ(member == TRUE, isAdmin);
    HANDLE impersonation = nullptr;
    ASSERT_TRUE(DuplicateToken(token, SecurityIdentification, &impersonation));
    ASSERT_TRUE(CheckTokenMembership(impersonation, admins, &member));
    EXPECT_EQ(member == TRUE, isAdmin);
    DWORD type = 0;
    ASSERT_TRUE(GetTokenInformation(impersonation, TokenType, &type, sizeof type, &needed));
    EXPECT_EQ(type, static_cast<DWORD>(TokenImpersonation));
    EXPECT_TRUE(CloseHandle(impersonation));
    EXPECT_TRUE(CloseHandle(token));
  }
  HANDLE queryOnly = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &queryOnly));
  HANDLE duplicate = nullptr;
  EXPECT_FALSE(DuplicateToken(queryOnly, SecurityImpersonation, &duplicate));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE noQuery = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE, &noQuery));
  DWORD needed = 0;
  EXPECT_FALSE(GetTokenInformation(noQuery, TokenUser, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(queryOnly);
  CloseHandle(noQuery);
  FreeSid(admins);
}

TEST(SecurityTest, ImpersonationBelongsToOneThread) {
  test::TempMachineRoot root;
  ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
  std::thread([] {
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(GetLastError(), ERROR_NO_TOKEN);
  }).join();
  HANDLE token = nullptr;
  EXPECT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
  CloseHandle(token);
  EXPECT_TRUE(RevertToSelf());
}

}  // namespace
}  // namespace velm::platform
