#include "machine_setup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

#include "core/machine_root.h"
#include "core/path_map.h"
#include "core/winerror.h"
#include "spool/winspool.h"
#include "support/temp_root.h"

namespace velm::tools {
namespace {

namespace fs = std::filesystem;

fs::path HostPath(std::u16string_view windowsPath) {
  platform::MappedPath mapped;
  DWORD error = 0;
  EXPECT_TRUE(platform::MapPath(windowsPath, mapped, error));
  return mapped.host;
}

// What a second process finds in the root: 0 when "Velm Printer" opens and its driver's data
// file lies in the driver folder beside the installed libraries.
int CheckRootFromAnotherProcess(const fs::path& root) {
  const pid_t child = ::fork();
  if (child == 0) {
    platform::SetMachineRoot(root);
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(u"Velm Printer"), &printer, nullptr)) ::_exit(1);
    std::vector<uint64_t> buffer(512);
    DWORD needed = 0;
    if (!GetPrinterDriverW(printer, nullptr, 3, reinterpret_cast<BYTE*>(buffer.data()), 4096, &needed)) ::_exit(2);
    const auto* driver = reinterpret_cast<DRIVER_INFO_3W*>(buffer.data());
    if (std::u16string(driver->pDataFile) != u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\qnvelm.dsc") ::_exit(3);
    for (const char16_t* file : {u"velmui.dll", u"velmgr.dll", u"velmexc.dll", u"qntsetst.dll", u"qnvelm.dsc"})
      if (!fs::is_regular_file(HostPath(std::u16string(platform::kDriverDirectory) + file))) ::_exit(4);
    ClosePrinter(printer);
    ::_exit(0);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(MachineSetupTest, VelmSetupOnAnEmptyFolderGivesARootWhereThePrinterOpens) {
  std::string pattern = (fs::temp_directory_path() / "velm-setup-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path root = pattern;
  const std::string command = "'" + (test::BuildDir() / "bin" / "velm").string() + "' setup '" + root.string() +
                              "' > '" + (root.string() + ".log") + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << test::ReadHostFile(root.string() + ".log");
  EXPECT_EQ(CheckRootFromAnotherProcess(root), 0);
  // Setting up again keeps the printer and its data.
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(CheckRootFromAnotherProcess(root), 0);
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::remove(root.string() + ".log", ec);
}

class InstalledDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(InstallDriver({test::ModuleDir(), {}}, &error, &report_)) << error;
  }

  // The printer's level-2 block, read through the size protocol.
  std::vector<uint64_t> Info2(const std::u16string& name) {
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, nullptr));
    DWORD needed = 0;
    GetPrinterW(h, 2, nullptr, 0, &needed);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    EXPECT_TRUE(GetPrinterW(h, 2, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed));
    ClosePrinter(h);
    return buffer;
  }

  test::TempMachineRoot root_;
  InstallReport report_;
};

TEST_F(InstalledDriverTest, PrintersOfEveryKindTheTestsNeed) {
  std::string error;
  PrinterOptions local;
  ASSERT_TRUE(AddPrinter(local, &error)) << error;
  PrinterOptions shared;
  shared.name = u"Shared";
  shared.shareName = u"VELM";
  shared.bidi = true;
  ASSERT_TRUE(AddPrinter(shared, &error)) << error;
  PrinterOptions connection;
  connection.serverName = u"\\\\PRINTSRV";
  ASSERT_TRUE(AddPrinter(connection, &error)) << error;
  EXPECT_EQ(PrinterFullName(connection), u"\\\\PRINTSRV\\Velm Printer");
  EXPECT_FALSE(AddPrinter(local, &error));
  EXPECT_NE(error.find("exists already"), std::string::npos);

  auto block = Info2(u"Velm Printer");
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(block.data());
  EXPECT_EQ(info->pServerName, nullptr);
  EXPECT_EQ(std::u16string(info->pDriverName), kDriverName);
  EXPECT_EQ(info->Attributes & (PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_ENABLE_BIDI), PRINTER_ATTRIBUTE_LOCAL);

  block = Info2(u"Shared");
  info = reinterpret_cast<PRINTER_INFO_2W*>(block.data());
  EXPECT_EQ(std::u16string(info->pShareName), u"VELM");
  EXPECT_TRUE(info->Attributes & PRINTER_ATTRIBUTE_SHARED);
  EXPECT_TRUE(info->Attributes & PRINTER_ATTRIBUTE_ENABLE_BIDI);

  block = Info2(u"\\\\PRINTSRV\\Velm Printer");
  info = reinterpret_cast<PRINTER_INFO_2W*>(block.data());
  EXPECT_EQ(std::u16string(info->pServerName), u"\\\\PRINTSRV");
  EXPECT_EQ(info->Attributes & (PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_NETWORK), PRINTER_ATTRIBUTE_NETWORK);
}

TEST_F(InstalledDriverTest, CompanionsAndDataFilesGoIntoTheDriverFolder) {
  const std::u16string companion = std::u16string(platform::kDriverDirectory) + u"qntsetst.dll";
  const std::u16string description = std::u16string(platform::kDriverDirectory) + u"qnvelm.dsc";
  EXPECT_TRUE(fs::is_regular_file(HostPath(companion)));
  // Without a data folder of its own, the install takes the shipped description.
  EXPECT_TRUE(report_.missing.empty());
  EXPECT_EQ(test::ReadHostFile(HostPath(description)),
            test::ReadHostFile(test::SourceDir() / "data" / "model" / "qnvelm.dsc"));

  const fs::path data = root_.path() / "source-data";
  test::WriteHostFile(data / "model" / "qnvelm.dsc", "model");
  test::WriteHostFile(data / "model" / "README.md", "not installed");
  test::WriteHostFile(data / "install" / "qnresus.dll", "strings");
  InstallReport report;
  std::string error;
  ASSERT_TRUE(InstallDriver({test::ModuleDir(), data}, &error, &report)) << error;
  EXPECT_TRUE(report.missing.empty());
  EXPECT_EQ(test::ReadHostFile(HostPath(description)), "model");
  EXPECT_FALSE(fs::exists(HostPath(std::u16string(platform::kDriverDirectory) + u"README.md")));
  platform::SpoolState state;
  ASSERT_EQ(platform::ReadSpoolState(state), ERROR_SUCCESS);
  ASSERT_EQ(state.drivers.size(), 1u);  // registered again, not twice
  EXPECT_EQ(state.drivers[0].dataFile, description);
  const auto& deps = state.drivers[0].dependentFiles;
  EXPECT_NE(std::find(deps.begin(), deps.end(), companion), deps.end());
  EXPECT_NE(std::find(deps.begin(), deps.end(), std::u16string(platform::kDriverDirectory) + u"qnresus.dll"), deps.end());
  EXPECT_EQ(std::find(deps.begin(), deps.end(), description), deps.end());
  // Only companions are installed, not other modules the build keeps beside them.
  for (const std::u16string& dep : deps) EXPECT_EQ(dep.find(u"test_"), std::u16string::npos);
}

TEST(MachineSetupTest, ADataFolderWithoutTheDescriptionReportsItMissing) {
  test::TempMachineRoot root;
  const fs::path data = root.path() / "no-model";
  test::WriteHostFile(data / "install" / "qnresus.dll", "strings");
  InstallReport report;
  std::string error;
  ASSERT_TRUE(InstallDriver({test::ModuleDir(), data}, &error, &report)) << error;
  EXPECT_EQ(report.missing, std::vector<std::u16string>{std::u16string(platform::kDriverDirectory) + u"qnvelm.dsc"});
}

TEST(MachineSetupTest, AMissingDriverLibraryStopsTheInstall) {
  test::TempMachineRoot root;
  std::string error;
  EXPECT_FALSE(InstallDriver({root.path() / "no-modules", {}}, &error));
  EXPECT_NE(error.find("missing driver library"), std::string::npos);
  platform::SpoolState state;
  ASSERT_EQ(platform::ReadSpoolState(state), ERROR_SUCCESS);
  EXPECT_TRUE(state.drivers.empty());
  PrinterOptions printer;
  EXPECT_FALSE(AddPrinter(printer, &error));
  EXPECT_EQ(error, "the driver is not installed");
}

}  // namespace
}  // namespace velm::tools
