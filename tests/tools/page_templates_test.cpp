// The pages' dialog templates in the English resource library: every page and dialog of the page
// table draws through the stand-in as `velm sheet` draws it, and known controls stand where their
// source places them, showing their captions.
#include <gtest/gtest.h>

#include "sheet_command.h"
#include "support/temp_root.h"
#include "ui/dialog_template.h"
#include "ui/ui_driver.h"
#include "win32.h"

namespace velm::tools {
namespace {
namespace fs = std::filesystem;

// The 47 pages and dialogs of the page table.
constexpr WORD kPages[] = {1001, 1002, 1003, 1004, 1005, 1006, 1010, 1011, 1009, 1008, 1015, 1007,
                           1012, 1013, 1014, 1016, 1017, 1018, 1019, 1020, 1021, 4004, 1029, 1022,
                           1023, 1024, 1030, 1031, 1034, 1035, 1036, 1037, 1065, 1032, 1033, 1025,
                           1026, 1027, 1028, 4005, 4006, 4001, 4002, 4003, 4007, 4008, 4015};

class PageTemplatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path library = root_.OnDriveC("Res/qnresus.dll");
    fs::create_directories(library.parent_path());
    fs::copy_file(test::ModuleDir() / "qnresus.so", library, fs::copy_options::overwrite_existing);
    module_ = LoadLibraryW(u"C:\\Res\\qnresus.dll");
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  std::optional<ui::DialogTemplate> Template(WORD id) const {
    const HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), RT_DIALOG);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module_, found)));
    if (!data) return std::nullopt;
    return ui::DecodeDialogTemplate(data, SizeofResource(module_, found));
  }

  test::TempMachineRoot root_;
  HMODULE module_ = nullptr;
};

std::pair<int, int> PngSize(const std::string& png) {
  auto be32 = [&](size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  return png.size() >= 24 && png.substr(12, 4) == "IHDR" ? std::pair{be32(16), be32(20)} : std::pair{0, 0};
}

TEST_F(PageTemplatesTest, EveryPageDrawsAtItsSize) {
  for (const WORD id : kPages) {
    SCOPED_TRACE(id);
    const auto dialog = Template(id);
    ASSERT_TRUE(dialog);
    SheetOptions options;
    options.page = id;
    options.module = "C:\\Res\\qnresus.dll";
    options.output = root_.path() / ("page_" + std::to_string(id) + ".png");
    SheetReport report;
    std::string error;
    ASSERT_TRUE(SaveSheetPicture(options, &report, &error)) << error;
    EXPECT_EQ(PngSize(test::ReadHostFile(options.output)), std::pair(report.width, report.height));
    if (dialog->style & WS_CHILD) {
      // A page inside a sheet: frame, tab row and buttons around it.
      EXPECT_TRUE(report.page);
      EXPECT_GT(report.width, dialog->width);
      EXPECT_GT(report.height, dialog->height + 24);
    } else {
      EXPECT_FALSE(report.page);
      EXPECT_EQ(report.width, dialog->width + 6);
      EXPECT_EQ(report.height, dialog->height + 24);
    }
  }
}

INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

struct KnownControl {
  WORD page;
  int control;
  const char16_t* caption;
};
constexpr KnownControl kKnownControls[] = {
    {1001, 2093, u"Save As..."},     {1002, 2042, u"Collate"},         {1002, 2048, u"Scale..."},
    {1003, 2088, u"Stamp"},          {1003, 2091, u"New Text..."},     {1004, 2098, u"Staple"},
    {1005, 2111, u"Print Type..."},  {1006, 2133, u"Use a stored quality set"},
    {1007, 2140, u"Delete"},         {1010, 2160, u"Get Device Options"}, {1017, 2227, u"Reset"},
    {1024, 2350, u"Margins"},        {1034, 2482, u"Use the address list"}, {1035, 2499, u"Add"},
    {4002, 5001, u"Save"},           {4002, 2897, u"For all users"},   {1032, 1, u"OK"},
    {1065, 2818, u"Print as raster"},
    {1015, 2194, u"Bin 1:"},         {1030, 3614, u"Front cover"},     {1024, 2117, u"Units..."},
};

TEST_F(PageTemplatesTest, KnownControlsShowTheirCaptionsWherePlaced) {
  const HWND host = CreateWindowExW(0, u"STATIC", u"host", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                                    nullptr, nullptr);
  for (const KnownControl& known : kKnownControls) {
    SCOPED_TRACE(testing::Message() << known.page << "/" << known.control);
    const auto dialog = Template(known.page);
    ASSERT_TRUE(dialog);
    const ui::DialogControl* placed = nullptr;
    for (const ui::DialogControl& control : dialog->controls)
      if (static_cast<int>(control.id) == known.control) placed = &control;
    ASSERT_NE(placed, nullptr);
    const HWND window = CreateDialogParamW(module_, MAKEINTRESOURCEW(known.page),
                                           (dialog->style & WS_CHILD) ? host : nullptr, Quiet, 0);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    ui::Ctl control(GetDlgItem(window, known.control));
    EXPECT_EQ(control.text(), known.caption);
    RECT rect{};
    GetWindowRect(control.hwnd(), &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, placed->x);
    EXPECT_EQ(rect.top, placed->y);
    EXPECT_EQ(rect.right - rect.left, placed->width);
    bool drawn = false;
    for (const UiDrawRecord& record : control.paint()) drawn = drawn || record.text.find(known.caption) != std::u16string::npos;
    EXPECT_TRUE(drawn);
    DestroyWindow(window);
  }
  DestroyWindow(host);
}

}  // namespace
}  // namespace velm::tools
