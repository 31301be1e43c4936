#include "core/modules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/path_map.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {
namespace fs = std::filesystem;

using AnswerProc = int (*)();

class ModulesTest : public ::testing::Test {
 protected:
  ~ModulesTest() override { SetCurrentDirectoryPath(u"C:\\Windows\\System32"); }

  // Places the counting module (tests/platform/core/modules) on drive C as `relative`.
  void Install(const std::string& relative) {
    const fs::path target = root_.OnDriveC(relative);
    fs::create_directories(target.parent_path());
    fs::copy_file(test::ModuleDir() / "test_counting_module.so", target, fs::copy_options::overwrite_existing);
  }
  std::string Log() const { return test::ReadHostFile(root_.path() / "dllmain.log"); }
  static std::u16string FileName(HMODULE module) {
    WCHAR buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
    return std::u16string(buffer, length);
  }

  test::TempMachineRoot root_;
};

TEST_F(ModulesTest, AttachRunsOnceForTwoLoadsAndDetachAtTheLastFree) {
  Install("Drivers/Counter.dll");
  const HMODULE first = LoadLibraryW(u"C:\\Drivers\\Counter.dll");
  ASSERT_NE(first, nullptr) << GetLastError();
  EXPECT_EQ(LoadLibraryW(u"c:\\DRIVERS\\counter.DLL"), first);  // one module per file, whatever the case
  const std::string attach = "attach C:\\Drivers\\Counter.dll\n";
  EXPECT_EQ(Log(), attach);

  const FARPROC proc = GetProcAddress(first, "ModuleAnswer");
  const auto answer = reinterpret_cast<AnswerProc>(reinterpret_cast<void (*)()>(proc));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(Log(), attach);
  EXPECT_EQ(GetModuleHandleW(u"COUNTER"), first);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(Log(), attach + "detach\n");

  // The handle is dead for good: a new load gets a new one.
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(GetModuleHandleW(u"counter.dll"), nullptr);
  const HMODULE again = LoadLibraryW(u"C:\\Drivers\\Counter.dll");
  EXPECT_NE(again, first);
  EXPECT_EQ(Log(), attach + "detach\n" + attach);
  EXPECT_TRUE(FreeLibrary(again));
}

TEST_F(ModulesTest, AModuleWithoutDllMainHasItsDllEntryPointRun) {
  const fs::path target = root_.OnDriveC("Drivers/Entry.dll");
  fs::create_directories(target.parent_path());
  fs::copy_file(test::ModuleDir() / "test_entry_point_module.so", target);
  const HMODULE module = LoadLibraryW(u"C:\\Drivers\\Entry.dll");
  ASSERT_NE(module, nullptr) << GetLastError();
  EXPECT_EQ(Log(), "attach C:\\Drivers\\Entry.dll\n");
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(Log(), "attach C:\\Drivers\\Entry.dll\ndetach\n");
}

TEST_F(ModulesTest, BareNamesAreSearchedInSystem32ThenWindowsThenTheCurrentDirectory) {
  const auto loadedFrom = [](const char16_t* name) {
    const HMODULE module = LoadLibraryW(name);
    if (!module) return Utf8ToUtf16("error " + std::to_string(GetLastError()));
    const std::u16string path = FileName(module);
    FreeLibrary(module);
    return path;
  };
  Install("Work/Counter.dll");
  SetCurrentDirectoryPath(u"C:\\Work");
  EXPECT_EQ(loadedFrom(u"counter"), u"C:\\Work\\counter.dll");
  Install("Windows/Counter.dll");
  EXPECT_EQ(loadedFrom(u"counter"), u"C:\\Windows\\counter.dll");
  Install("Windows/System32/Counter.dll");
  EXPECT_EQ(loadedFrom(u"Counter.DLL"), u"C:\\Windows\\System32\\Counter.DLL");

  // ".dll" is appended only to a name without extension; a final '.' means none.
  Install("Work/plain");
  EXPECT_EQ(LoadLibraryW(u"plain"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(loadedFrom(u"plain."), u"C:\\Work\\plain");
  EXPECT_EQ(LoadLibraryExW(u"plain.", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), nullptr);

  // A bare name that is loaded already is that module, wherever it was loaded from.
  Install("Drivers/Only.dll");
  const HMODULE only = LoadLibraryW(u"C:\\Drivers\\Only.dll");
  ASSERT_NE(only, nullptr);
  EXPECT_EQ(LoadLibraryW(u"ONLY"), only);
  EXPECT_TRUE(FreeLibrary(only));
  EXPECT_TRUE(FreeLibrary(only));
  EXPECT_EQ(LoadLibraryW(u"only"), nullptr);
}

TEST_F(ModulesTest, AttachAnsweringFalseFailsTheLoadAndDetachesTheModule) {
  Install("Drivers/Counter.dll");
  test::WriteHostFile(root_.path() / "dllmain.refuse", "");
  EXPECT_EQ(LoadLibraryW(u"C:\\Drivers\\Counter.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_DLL_INIT_FAILED);
  EXPECT_EQ(Log(), "attach C:\\Drivers\\Counter.dll\ndetach\n");
  EXPECT_EQ(GetModuleHandleW(u"counter.dll"), nullptr);

  fs::remove(root_.path() / "dllmain.refuse");
  const HMODULE module = LoadLibraryW(u"C:\\Drivers\\Counter.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(Log(), "attach C:\\Drivers\\Counter.dll\ndetach\nattach C:\\Drivers\\Counter.dll\n");
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(ModulesTest, SystemNamesResolveToTheStandInAndExportItsFunctions) {
  const HMODULE kernel = LoadLibraryW(u"KERNEL32");
  ASSERT_NE(kernel, nullptr) << GetLastError();
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "GetLastError")),
            reinterpret_cast<void*>(&GetLastError));
  EXPECT_EQ(GetModuleHandleW(u"kernel32.dll"), kernel);
  EXPECT_EQ(LoadLibraryW(u"C:\\Windows\\System32\\Kernel32.dll"), kernel);
  EXPECT_EQ(FileName(kernel), u"C:\\Windows\\System32\\kernel32.dll");

  const HMODULE shell = LoadLibraryW(u"shell32.dll");
  ASSERT_NE(shell, nullptr);
  EXPECT_NE(shell, kernel);
  EXPECT_NE(GetProcAddress(shell, "LoadLibraryW"), nullptr);

  // The C library beneath the stand-in is not part of what it exports.
  EXPECT_EQ(GetProcAddress(kernel, "strlen"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  // System modules stay loaded however often they are freed.
  EXPECT_TRUE(FreeLibrary(kernel));
  EXPECT_TRUE(FreeLibrary(kernel));
  EXPECT_TRUE(FreeLibrary(kernel));
  EXPECT_NE(GetProcAddress(kernel, "GetLastError"), nullptr);
}

// The last error of a call that failed; ERROR_SUCCESS for one that did not.
DWORD ErrorOf(bool failed) { return failed ? GetLastError() : ERROR_SUCCESS; }

TEST_F(ModulesTest, FailuresNameWhatIsMissing) {
  Install("Drivers/Counter.dll");
  test::WriteHostFile(root_.OnDriveC("Drivers/Text.dll"), "MZ but no shared object");
  const HMODULE module = LoadLibraryW(u"C:\\Drivers\\Counter.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ErrorOf(!LoadLibraryW(u"C:\\Drivers\\Missing.dll")), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(ErrorOf(!LoadLibraryW(u"missing")), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(ErrorOf(!LoadLibraryW(u"C:\\Drivers\\Text.dll")), ERROR_BAD_EXE_FORMAT);
  EXPECT_EQ(ErrorOf(!LoadLibraryW(nullptr)), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ErrorOf(!LoadLibraryExW(u"C:\\Drivers\\Counter.dll", nullptr, DONT_RESOLVE_DLL_REFERENCES)),
            ERROR_NOT_SUPPORTED);
  EXPECT_EQ(ErrorOf(!GetProcAddress(module, "NoSuchExport")), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(ErrorOf(!GetProcAddress(module, reinterpret_cast<LPCSTR>(1))), ERROR_PROC_NOT_FOUND);  // ordinal
  // What the module imports from the stand-in is not its own export.
  EXPECT_EQ(ErrorOf(!GetProcAddress(module, "GetModuleFileNameW")), ERROR_PROC_NOT_FOUND);
  const auto bogus = reinterpret_cast<HMODULE>(0x1234);
  WCHAR buffer[8];
  EXPECT_EQ(ErrorOf(!GetProcAddress(bogus, "ModuleAnswer")), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(ErrorOf(GetModuleFileNameW(bogus, buffer, 8) == 0), ERROR_MOD_NOT_FOUND);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(ModulesTest, DataFileLoadsRunNoCode) {
  Install("Drivers/Counter.dll");
  test::WriteHostFile(root_.OnDriveC("Drivers/Strings.dll"), "1\tHello\n");
  const HMODULE data = LoadLibraryExW(u"C:\\Drivers\\Counter.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(data) & 3, 1u);
  EXPECT_EQ(GetProcAddress(data, "ModuleAnswer"), nullptr);
  EXPECT_EQ(FileName(data), u"C:\\Drivers\\Counter.dll");
  EXPECT_EQ(GetModuleHandleW(u"counter.dll"), nullptr);
  ModuleInfo info;
  ASSERT_TRUE(QueryModule(data, info));
  EXPECT_TRUE(info.dataOnly);
  EXPECT_EQ(info.host, fs::canonical(root_.OnDriveC("Drivers/Counter.dll")));

  // Resource files need not be shared objects.
  const HMODULE text = LoadLibraryExW(u"C:\\Drivers\\Strings.dll", nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(text) & 3, 2u);

  // Loading the code is another module; a data load of loaded code is that code module.
  const HMODULE code = LoadLibraryW(u"C:\\Drivers\\Counter.dll");
  ASSERT_NE(code, nullptr);
  EXPECT_NE(code, data);
  EXPECT_EQ(LoadLibraryExW(u"C:\\Drivers\\Counter.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE), code);
  ASSERT_TRUE(QueryModule(code, info));
  EXPECT_FALSE(info.dataOnly);
  EXPECT_TRUE(FreeLibrary(code));
  EXPECT_TRUE(FreeLibrary(code));
  EXPECT_TRUE(FreeLibrary(data));
  EXPECT_TRUE(FreeLibrary(text));
  EXPECT_EQ(Log(), "attach C:\\Drivers\\Counter.dll\ndetach\n");
}

TEST_F(ModulesTest, ModuleFileNameIsTruncatedAsWindowsTruncatesIt) {
  Install("Drivers/Counter.dll");
  const HMODULE module = LoadLibraryW(u"C:\\Drivers\\Counter.dll");  // 22 characters
  ASSERT_NE(module, nullptr);
  WCHAR buffer[32];
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetModuleFileNameW(module, buffer, 23), 22u);
  EXPECT_EQ(ErrorOf(true), ERROR_SUCCESS);
  EXPECT_EQ(GetModuleFileNameW(module, buffer, 22), 22u);
  EXPECT_EQ(ErrorOf(true), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(buffer), u"C:\\Drivers\\Counter.dl");
  EXPECT_EQ(GetModuleFileNameW(module, buffer, 5), 5u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\D");
  EXPECT_EQ(buffer[5], u'i');  // nothing written past the size given
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetModuleFileNameW(module, buffer, 0), 0u);
  EXPECT_EQ(ErrorOf(true), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(ModulesTest, TheExecutableIsTheNullModule) {
  const HMODULE exe = GetModuleHandleW(nullptr);
  ASSERT_NE(exe, nullptr);
  const fs::path host = fs::read_symlink("/proc/self/exe");
  const std::u16string expected = u"C:\\Windows\\System32\\" + Utf8ToUtf16(host.filename().string());
  EXPECT_EQ(FileName(nullptr), expected);
  EXPECT_EQ(FileName(exe), expected);
  ModuleInfo info;
  ASSERT_TRUE(QueryModule(nullptr, info));
  EXPECT_EQ(info.host, host);
  EXPECT_TRUE(FreeLibrary(exe));
  EXPECT_EQ(GetModuleHandleW(nullptr), exe);
}

TEST_F(ModulesTest, ConcurrentLoadsAttachAndDetachInTurn) {
  Install("Drivers/Counter.dll");
  std::vector<std::thread> threads;
  std::atomic<int> failures = 0;
  for (int t = 0; t < 6; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20; ++i) {
        const HMODULE module = LoadLibraryW(u"C:\\Drivers\\Counter.dll");
        if (!module || !GetProcAddress(module, "ModuleAnswer") || !FreeLibrary(module)) ++failures;
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);

  std::istringstream lines(Log());
  std::string line;
  bool attached = false;
  while (std::getline(lines, line)) {
    EXPECT_EQ(line, attached ? "detach" : "attach C:\\Drivers\\Counter.dll");
    attached = !attached;
  }
  EXPECT_FALSE(attached);
}

}  // namespace
}  // namespace velm::platform
