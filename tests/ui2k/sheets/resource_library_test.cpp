// The interface's resource library: the preview library's name rule and its loading on first
// use, the strings of each language's library as LoadStringW reads them, and the pages' extra
// data generated from their sources.
#include "ui2k/sheets/resource_library.h"

#include <gtest/gtest.h>

#include <memory>

#include "settings/context/process_state.h"
#include "settings/items/page_control_extras.h"
#include "support/temp_root.h"

namespace {
namespace fs = std::filesystem;

struct NameCase {
  const char16_t* driverPath;
  const char16_t* expected;  // null: refused
};
const NameCase kNames[] = {
    {u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\velmui.dll", u"C:\\Drivers\\veCmXX.dll"},
    {u"VELMUI.DLL", u"C:\\Drivers\\VECMXX.DLL"},
    {u"C:\\x\\abcd.dll", u"C:\\Drivers\\CbXX.dll"},           // exactly eight characters
    {u"C:\\x\\qnvelmui.dll", u"C:\\Drivers\\qnveCmXX.dll"},
    {u"C:\\x/abc.dll", nullptr},                             // seven characters: refused
    {u"C:\\a-very-long-folder\\ui.dll", nullptr},            // the folder does not count
};

TEST(PreviewLibraryName, ReplacesTheEighthSixthAndFifthCharacterFromTheEnd) {
  for (const NameCase& name : kNames) {
    SCOPED_TRACE(std::u16string(name.driverPath).size());
    WCHAR path[MAX_PATH] = u"garbage";
    SetLastError(0);
    const BOOL made = UiResPreviewLibraryName(u"C:\\Drivers\\", name.driverPath, path, MAX_PATH);
    if (name.expected) {
      EXPECT_TRUE(made);
      EXPECT_EQ(std::u16string(path), name.expected);
    } else {
      EXPECT_FALSE(made);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
      EXPECT_EQ(path[0], 0);
    }
  }
}

TEST(PreviewLibraryName, APathThatDoesNotFitIsRefused) {
  WCHAR path[21] = {};
  EXPECT_FALSE(UiResPreviewLibraryName(u"C:\\Drivers\\", u"velmui.dll", path, 21));  // needs 22 with the NUL
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(path[0], 0);
  WCHAR exact[22] = {};
  EXPECT_TRUE(UiResPreviewLibraryName(u"C:\\Drivers\\", u"velmui.dll", exact, 22));
  EXPECT_FALSE(UiResPreviewLibraryName(nullptr, u"velmui.dll", exact, 22));
}

class ResourceLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_.OnDriveC("Drivers"));
    Install("velmui.so", "velmui.dll");
    work_ = std::make_unique<ContextWorkArea>();
    StringCchCopyW(work_->driverDirectory, MAX_PATH, u"C:\\Drivers\\");
    context_.work = work_.get();
    // The interface library as the process knows it: its file name names the preview library.
    ownModule_ = LoadLibraryW(u"C:\\Drivers\\velmui.dll");
    ASSERT_NE(ownModule_, nullptr);
    savedModule_ = SysProcessState().module;
    SysProcessState().module = ownModule_;
  }
  void TearDown() override {
    SysProcessState().module = savedModule_;
    if (context_.secondResourceLibrary) FreeLibrary(context_.secondResourceLibrary);
    FreeLibrary(ownModule_);
  }
  void Install(const std::string& module, const std::string& as) {
    fs::copy_file(velm::test::ModuleDir() / module, root_.OnDriveC("Drivers/" + as), fs::copy_options::overwrite_existing);
  }

  velm::test::TempMachineRoot root_;
  std::unique_ptr<ContextWorkArea> work_;
  DriverContext context_{};
  HMODULE ownModule_ = nullptr;
  HINSTANCE savedModule_ = nullptr;
};

TEST_F(ResourceLibraryTest, ThePreviewLibraryIsLoadedOnFirstUseIntoTheSecondHandle) {
  EXPECT_EQ(UiResLoadPreviewLibrary(&context_), nullptr);  // not installed yet: tried again next time
  EXPECT_EQ(context_.secondResourceLibrary, nullptr);
  Install("veCmXX.so", "veCmXX.dll");
  const HMODULE preview = UiResLoadPreviewLibrary(&context_);
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(context_.secondResourceLibrary, preview);
  EXPECT_EQ(UiResLoadPreviewLibrary(&context_), preview);
  for (const WORD picture : {220, 221, 222}) {
    const HBITMAP bitmap = LoadBitmapW(preview, MAKEINTRESOURCEW(picture));
    EXPECT_NE(bitmap, nullptr) << picture;
    DeleteObject(bitmap);
  }
}

TEST_F(ResourceLibraryTest, WithoutAResourceLibraryThereIsNoInstanceAndNoCursor) {
  EXPECT_EQ(UiResInstance(nullptr), nullptr);
  EXPECT_EQ(UiResLoadCursor(nullptr, kUiResCursorHand), nullptr);
  EXPECT_EQ(UiResTemplate(1002), MAKEINTRESOURCEW(1002));
}

// Each language's library as LoadStringW reads it.
struct StringCase {
  const char16_t* library;
  UINT id;
  int capacity;
  int expectedChars;
  const char16_t* expected;
};
const StringCase kStrings[] = {
    {u"C:\\Drivers\\qnresus.dll", 372, 64, -1, nullptr},                // present: whole text
    {u"C:\\Drivers\\qnresus.dll", 119, 64, 11, u"PresetList0"},         // the saved-settings keys
    {u"C:\\Drivers\\qnresus.dll", 144, 64, 12, u"QualityList9"},
    {u"C:\\Drivers\\qnresus.dll", 119, 6, 5, u"Prese"},                 // cut to capacity - 1
    {u"C:\\Drivers\\qnresus.dll", 64999, 64, 0, u""},                   // missing: empty
    {u"C:\\Drivers\\qnresjp.dll", 13200, 64, 10, u"印刷品質 No.%d"},     // the Japanese text
    {u"C:\\Drivers\\qnresjp.dll", 119, 64, 11, u"PresetList0"},         // every id exists in Japanese too
    {u"C:\\Drivers\\qnresjp.dll", 64999, 64, 0, u""},
};

TEST_F(ResourceLibraryTest, StringsOfEachLanguageLoadWithLoadStringRules) {
  Install("qnresus.so", "qnresus.dll");
  Install("qnresjp.so", "qnresjp.dll");
  for (const StringCase& c : kStrings) {
    SCOPED_TRACE(testing::Message() << c.id << " " << c.capacity);
    const HMODULE library = LoadLibraryW(c.library);
    ASSERT_NE(library, nullptr);
    WCHAR buffer[64];
    const int chars = LoadStringW(library, c.id, buffer, c.capacity);
    if (c.expected) {
      EXPECT_EQ(chars, c.expectedChars);
      EXPECT_EQ(std::u16string(buffer), c.expected);
    } else {
      EXPECT_GT(chars, 0);
    }
    // Capacity 0: a read-only pointer to the text and its length.
    const WCHAR* text = nullptr;
    const int whole = LoadStringW(library, c.id, reinterpret_cast<LPWSTR>(&text), 0);
    EXPECT_EQ(whole > 0, text != nullptr);
    FreeLibrary(library);
  }
}

TEST(PageControlExtras, TheSourcesExtraDataReachesTheTable) {
  const PageControlExtra* mark = PageFindControlExtra(1002, 2032);  // paper size: conflict mark
  ASSERT_NE(mark, nullptr);
  ASSERT_EQ(mark->wordCount, 3u);
  EXPECT_EQ(mark->words[0], kExtraConflictMark);
  EXPECT_EQ(mark->words[2], 6195);

  const PageControlExtra* checks = PageFindControlExtra(1065, 2817);  // hidden functions: items 346..349
  ASSERT_NE(checks, nullptr);
  ASSERT_EQ(checks->wordCount, 2u + 4 * 2);
  EXPECT_EQ(checks->words[0], kExtraCheckItems);
  EXPECT_EQ(checks->words[1], 4);
  EXPECT_EQ(checks->words[2], 346);
  EXPECT_EQ(checks->words[3], 4930);  // its label
  EXPECT_EQ(checks->words[8], 349);
  EXPECT_EQ(checks->words[9], 4933);

  const PageControlExtra* lines = PageFindControlExtra(1025, 2360);  // version text: three lines
  ASSERT_NE(lines, nullptr);
  ASSERT_EQ(lines->wordCount, 2u + 3 * 3);
  EXPECT_EQ(lines->words[0], kExtraEditLines);
  EXPECT_EQ(lines->words[3], 905);  // the driver version's item
  EXPECT_EQ(lines->words[4], 0);    // no alternative item

  const PageControlExtra* slider = PageFindControlExtra(1021, 2264);
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(std::vector<WORD>(slider->words, slider->words + slider->wordCount), (std::vector<WORD>{3, 1, 10, 1}));

  const PageControlExtra* button = PageFindControlExtra(1002, 2048);  // opens the scale dialog
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->subDialog, 1018);
  EXPECT_EQ(button->words, nullptr);

  EXPECT_EQ(PageFindControlExtra(1002, 3034), nullptr);  // the gutter check box has none
  EXPECT_EQ(PageFindControlExtra(9999, 2032), nullptr);
}

}  // namespace
