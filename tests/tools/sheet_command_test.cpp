// `velm sheet`: the picture of a dialog of a module or of a printer's resource library, and the
// messages that say what is missing.
#include "sheet_command.h"

#include <gtest/gtest.h>

#include "settings/context/cache.h"
#include "settings/context/process_state.h"
#include "support/temp_root.h"
#include "win32.h"

namespace velm::tools {
namespace {
namespace fs = std::filesystem;

class SheetCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = root_.OnDriveC("Drivers/UiRes.dll");
    fs::create_directories(module_.parent_path());
    fs::copy_file(test::ModuleDir() / "test_ui_resource_module.so", module_, fs::copy_options::overwrite_existing);
    options_.output = root_.path() / "sheet.png";
  }
  bool Save() {
    error_.clear();
    return SaveSheetPicture(options_, &report_, &error_);
  }
  bool Contains(const std::string& part) const { return error_.find(part) != std::string::npos; }

  test::TempMachineRoot root_;
  fs::path module_;
  SheetOptions options_;
  SheetReport report_;
  std::string error_;
};

TEST_F(SheetCommandTest, AModuleByWindowsOrHostPathGivesThePictureOfItsDialog) {
  options_.page = 110;
  options_.module = "C:\\Drivers\\UiRes.dll";
  ASSERT_TRUE(Save()) << error_;
  EXPECT_EQ(report_.width, 240 + 6);
  EXPECT_EQ(report_.height, 150 + 24);
  EXPECT_EQ(report_.module, u"C:\\Drivers\\UiRes.dll");
  const std::string png = test::ReadHostFile(options_.output);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(12, 4), "IHDR");

  fs::remove(options_.output);
  options_.module = module_;
  ASSERT_TRUE(Save()) << error_;
  EXPECT_TRUE(fs::exists(options_.output));
  EXPECT_EQ(UiLiveGdiObjects(OBJ_DC), 0u);
}

TEST_F(SheetCommandTest, APageTemplateIsShownAsTheOnePageOfAPropertySheet) {
  options_.page = 500;  // "General", a WS_CHILD template of 240 x 150
  options_.module = "C:\\Drivers\\UiRes.dll";
  const size_t fonts = UiLiveGdiObjects(OBJ_FONT);
  ASSERT_TRUE(Save()) << error_;
  EXPECT_TRUE(report_.page);
  // The page inside the sheet's tab, with the button row below it and the caption bar above.
  EXPECT_GT(report_.width, 240 + 6);
  EXPECT_GT(report_.height, 150 + 24 + 23);
  EXPECT_EQ(test::ReadHostFile(options_.output).substr(12, 4), "IHDR");
  EXPECT_TRUE(UiUnexpectedEvents().empty());
  EXPECT_EQ(UiLiveGdiObjects(OBJ_FONT), fonts);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_DC), 0u);
  EXPECT_EQ(FindWindowW(nullptr, u"Document Properties"), nullptr);

  // A top-level template stays a dialog of its own size.
  options_.page = 503;
  ASSERT_TRUE(Save()) << error_;
  EXPECT_FALSE(report_.page);
  EXPECT_EQ(report_.width, 160 + 6);
  EXPECT_EQ(report_.height, 80 + 24);
}

TEST_F(SheetCommandTest, WhatIsMissingIsNamedAndNoFileIsWritten) {
  options_.module = "C:\\Drivers\\UiRes.dll";
  options_.page = 4242;
  EXPECT_FALSE(Save());
  EXPECT_TRUE(Contains("has no dialog template 4242")) << error_;
  options_.page = 102;  // a control of a class nobody registered
  EXPECT_FALSE(Save());
  EXPECT_TRUE(Contains("window class is not registered")) << error_;
  options_.module = "C:\\Drivers\\Missing.dll";
  options_.page = 110;
  EXPECT_FALSE(Save());
  EXPECT_TRUE(Contains("cannot load C:\\Drivers\\Missing.dll")) << error_;
  options_.module = fs::temp_directory_path() / "outside-the-root.dll";
  EXPECT_FALSE(Save());
  EXPECT_TRUE(Contains("outside the machine root")) << error_;
  EXPECT_FALSE(fs::exists(options_.output));
  options_.page = 0;
  EXPECT_FALSE(Save());
}

TEST_F(SheetCommandTest, APrinterLendsItsUserInterfaceResourceLibrary) {
  std::string error;
  ASSERT_TRUE(InstallDriver({test::ModuleDir(), {}}, &error)) << error;
  ASSERT_TRUE(AddPrinter({}, &error)) << error;
  SysLibraryAttach(nullptr);
  options_.page = 4242;
  EXPECT_FALSE(Save());
  // The library was found and loaded: only the template is missing from it.
  EXPECT_TRUE(Contains("qnresus.dll has no dialog template 4242")) << error_;
  options_.printer = u"No Such Printer";
  EXPECT_FALSE(Save());
  EXPECT_TRUE(Contains("cannot open printer \"No Such Printer\"")) << error_;
  CtxFlushCache(1);
  SysLibraryDetach();
}

TEST_F(SheetCommandTest, APrintersTabPageIsDrawnInFrontOfTheSheetItsDriverShows) {
  std::string error;
  ASSERT_TRUE(InstallDriver({test::ModuleDir(), {}}, &error)) << error;
  ASSERT_TRUE(AddPrinter({}, &error)) << error;
  SysLibraryAttach(nullptr);
  for (WORD page : {WORD{1002}, WORD{1009}}) {
    SCOPED_TRACE(page);
    options_.page = page;
    fs::remove(options_.output);
    ASSERT_TRUE(Save()) << error_;
    EXPECT_TRUE(report_.page);
    EXPECT_EQ(report_.module, u"the printer's sheet");
    EXPECT_EQ(test::ReadHostFile(options_.output).substr(12, 4), "IHDR");
  }
  // A modal dialog of the printer is still drawn from its template alone.
  options_.page = 1013;
  ASSERT_TRUE(Save()) << error_;
  EXPECT_FALSE(report_.page);
  EXPECT_TRUE(UiUnexpectedEvents().empty());
  CtxFlushCache(1);
  SysLibraryDetach();
}

}  // namespace
}  // namespace velm::tools
