// File security kept as records of the machine root: set, read back, inherited, carried by a
// rename, dropped with the file, and refused owners.
#include "files_fixture.h"
#include "core/machine_root.h"
#include "support/file_security.h"

namespace velm::platform {
namespace {

using test::AceView;
using test::ReadSecurity;

constexpr char kEveryone[] = "S-1-1-0";
constexpr char kAdmins[] = "S-1-5-32-544";

class FileSecurityTest : public FilesTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetMachineSetting("administrator", "1"));
    ASSERT_TRUE(CreateDirectoryW(u"C:\\top", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"C:\\top\\sub", nullptr));
    Make(u"C:\\top\\sub\\f.txt", "x");
  }

  // A descriptor with `owner` (or none) and a DACL of one allow entry for `sid` with `flags`.
  struct Descriptor {
    SECURITY_DESCRIPTOR sd{};
    alignas(DWORD) BYTE acl[64]{};
    PSID sid = nullptr;
    PSID owner = nullptr;
    Descriptor(BYTE flags, ACCESS_MASK mask, bool adminOwner) {
      SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
      SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
      EXPECT_TRUE(AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &sid));
      EXPECT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &owner));
      EXPECT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
      EXPECT_TRUE(InitializeAcl(reinterpret_cast<PACL>(acl), sizeof acl, ACL_REVISION));
      EXPECT_TRUE(AddAccessAllowedAceEx(reinterpret_cast<PACL>(acl), ACL_REVISION, flags, mask, sid));
      EXPECT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(acl), FALSE));
      if (adminOwner) {
        EXPECT_TRUE(SetSecurityDescriptorOwner(&sd, owner, FALSE));
      }
    }
    ~Descriptor() {
      FreeSid(sid);
      FreeSid(owner);
    }
  };
};

TEST_F(FileSecurityTest, APathWithoutRecordsIsTheUsersWithoutDacl) {
  const test::SecurityView view = ReadSecurity(u"C:\\top\\sub\\f.txt");
  ASSERT_TRUE(view.ok);
  EXPECT_EQ(view.owner.rfind("S-1-5-21-", 0), 0u) << view.owner;
  EXPECT_FALSE(view.daclPresent);
  DWORD needed = 0;
  EXPECT_FALSE(GetFileSecurityW(u"C:\\missing", DACL_SECURITY_INFORMATION, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileSecurityTest, OwnerAndDaclReadBackAndChildrenInheritByKind) {
  Descriptor d(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, 0x1F01FF, true);
  ASSERT_TRUE(SetFileSecurityW(u"C:\\top", OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &d.sd));
  const test::SecurityView top = ReadSecurity(u"C:\\TOP");
  EXPECT_EQ(top.owner, kAdmins);
  ASSERT_TRUE(top.daclPresent);
  EXPECT_EQ(top.aces, (std::vector<AceView>{{0, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, 0x1F01FF, kEveryone}}));
  // A subfolder keeps passing the entry down; a file takes it alone; neither gets the owner.
  const test::SecurityView sub = ReadSecurity(u"C:\\top\\sub");
  EXPECT_NE(sub.owner, kAdmins);
  EXPECT_EQ(sub.aces, (std::vector<AceView>{
                          {0, INHERITED_ACE | OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, 0x1F01FF, kEveryone}}));
  EXPECT_EQ(ReadSecurity(u"C:\\top\\sub\\f.txt").aces,
            (std::vector<AceView>{{0, INHERITED_ACE, 0x1F01FF, kEveryone}}));
}

TEST_F(FileSecurityTest, EntriesReachOnlyTheirKindAndNoPropagateStopsAtChildren) {
  Descriptor files(OBJECT_INHERIT_ACE | NO_PROPAGATE_INHERIT_ACE, 0x120089, false);
  ASSERT_TRUE(SetFileSecurityW(u"C:\\top", DACL_SECURITY_INFORMATION, &files.sd));
  EXPECT_TRUE(ReadSecurity(u"C:\\top\\sub").aces.empty());
  EXPECT_TRUE(ReadSecurity(u"C:\\top\\sub\\f.txt").aces.empty());  // a grandchild
  Make(u"C:\\top\\g.txt", "x");
  EXPECT_EQ(ReadSecurity(u"C:\\top\\g.txt").aces, (std::vector<AceView>{{0, INHERITED_ACE, 0x120089, kEveryone}}));
}

TEST_F(FileSecurityTest, RecordsMoveWithARenameAndGoWithTheFile) {
  Descriptor d(0, 0x1F01FF, true);
  ASSERT_TRUE(SetFileSecurityW(u"C:\\top\\sub\\f.txt", OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &d.sd));
  ASSERT_TRUE(MoveFileW(u"C:\\top\\sub\\f.txt", u"C:\\top\\moved.txt"));
  EXPECT_EQ(ReadSecurity(u"C:\\top\\moved.txt").owner, kAdmins);
  ASSERT_TRUE(DeleteFileW(u"C:\\top\\moved.txt"));
  Make(u"C:\\top\\moved.txt", "new");
  const test::SecurityView fresh = ReadSecurity(u"C:\\top\\moved.txt");
  EXPECT_NE(fresh.owner, kAdmins);
  EXPECT_FALSE(fresh.daclPresent);
}

TEST_F(FileSecurityTest, AnOwnerOutsideTheTokenIsRefusedAndNothingChanges) {
  ASSERT_TRUE(SetMachineSetting("administrator", "0"));
  Descriptor d(0, 0x1F01FF, true);
  EXPECT_FALSE(SetFileSecurityW(u"C:\\top", OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &d.sd));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_OWNER);
  EXPECT_FALSE(ReadSecurity(u"C:\\top").daclPresent);
  EXPECT_TRUE(SetFileSecurityW(u"C:\\top", DACL_SECURITY_INFORMATION, &d.sd));
  EXPECT_TRUE(ReadSecurity(u"C:\\top").daclPresent);
}

TEST_F(FileSecurityTest, TooSmallABufferAnswersTheSizeNeeded) {
  DWORD needed = 0;
  BYTE small[8];
  EXPECT_FALSE(GetFileSecurityW(u"C:\\top", OWNER_SECURITY_INFORMATION, small, sizeof small, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_GT(needed, sizeof(SECURITY_DESCRIPTOR_RELATIVE));
}

TEST_F(FileSecurityTest, AceFlagsBeyondInheritanceAreRefused) {
  alignas(DWORD) BYTE acl[64];
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID sid = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &sid));
  ASSERT_TRUE(InitializeAcl(reinterpret_cast<PACL>(acl), sizeof acl, ACL_REVISION));
  EXPECT_FALSE(AddAccessAllowedAceEx(reinterpret_cast<PACL>(acl), ACL_REVISION, 0x40, 1, sid));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
  FreeSid(sid);
}

}  // namespace
}  // namespace velm::platform
