// Loading descriptions: the cache file's name, its use by a later load and another process, its
// rebuilding after each kind of damage, the version rules, descriptions that share a file name,
// processes racing to build it, a cache file that cannot be written, and the context's load.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "core/files.h"
#include "core/memory.h"
#include "settings/description/image_fixture.h"
#include "settings/context/open_steps.h"
#include "settings/description/access.h"
#include "settings/description/completeness.h"

namespace {

namespace fs = std::filesystem;
using velm::test::Bytes;
using velm::test::HostPathOf;
using velm::test::kInstalledCache;
using velm::test::kInstalledDescription;
using velm::test::ReadHostFile;
using velm::test::SameBytes;
using velm::test::WriteHostFile;

std::u16string CacheName(const std::u16string& path) {
  WCHAR buffer[MAX_PATH];
  return DescCacheFileName(path.c_str(), buffer, MAX_PATH) ? std::u16string(buffer) : u"<none>";
}

TEST(DescriptionCacheNameTest, TheExtensionOfTheFileNameBecomesBcs) {
  EXPECT_EQ(CacheName(u"X:\\d\\m.dat"), u"X:\\d\\m.BCS");
  EXPECT_EQ(CacheName(u"X:\\d\\m"), u"X:\\d\\m.BCS");
  EXPECT_EQ(CacheName(u"X:\\d.x\\m"), u"X:\\d.x\\m.BCS");  // a folder's dot is not the name's
  EXPECT_EQ(CacheName(u"X:\\d\\m.tar.gz"), u"X:\\d\\m.tar.BCS");
  WCHAR small[9];
  EXPECT_TRUE(DescCacheFileName(u"X:\\m.dat", small, 9));
  EXPECT_EQ(std::u16string(small), u"X:\\m.BCS");
  EXPECT_FALSE(DescCacheFileName(u"X:\\mm.dat", small, 9));
  EXPECT_EQ(small[0], 0);
}

// Runs `probe` in a child process and answers its exit code.
int InChild(const std::function<int()>& probe) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(probe());
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// How a process that starts afresh loads `path`.
int OriginInNewProcess(const std::u16string& path, const DriverContext* context = nullptr) {
  return InChild([&] {
    DescFreeAll();
    DescOrigin origin = DescOrigin::kNone;
    DescLoadFile(path.c_str(), context, &origin);
    return static_cast<int>(origin);
  });
}

class DescriptionCacheTest : public velm::test::DescriptionMachineTest {
 protected:
  const ModelDescription* Load(const std::u16string& path, DescOrigin expected) {
    DescOrigin origin = DescOrigin::kNone;
    const ModelDescription* d = DescLoadFile(path.c_str(), nullptr, &origin);
    EXPECT_EQ(origin, expected);
    return d;
  }
  std::string CacheBytes(const std::u16string& cache = kInstalledCache) {
    std::error_code ec;
    const fs::path host = HostPathOf(cache);
    return fs::exists(host, ec) ? ReadHostFile(host) : std::string();
  }
  // A description file of our own in the machine root.
  std::u16string WriteDescription(const std::u16string& path, const std::string& text) {
    WriteHostFile(HostPathOf(path), text);
    return path;
  }
};

TEST_F(DescriptionCacheTest, TheFirstLoadCompilesAndLaterLoadsUseTheListOrTheCacheFile) {
  const ModelDescription* compiled = Load(kInstalledDescription, DescOrigin::kCompiled);
  ASSERT_NE(compiled, nullptr);
  const std::string bytes = Bytes(compiled);
  EXPECT_TRUE(SameBytes(CacheBytes(), bytes));  // written exactly, offsets and all
  // The same file by any name of it: the list, untouched files.
  EXPECT_EQ(Load(kInstalledDescription, DescOrigin::kProcessList), compiled);
  EXPECT_EQ(Load(u"c:\\windows\\system32\\SPOOL\\drivers\\w32x86\\3\\QNVELM.DSC", DescOrigin::kProcessList), compiled);
  EXPECT_EQ(Load(u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\x\\..\\3\\qnvelm.dsc", DescOrigin::kProcessList),
            compiled);
  EXPECT_EQ(DescLoadedCount(), 1u);

  // Another process, and this one afresh, read the cache file: the same bytes.
  EXPECT_EQ(OriginInNewProcess(kInstalledDescription), static_cast<int>(DescOrigin::kCacheFile));
  DescFreeAll();
  const ModelDescription* cached = Load(kInstalledDescription, DescOrigin::kCacheFile);
  ASSERT_NE(cached, nullptr);
  EXPECT_TRUE(SameBytes(Bytes(cached), bytes));
}

// Stores the checksum a block's bytes call for, so that a damage reaches the checks behind it.
void Seal(std::string& block) {
  auto* bytes = reinterpret_cast<BYTE*>(block.data());
  DescStoreU64(bytes + kDescOffStampChecksum, DescImageChecksum(bytes, DWORD(block.size())));
}

void Patch32(std::string& block, DWORD at, DWORD value) { DescStoreU32(reinterpret_cast<BYTE*>(&block[at]), value); }

TEST_F(DescriptionCacheTest, ACacheFileWithAnyDamageIsDeletedAndRebuilt) {
  ASSERT_NE(Load(kInstalledDescription, DescOrigin::kCompiled), nullptr);
  const std::string good = CacheBytes();
  const DWORD firstNode = DescLoadU32(reinterpret_cast<const BYTE*>(good.data()) + kDescOffFirstNode);
  const struct {
    const char* name;
    std::function<void(std::string&)> damage;
  } damages[] = {
      {"cut short", [](std::string& b) { b.resize(b.size() - 4); }},
      {"cut within the header", [](std::string& b) { b.resize(4000); }},
      {"a size field that is not the file's",
       [](std::string& b) {
         b.append(4, '\0');
         Seal(b);
       }},
      {"a link beyond the end",
       [](std::string& b) {
         Patch32(b, kDescOffFirstNode, DescLinkTo(DWORD(b.size())));
         Seal(b);
       }},
      {"a link without its tag",
       [firstNode](std::string& b) {
         Patch32(b, kDescOffFirstNode, firstNode & ~1u);
         Seal(b);
       }},
      {"a list that runs back on itself",
       [firstNode](std::string& b) {
         Patch32(b, firstNode >> 4, firstNode);  // the first record's next is itself
         Seal(b);
       }},
      {"a stamp of another source file",
       [](std::string& b) {
         Patch32(b, kDescOffStampSourceTime, DescLoadU32(reinterpret_cast<BYTE*>(&b[kDescOffStampSourceTime])) - 1);
         Seal(b);
       }},
      {"another build's symbol tables",
       [](std::string& b) {
         b[kDescOffStampSymbols] ^= 1;
         Seal(b);
       }},
      {"another layout",
       [](std::string& b) {
         Patch32(b, kDescOffStampLayout, kDescLayoutVersion + 1);
         Seal(b);
       }},
      {"another version of the description",
       [](std::string& b) {
         b[kDescOffVersion + 6] = '1';  // "3.61"
         Seal(b);
       }},
      {"a byte changed anywhere", [](std::string& b) { b[b.size() - 2] ^= 0x20; }},
  };
  for (const auto& damage : damages) {
    std::string bad = good;
    damage.damage(bad);
    WriteHostFile(HostPathOf(kInstalledCache), bad);
    DescFreeAll();
    const ModelDescription* d = Load(kInstalledDescription, DescOrigin::kCompiled);
    ASSERT_NE(d, nullptr) << damage.name;
    EXPECT_TRUE(SameBytes(Bytes(d), good)) << damage.name;
    EXPECT_TRUE(SameBytes(CacheBytes(), good)) << damage.name;
  }
}

TEST_F(DescriptionCacheTest, ATouchedDescriptionIsCompiledAgain) {
  ASSERT_NE(Load(kInstalledDescription, DescOrigin::kCompiled), nullptr);
  const std::string before = CacheBytes();
  velm::test::ShiftWriteTime(kInstalledDescription, 10);  // newer than its cache file
  DescFreeAll();
  const ModelDescription* d = Load(kInstalledDescription, DescOrigin::kCompiled);
  ASSERT_NE(d, nullptr);
  EXPECT_FALSE(SameBytes(CacheBytes(), before));  // the new stamp
  EXPECT_TRUE(SameBytes(CacheBytes(), Bytes(d)));
  // An older description (a driver put back) does not pass for the newer one either.
  velm::test::ShiftWriteTime(kInstalledDescription, -20);
  DescFreeAll();
  EXPECT_NE(Load(kInstalledDescription, DescOrigin::kCompiled), nullptr);
}

TEST_F(DescriptionCacheTest, ADescriptionOfAnotherVersionIsNeverCached) {
  std::string text = velm::test::ShippedDescriptionText();
  text.replace(text.find("*FileVersion: 3.60"), 18, "*FileVersion: 3.61");
  const std::u16string path = WriteDescription(u"C:\\models\\v361\\qnvelm.dsc", text);
  const std::u16string cache = u"C:\\models\\v361\\qnvelm.BCS";
  const ModelDescription* d = Load(path, DescOrigin::kCompiled);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(std::u16string(DescImageVersion(d)), u"3.61");
  EXPECT_TRUE(CacheBytes(cache).empty());
  EXPECT_EQ(OriginInNewProcess(path), static_cast<int>(DescOrigin::kCompiled));

  // A cache file of that very description (another build wrote it) is not used, and goes.
  WriteHostFile(HostPathOf(cache), Bytes(d));
  velm::test::ShiftWriteTime(cache, 5);
  EXPECT_EQ(OriginInNewProcess(path), static_cast<int>(DescOrigin::kCompiled));
  EXPECT_TRUE(CacheBytes(cache).empty());
}

// A description that lacks what a job needs gives no image and no cache file; the check says
// what it lacks.
TEST_F(DescriptionCacheTest, ADescriptionLackingWhatAJobNeedsIsRefused) {
  const std::string shipped = velm::test::ShippedDescriptionText();
  struct Damage {
    std::string from, to;
    DWORD missing;
    const char* said;
  };
  const Damage damages[] = {
      {"*FileVersion: 3.60\n", "", kDescNeedVersion, "version"},
      {"*CommandGroup: PageEnd {\n  Type: StringType 5\n}\n", "", kDescNeedPageEnd, "PageEnd template"},
      {"*CommandGroup: JobEnd {\n  Type: StringType 6\n}\n*CommandGroup: DocReset {\n  Type: StringType 7\n}",
       "", kDescNeedJobEnd | kDescNeedDocReset, "JobEnd template, DocReset template"},
      {"*CommandString 3:", "*CommandString 33:", kDescNeedCommand, "a command its templates write"},
  };
  for (const Damage& damage : damages) {
    std::string text = shipped;
    const size_t at = text.find(damage.from);
    ASSERT_NE(at, std::string::npos) << damage.from;
    text.replace(at, damage.from.size(), damage.to);
    const std::u16string path = WriteDescription(u"C:\\models\\cut\\qnvelm.dsc", text);
    DescFreeAll();
    EXPECT_EQ(DescLoadFile(path.c_str(), nullptr), nullptr) << damage.said;
    EXPECT_TRUE(CacheBytes(u"C:\\models\\cut\\qnvelm.BCS").empty()) << damage.said;
    DWORD missing = 0;
    ASSERT_TRUE(DescCheckFile(path.c_str(), &missing));
    EXPECT_EQ(missing, damage.missing) << damage.said;
    char said[128];
    DescDescribeMissing(missing, said, sizeof said);
    EXPECT_STREQ(said, damage.said);
  }
  DWORD missing = 0;
  ASSERT_TRUE(DescCheckFile(kInstalledDescription.c_str(), &missing));
  EXPECT_EQ(missing, 0u);
  char cut[12];
  EXPECT_EQ(DescDescribeMissing(kDescNeedVersion | kDescNeedJobStart, cut, sizeof cut), 7u);  // what fits
  EXPECT_STREQ(cut, "version");
}

TEST_F(DescriptionCacheTest, DescriptionsWithTheSameFileNameInOtherFoldersStayApart) {
  std::string text = velm::test::ShippedDescriptionText();
  const std::string copies = "*NumericValue: 1 \"1 1 1 999 0 3 1 10\"";
  ASSERT_NE(text.find(copies), std::string::npos);
  std::string other = text;
  other.replace(other.find(copies), copies.size(), "*NumericValue: 1 \"1 1 1 50 0 3 1 10\"");
  // The last twelve characters of both paths are the same.
  const std::u16string a = WriteDescription(u"C:\\models\\one\\x\\qnvelm.dsc", text);
  const std::u16string b = WriteDescription(u"C:\\models\\two\\x\\qnvelm.dsc", other);
  const ModelDescription* da = Load(a, DescOrigin::kCompiled);
  const ModelDescription* db = Load(b, DescOrigin::kCompiled);
  ASSERT_NE(da, nullptr);
  ASSERT_NE(db, nullptr);
  EXPECT_NE(da, db);
  DescRange ra{}, rb{};
  ASSERT_TRUE(DescNodeRange(da, DescSlotNode(da, 12), &ra));
  ASSERT_TRUE(DescNodeRange(db, DescSlotNode(db, 12), &rb));
  EXPECT_EQ(ra.maximum, 999);
  EXPECT_EQ(rb.maximum, 50);
  EXPECT_EQ(Load(a, DescOrigin::kProcessList), da);
  EXPECT_EQ(Load(b, DescOrigin::kProcessList), db);
  EXPECT_TRUE(SameBytes(CacheBytes(u"C:\\models\\one\\x\\qnvelm.BCS"), Bytes(da)));
  EXPECT_TRUE(SameBytes(CacheBytes(u"C:\\models\\two\\x\\qnvelm.BCS"), Bytes(db)));
}

// Processes that start at the same moment, each loading the installed description (taking the
// settings mutex unless `context` says its caller holds it). Their origins.
std::vector<int> RaceProcesses(int count, const DriverContext* context) {
  int gate[2];
  EXPECT_EQ(::pipe(gate), 0);
  std::vector<pid_t> children;
  for (int c = 0; c < count; ++c) {
    const pid_t child = ::fork();
    if (child == 0) {
      char go = 0;
      if (::read(gate[0], &go, 1) != 1) ::_exit(99);
      DescFreeAll();
      DescOrigin origin = DescOrigin::kNone;
      DescLoadFile(kInstalledDescription.c_str(), context, &origin);
      ::_exit(static_cast<int>(origin));
    }
    children.push_back(child);
  }
  EXPECT_EQ(::write(gate[1], std::string(size_t(count), 'g').data(), size_t(count)), count);
  std::vector<int> origins;
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    origins.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
  ::close(gate[0]);
  ::close(gate[1]);
  return origins;
}

TEST_F(DescriptionCacheTest, ProcessesRacingToBuildTheCacheLeaveOneGoodFile) {
  constexpr int kProcesses = 6;
  const int compiled = static_cast<int>(DescOrigin::kCompiled);
  const int cached = static_cast<int>(DescOrigin::kCacheFile);
  // Under the settings mutex one process compiles and the others read what it wrote.
  std::vector<int> origins = RaceProcesses(kProcesses, nullptr);
  EXPECT_EQ(std::count(origins.begin(), origins.end(), compiled), 1);
  EXPECT_EQ(std::count(origins.begin(), origins.end(), cached), kProcesses - 1);
  const std::string written = CacheBytes();
  ASSERT_NE(Load(kInstalledDescription, DescOrigin::kCacheFile), nullptr);

  // Without the mutex every process may compile and write; the renames leave one whole file.
  DescFreeAll();
  DeleteFileW(kInstalledCache.c_str());
  DriverContext holder{};
  ContextWorkArea work{};
  work.kindFlags = kKindHoldsGlobalMutex;
  holder.work = &work;
  origins = RaceProcesses(kProcesses, &holder);
  for (int origin : origins) EXPECT_TRUE(origin == compiled || origin == cached) << origin;
  EXPECT_TRUE(SameBytes(CacheBytes(), written));
  const std::vector<std::u16string> strays = [] {
    std::vector<std::u16string> found;
    for (const auto& entry : fs::directory_iterator(HostPathOf(velm::platform::kDriverDirectory)))
      if (entry.path().extension() == ".TMP" || entry.path().extension() == ".tmp") found.push_back(u"tmp");
    return found;
  }();
  EXPECT_TRUE(strays.empty());
}

TEST_F(DescriptionCacheTest, ACacheFileThatCannotBeWrittenLeavesTheCompiledDescriptionInUse) {
  // The disk fills after 100 bytes of the temporary file.
  velm::platform::SetFileFault({velm::platform::FileFaultKind::kWrite, u".TMP", 100});
  const ModelDescription* d = Load(kInstalledDescription, DescOrigin::kCompiled);
  velm::platform::ClearFileFaults();
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(DescValidateImage(d->bytes, d->size));
  EXPECT_TRUE(CacheBytes().empty());
  for (const auto& entry : fs::directory_iterator(HostPathOf(velm::platform::kDriverDirectory)))
    EXPECT_NE(entry.path().extension(), ".TMP") << entry.path();  // the temporary file went too
  EXPECT_EQ(Load(kInstalledDescription, DescOrigin::kProcessList), d);
}

TEST_F(DescriptionCacheTest, AContextBorrowsTheProcesssDescriptionOfItsPrintersDataFile) {
  HANDLE printer = Open();
  DriverContext* a = CtxCreate(printer, 0, 0);
  DriverContext* b = CtxCreateEx(printer, 0, kKindModelDefaults, 0, 0, nullptr);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a->description, nullptr);
  EXPECT_EQ(a->description, b->description);
  EXPECT_EQ(a->description, DescLoadFile(kInstalledDescription.c_str(), nullptr));
  EXPECT_EQ(std::u16string(DescGetLangFileBase(a)), u"qnresus.dll");
  CtxDestroyEx(a, kReleaseDestroy);
  CtxDestroyEx(b, kReleaseDestroy);
  EXPECT_EQ(DescLoadedCount(), 1u);  // closing a context keeps the description

  // Without the data file no description can be had, and no context of a kind that needs one.
  DescFreeAll();
  DeleteFileW(kInstalledDescription.c_str());
  EXPECT_EQ(CtxCreate(printer, 0, 0), nullptr);
  DriverContext* names = CtxCreateEx(printer, 0, kKindNamesOnly, 0, 0, nullptr);
  EXPECT_NE(names, nullptr);
  CtxDestroyEx(names, kReleaseDestroy);
  DriverContext none{};
  EXPECT_FALSE(DescLoad(&none));  // no printer
}

TEST_F(DescriptionCacheTest, DetachFreesEveryDescription) {
  const uint64_t live = velm::platform::LiveAllocationCount();
  ASSERT_NE(Load(kInstalledDescription, DescOrigin::kCompiled), nullptr);
  ASSERT_NE(WriteDescription(u"C:\\models\\qnvelm.dsc", velm::test::ShippedDescriptionText()), u"");
  ASSERT_NE(Load(u"C:\\models\\qnvelm.dsc", DescOrigin::kCompiled), nullptr);
  EXPECT_EQ(DescLoadedCount(), 2u);
  SysLibraryDetach();
  EXPECT_EQ(DescLoadedCount(), 0u);
  EXPECT_EQ(velm::platform::LiveAllocationCount(), live);
  SysLibraryAttach(nullptr);
}

// Each allocation of a load failing in turn: the load fails or succeeds, and what it leaves is
// the description in the list and nothing else. Compiling makes thousands of allocations: the
// first ones and then every 29th are tried.
TEST_F(DescriptionCacheTest, AnAllocationFailureAnywhereInALoadLeavesNothingBehind) {
  for (const bool fromCache : {true, false}) {
    ASSERT_NE(DescLoadFile(kInstalledDescription.c_str(), nullptr), nullptr);
    const std::string good = CacheBytes();
    DescFreeAll();
    if (!fromCache) DeleteFileW(kInstalledCache.c_str());
    const uint64_t live = velm::platform::LiveAllocationCount();
    const uint64_t before = velm::platform::AllocationCount();
    ASSERT_NE(DescLoadFile(kInstalledDescription.c_str(), nullptr), nullptr);
    const uint64_t total = velm::platform::AllocationCount() - before;
    DescFreeAll();
    int failed = 0;
    for (uint64_t n = 1; n <= total; n += n < 100 ? 1 : 29) {
      if (!fromCache) DeleteFileW(kInstalledCache.c_str());
      velm::platform::SetAllocationFault(n);
      const ModelDescription* d = DescLoadFile(kInstalledDescription.c_str(), nullptr);
      velm::platform::SetAllocationFault(0);
      failed += d == nullptr;
      if (d) {
        EXPECT_TRUE(SameBytes(Bytes(d), good)) << n;
      }
      DescFreeAll();
      EXPECT_EQ(velm::platform::LiveAllocationCount(), live) << "allocation " << n;
    }
    EXPECT_GT(failed, 0) << fromCache;
  }
}

}  // namespace
