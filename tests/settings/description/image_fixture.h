// Helpers of the description image and access tests: compile description text, put description
// and cache files into the machine root, and a machine with the driver and its printer.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "core/path_map.h"
#include "settings/description/description_fixture.h"
#include "machine_setup.h"
#include "settings/context/cache.h"
#include "settings/description/cache.h"
#include "settings/description/compiler.h"
#include "settings/context/process_state.h"
#include "spool/spool_store.h"
#include "support/temp_root.h"

namespace velm::test {

struct FreeImage {
  void operator()(ModelDescription* description) const { DescFreeImage(description); }
};
using Image = std::unique_ptr<ModelDescription, FreeImage>;

// Compiles description text (the parse must succeed); the remarks land in `*remarks` when given.
inline Image CompileText(std::string_view text, std::string* remarks = nullptr) {
  ParsedDescription parsed = ParseDescription(text);
  EXPECT_TRUE(parsed);
  if (!parsed) return nullptr;
  Image image(DescBuildImage(parsed.get(), DescSourceStamp{text.size(), 0}));
  if (remarks) *remarks = IssueList(*parsed);
  return image;
}

inline std::string ShippedDescriptionText() {
  return ReadHostFile(SourceDir() / "data" / "model" / "qnvelm.dsc");
}

inline std::string Bytes(const ModelDescription* d) {
  return d ? std::string(reinterpret_cast<const char*>(d->bytes), d->size) : std::string();
}

// Two blocks compared without printing them: their sizes and the first byte that differs.
inline ::testing::AssertionResult SameBytes(const std::string& a, const std::string& b) {
  if (a == b) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size() << ", first difference at "
                                       << at;
}

inline std::filesystem::path HostPathOf(std::u16string_view windowsPath) {
  platform::MappedPath mapped;
  DWORD error = 0;
  EXPECT_TRUE(platform::MapPath(windowsPath, mapped, error)) << error;
  return mapped.host;
}

// The installed description and its cache file.
inline const std::u16string kInstalledDescription =
    std::u16string(platform::kDriverDirectory) + std::u16string(tools::kModelDataFile);
inline const std::u16string kInstalledCache = std::u16string(platform::kDriverDirectory) + u"qnvelm.BCS";

// Moves the last-write time of a file by `seconds` (FILETIME counts 100 ns).
inline void ShiftWriteTime(std::u16string_view path, LONGLONG seconds) {
  HANDLE file = CreateFileW(std::u16string(path).c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME written{};
  ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &written));
  ULONGLONG value = (ULONGLONG(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  value += ULONGLONG(seconds * 10'000'000);
  written.dwLowDateTime = DWORD(value);
  written.dwHighDateTime = DWORD(value >> 32);
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
  CloseHandle(file);
}

// A machine root with the driver installed (the shipped description as its data file) and
// "Velm Printer" on it, the settings library attached.
class DescriptionMachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(tools::InstallDriver({ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(tools::AddPrinter({}, &error)) << error;
    SysLibraryAttach(nullptr);
  }
  void TearDown() override {
    SysLibraryDetach();
    for (HANDLE h : opened_) ClosePrinter(h);
  }

  HANDLE Open(const std::u16string& name = u"Velm Printer") {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, &defaults)) << GetLastError();
    opened_.push_back(h);
    return h;
  }

  TempMachineRoot root_;
  std::vector<HANDLE> opened_;
};

}  // namespace velm::test
