// The pages' open and save dialogs, answered by script: each kind's filter, title, dialog and
// template; the initial folder (an existing file's own, the stored one, the documents folder, the
// system folder before NT 5); the folder chain for created files; where a chosen name goes (the
// parent's control, item 875, the folder keys of "qnset.ini", the file-name buffer); the
// extension test; the settings-file hook's seam.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/machine_root.h"
#include "data/item_ids.h"
#include "settings/items/store.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/printer_data.h"
#include "settings/services/spooler_info.h"
#include "ui2k/store/settings_file_dialog.h"
#include "ui/controls.h"
#include "ui2k/entry/entry_fixture.h"
#include "ui2k/pages/file_dialogs.h"

namespace velm::test {
namespace {

UINT_PTR CALLBACK PassingHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

constexpr WORD kStampFileControl = 2341;
constexpr WORD kOverlayFileControl = 2586;

class FileDialogTest : public EntryTest {
 protected:
  void SetUp() override {
    EntryTest::SetUp();
    ui_ = UiCreateContext(printer_, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr);
    ASSERT_NE(ui_, nullptr);
    parent_ = CreateWindowExW(0, WC_DIALOG, u"Stamp", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    for (WORD id : {kStampFileControl, kOverlayFileControl})
      CreateWindowExW(0, WC_EDITW, u"", WS_CHILD, 0, 0, 100, 20, parent_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    UiSetDocumentsFolder(u"C:\\Users\\me\\Documents");
    std::filesystem::create_directories(root_.OnDriveC("_velm"));  // the shared settings folder
    // The runner alone: the settings files' checks have tests of their own.
    FdlgSetSettingsFileHook(PassingHook);
    UiClearSeamCalls();
  }
  void TearDown() override {
    FdlgSetSettingsFileHook(nullptr);
    DestroyWindow(parent_);
    UiDestroyContext(ui_);
    EntryTest::TearDown();
  }

  // Runs the dialog of `kind` answered by `answer`; the call the dialog saw.
  UiFileDialogCall Run(DWORD kind, WORD pageId, UiFileDialogAnswer answer, INT_PTR expected = IDOK) {
    ui::onFileDialog([answer](const UiFileDialogCall&, ui::Dlg&) { return answer; });
    const size_t before = ui::fileDialogs().size();
    EXPECT_EQ(FdlgRunFileDialog(ui_, kind, pageId, parent_), expected);
    EXPECT_EQ(ui::fileDialogs().size(), before + 1);
    return ui::fileDialogs().empty() ? UiFileDialogCall{} : ui::fileDialogs().back();
  }
  UiFileDialogCall Cancelled(DWORD kind, WORD pageId) {
    return Run(kind, pageId, UiFileDialogAnswer::Cancel(), IDCANCEL);
  }

  std::u16string Key(const char16_t* key) {
    WCHAR text[MAX_PATH] = {};
    GetPrivateProfileStringW(PrnGetPrinterName(ui_->driver), key, u"<none>", text, MAX_PATH,
                             PathGetSettingsIni(ui_->driver));
    return text;
  }
  void SetKey(const char16_t* key, const char16_t* value) {
    ASSERT_TRUE(WritePrivateProfileStringW(PrnGetPrinterName(ui_->driver), key, value, PathGetSettingsIni(ui_->driver)));
  }
  std::u16string Control(WORD id) {
    WCHAR text[MAX_PATH] = {};
    GetDlgItemTextW(parent_, id, text, MAX_PATH);
    return text;
  }
  std::u16string OverlayPath() {
    WCHAR text[600] = {};
    ItemTableRow* row = nullptr;
    OptGetValue(ui_->driver, kItemOvlPath, &row);
    OptGetString(ui_->driver, row, text, 600);
    return text;
  }
  void MakeFile(const std::string& relative) {
    std::filesystem::create_directories(root_.OnDriveC(relative).parent_path());
    WriteHostFile(root_.OnDriveC(relative), "BM");
  }
  static std::u16string SystemFolder() {
    WCHAR text[MAX_PATH] = {};
    GetSystemDirectoryW(text, MAX_PATH);
    return text;
  }
  static std::u16string WindowsFolder() {
    WCHAR text[MAX_PATH] = {};
    GetWindowsDirectoryW(text, MAX_PATH);
    return text;
  }

  UiContext* ui_ = nullptr;
  HWND parent_ = nullptr;
};

// ---- What each kind shows ---------------------------------------------------------------------

TEST_F(FileDialogTest, EachKindShowsItsFilterTitleDialogAndTemplate) {
  struct Row {
    DWORD kind;
    WORD page;
    const char16_t* filterName;
    const char16_t* pattern;
    const char16_t* title;
    bool save;
  } rows[] = {
      {0x100, 4001, u"Settings files (*.rst)", u"*.rst", u"Open settings file", false},
      {0x200, 4002, u"Settings files (*.rst)", u"*.rst", u"Save settings file", true},
      {0x400, 4003, u"Bitmap files (*.bmp)", u"*.bmp", u"Select a bitmap file", false},
      {0x800, 4007, u"Overlay files (*.rpo)", u"*.rpo", u"Save overlay", false},
      {0x1000, 4008, u"Overlay files (*.rpo)", u"*.rpo", u"Select an overlay", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kind);
    const UiFileDialogCall call = Cancelled(row.kind, row.page);
    ASSERT_EQ(call.filter.size(), 1u);
    EXPECT_EQ(call.filter[0].first, row.filterName);
    EXPECT_EQ(call.filter[0].second, row.pattern);
    EXPECT_EQ(call.title, row.title);
    EXPECT_EQ(call.save, row.save);
    EXPECT_EQ(call.initialFile, row.pattern);
    EXPECT_TRUE(call.hooked);
    EXPECT_EQ(call.templateId, row.page);
  }
  // The folder for created files lists every file and has no filter of its own.
  const UiFileDialogCall created = Cancelled(0x8000, 4015);
  EXPECT_TRUE(created.filter.empty());
  EXPECT_EQ(created.initialFile, u"*.*");
  EXPECT_FALSE(created.save);
  // No file dialog for any other kind.
  EXPECT_EQ(FdlgRunFileDialog(ui_, 0x4, 1023, parent_), IDCANCEL);
  EXPECT_EQ(FdlgRunFileDialog(ui_, 0x2000, 4001, parent_), IDCANCEL);
}

TEST_F(FileDialogTest, TheFilterIsItsNameAndPatternEachEndedAndOneMoreNul) {
  WCHAR filter[64];
  const DWORD length = FdlgBuildFilter(ui_, *FdlgFindKind(0x1000), filter, 64);
  const std::u16string expected(u"Overlay files (*.rpo)\0*.rpo\0\0", 29);
  ASSERT_EQ(length, expected.size());
  EXPECT_EQ(std::u16string(filter, length), expected);
  EXPECT_EQ(FdlgBuildFilter(ui_, *FdlgFindKind(0x1000), filter, 28), 0u);  // one short
  EXPECT_EQ(FdlgBuildFilter(ui_, *FdlgFindKind(0x1000), filter, 29), 29u);
  EXPECT_EQ(FdlgBuildFilter(ui_, *FdlgFindKind(0x8000), filter, 64), 0u);
}

TEST_F(FileDialogTest, WithoutTheResourceLibraryTheBuiltInDialogShowsThePatternAsItsFilter) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root_.path())) {
    if (entry.path().filename() == "qnresus.dll") std::filesystem::remove(entry.path());
  }
  const UiFileDialogCall call = Run(0x400, 4003, UiFileDialogAnswer::Choose(u"C:\\stamp.bmp"));
  EXPECT_EQ(call.templateId, 0);
  EXPECT_TRUE(call.hooked);
  EXPECT_EQ(call.title, u"");
  ASSERT_EQ(call.filter.size(), 1u);
  EXPECT_EQ(call.filter[0].first, u"*.bmp");
  EXPECT_EQ(Control(kStampFileControl), u"C:\\stamp.bmp");
}

// ---- The initial folder -----------------------------------------------------------------------

TEST_F(FileDialogTest, ABarePatternStartsInTheStoredFolderElseTheDocumentsFolder) {
  EXPECT_EQ(Cancelled(0x100, 4001).initialDir, u"C:\\Users\\me\\Documents");
  SetKey(u"OpenFilePath", u"C:\\Settings");
  EXPECT_EQ(Cancelled(0x100, 4001).initialDir, u"C:\\Settings");
  // Each kind reads its own key; the overlay save keeps none.
  EXPECT_EQ(Cancelled(0x200, 4002).initialDir, u"C:\\Users\\me\\Documents");
  SetKey(u"RporefPath", u"D:\\Overlays");
  EXPECT_EQ(Cancelled(0x1000, 4008).initialDir, u"D:\\Overlays");
  SetKey(u"OpenFilePath", u"");
  EXPECT_EQ(Cancelled(0x100, 4001).initialDir, u"C:\\Users\\me\\Documents");
}

TEST_F(FileDialogTest, BeforeNt5TheSystemFolderStandsInForTheDocumentsFolder) {
  ASSERT_TRUE(platform::SetMachineSetting("os", "nt4"));
  EXPECT_EQ(Cancelled(0x400, 4003).initialDir, SystemFolder());
  SetKey(u"RefFilePath", u"C:\\Pictures");
  EXPECT_EQ(Cancelled(0x400, 4003).initialDir, u"C:\\Pictures");
}

TEST_F(FileDialogTest, AnExistingInitialFileStartsInItsOwnFolder) {
  SetKey(u"RefFilePath", u"C:\\Pictures");
  MakeFile("Stamps/logo.bmp");
  MakeFile("root.bmp");
  struct Row {
    const char16_t* text;
    const char16_t* folder;
  } rows[] = {
      {u"C:\\Stamps\\logo.bmp", u"C:\\Stamps"},
      {u"C:\\root.bmp", u"C:\\"},                // the drive root keeps its backslash
      {u"C:\\Stamps\\missing.bmp", u"C:\\Pictures"},  // no such file: the stored folder
      {u"logo.bmp", u"C:\\Pictures"},            // no folder in the name: the stored folder
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.text, row.text + std::char_traits<char16_t>::length(row.text)));
    SetDlgItemTextW(parent_, kStampFileControl, row.text);
    const UiFileDialogCall call = Cancelled(0x400, 4003);
    EXPECT_EQ(call.initialFile, row.text);
    EXPECT_EQ(call.initialDir, row.folder);
  }
}

TEST_F(FileDialogTest, TheOverlayPathIsTheOverlaySavesInitialFile) {
  MakeFile("Overlays/form.rpo");
  ItemTableRow* row = nullptr;
  OptGetValue(ui_->driver, kItemOvlPath, &row);
  ASSERT_TRUE(OptSetString(ui_->driver, row, u"C:\\Overlays\\form.rpo"));
  const UiFileDialogCall call = Cancelled(0x800, 4007);
  EXPECT_EQ(call.initialFile, u"C:\\Overlays\\form.rpo");
  EXPECT_EQ(call.initialDir, u"C:\\Overlays");
}

TEST(FdlgFolderOf, CutsAtTheLastBackslashAndKeepsTheDriveRoot) {
  struct Row {
    const char16_t* path;
    const char16_t* folder;  // null: none
  } rows[] = {
      {u"C:\\a\\b\\c.rst", u"C:\\a\\b"}, {u"C:\\c.rst", u"C:\\"}, {u"\\\\server\\share\\x.rst", u"\\\\server\\share"},
      {u"c.rst", nullptr},                {u"", nullptr},
  };
  for (const Row& row : rows) {
    WCHAR folder[MAX_PATH] = u"garbage";
    EXPECT_EQ(FdlgFolderOf(row.path, folder, MAX_PATH), row.folder != nullptr);
    EXPECT_EQ(std::u16string(folder), row.folder ? row.folder : u"");
  }
  WCHAR small[4];
  EXPECT_TRUE(FdlgFolderOf(u"C:\\x.rst", small, 4));
  EXPECT_FALSE(FdlgFolderOf(u"C:\\ab\\x.rst", small, 4));
  EXPECT_EQ(small[0], 0);
}

// ---- The folder for created files -----------------------------------------------------------

class CreatedFilesFolderTest : public FileDialogTest {
 protected:
  // The driver's registry value; null when it is missing.
  std::optional<std::u16string> Registry() {
    WCHAR data[MAX_PATH] = {};
    DWORD size = sizeof data - sizeof(WCHAR);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QUIRN\\VelmDrv", 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    const LONG status = RegQueryValueExW(key, u"SpoolDirectory", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return {};
    return std::u16string(data);
  }
  void SetRegistry(const char16_t* text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QUIRN\\VelmDrv", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    if (text) {
      RegSetValueExW(key, u"SpoolDirectory", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((std::char_traits<char16_t>::length(text) + 1) * 2));
    } else {
      RegDeleteValueW(key, u"SpoolDirectory");
    }
    RegCloseKey(key);
  }
  // The printer data value; null when it is missing.
  std::optional<std::u16string> PrinterData() {
    WCHAR data[MAX_PATH] = {};
    if (!PrnGetData(ui_->driver->printer, u"SpoolDirectory", data, sizeof data - sizeof(WCHAR))) return {};
    return std::u16string(data);
  }
  void SetPrinterData(const char16_t* text) {
    if (!text) {
      ASSERT_TRUE(PrnDeleteData(ui_->driver->printer, u"SpoolDirectory"));
      return;
    }
    ASSERT_TRUE(PrnSetData(ui_->driver->printer, u"SpoolDirectory", REG_SZ, text,
                           static_cast<DWORD>((std::char_traits<char16_t>::length(text) + 1) * 2)));
  }
};

TEST_F(CreatedFilesFolderTest, RegistryThenPrinterDataThenTheTempFolderThenTheWindowsFolder) {
  const std::u16string windows = WindowsFolder();
  const std::u16string temp = windows + u"\\temp";
  struct Row {
    const char16_t* registry;     // null: missing
    const char16_t* printerData;  // null: missing
    bool tempExists;
    std::u16string folder;
    DWORD allUsers;
    std::optional<std::u16string> registryAfter, printerDataAfter;
  } rows[] = {
      // Nothing stored: both values are written empty.
      {nullptr, nullptr, true, temp, 0, u"", u""},
      {nullptr, nullptr, false, windows, 0, u"", u""},
      // An empty registry value gives way to the printer data.
      {u"", u"D:\\Spool\\Mine", true, u"D:\\Spool\\Mine", 0, u"", u"D:\\Spool\\Mine"},
      // The registry's folder is for all users; the printer data is not read, so not written.
      {u"E:\\Shared", nullptr, true, u"E:\\Shared", 1, u"E:\\Shared", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.folder.begin(), row.folder.end()));
    SetRegistry(row.registry);
    SetPrinterData(row.printerData);
    if (row.tempExists) {
      std::filesystem::create_directories(root_.OnDriveC("Windows/Temp"));
    } else {
      std::filesystem::remove_all(root_.OnDriveC("Windows/Temp"));
    }
    OptSetValue(ui_->driver, kItemSpoolDirAllUsers, 1 - row.allUsers);
    WCHAR folder[MAX_PATH] = {};
    EXPECT_TRUE(FdlgCreatedFilesFolder(ui_, folder, MAX_PATH));
    EXPECT_EQ(std::u16string(folder), row.folder);
    EXPECT_EQ(OptGetValue(ui_->driver, kItemSpoolDirAllUsers), row.allUsers);
    EXPECT_EQ(Registry(), row.registryAfter);
    EXPECT_EQ(PrinterData(), row.printerDataAfter);
  }
}

TEST_F(CreatedFilesFolderTest, TheDialogStartsInTheChainsFolderAndStoresNothing) {
  SetPrinterData(u"C:\\Created");
  std::filesystem::create_directories(root_.OnDriveC("Created"));
  const UiFileDialogCall call = Run(0x8000, 4015, UiFileDialogAnswer::Choose(u"C:\\Created\\a.prn"));
  EXPECT_EQ(call.initialDir, u"C:\\Created");
  EXPECT_EQ(std::u16string(ui_->state.fileName), u"C:\\Created\\a.prn");
  EXPECT_EQ(Control(kStampFileControl), u"");
  EXPECT_EQ(Control(kOverlayFileControl), u"");
  EXPECT_EQ(OverlayPath(), u"");
}

// ---- Results ----------------------------------------------------------------------------------

TEST_F(FileDialogTest, AChosenNameGoesToTheKindsPlaceAndItsFolderToTheKindsKey) {
  struct Row {
    DWORD kind;
    WORD page;
    const char16_t* chosen;
    const char16_t* key;          // null: none kept
    const char16_t* folder;
    WORD control;                 // 0: none
    bool overlayItem;
  } rows[] = {
      {0x100, 4001, u"C:\\Settings\\office.rst", u"OpenFilePath", u"C:\\Settings", 0, false},
      {0x200, 4002, u"C:\\Settings\\saved.rst", u"SaveFilePath", u"C:\\Settings", 0, false},
      {0x400, 4003, u"C:\\stamp.bmp", u"RefFilePath", u"C:\\", kStampFileControl, false},
      {0x800, 4007, u"C:\\Overlays\\letter.rpo", nullptr, nullptr, 0, true},
      {0x1000, 4008, u"C:\\Overlays\\FORM.RPO", u"RporefPath", u"C:\\Overlays", kOverlayFileControl, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kind);
    Run(row.kind, row.page, UiFileDialogAnswer::Choose(row.chosen));
    EXPECT_EQ(std::u16string(ui_->state.fileName), row.chosen);
    if (row.key) {
      EXPECT_EQ(Key(row.key), row.folder);
    }
    if (row.control) {
      EXPECT_EQ(Control(row.control), row.chosen);
    }
    if (row.overlayItem) {
      EXPECT_EQ(OverlayPath(), row.chosen);
    }
  }
  // Only the overlay save touched the overlay path, and only its kinds their controls.
  EXPECT_EQ(OverlayPath(), u"C:\\Overlays\\letter.rpo");
  EXPECT_EQ(Control(kStampFileControl), u"C:\\stamp.bmp");
}

TEST_F(FileDialogTest, ACancelledDialogChangesNothing) {
  SetDlgItemTextW(parent_, kStampFileControl, u"C:\\old.bmp");
  Cancelled(0x400, 4003);
  EXPECT_EQ(Control(kStampFileControl), u"C:\\old.bmp");
  EXPECT_EQ(Key(u"RefFilePath"), u"<none>");
  EXPECT_EQ(ui_->state.fileName[0], 0);
}

// ---- The extension test -----------------------------------------------------------------------

TEST(FdlgMatchExtension, TheLastFourCharactersAgainstTheKindsPattern) {
  struct Row {
    const char16_t* name;
    DWORD kind;
    BOOL match;
  } rows[] = {
      {u"C:\\o\\form.RPO", 0x1000, TRUE}, {u"form.rpo", 0x1000, TRUE}, {u"form.rPo", 0x800, TRUE},
      {u".rpo", 0x1000, TRUE},           {u"a.rst", 0x100, TRUE},     {u"A.RST", 0x200, TRUE},
      {u"pic.Bmp", 0x400, TRUE},         {u"form.rpx", 0x1000, FALSE}, {u"form_rpo", 0x1000, FALSE},
      {u"form.rpo ", 0x1000, FALSE},     {u"form.rst", 0x1000, FALSE}, {u"rpo", 0x1000, FALSE},
      {u"po", 0x1000, FALSE},            {u"", 0x1000, FALSE},         {u"a.rpo", 0x4, FALSE},
      {u"a.bcd", 0x8000, FALSE},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FdlgMatchExtension(row.name, row.kind), row.match)
        << std::string(row.name, row.name + std::char_traits<char16_t>::length(row.name)) << " " << row.kind;
  }
  EXPECT_FALSE(FdlgMatchExtension(nullptr, 0x1000));
}

// ---- The settings-file hook ----------------------------------------------------------------------

RstFileDialog g_seen{};
int g_messages = 0;

UINT_PTR CALLBACK WatchingHook(HWND, UINT message, WPARAM, LPARAM lParam) {
  ++g_messages;
  if (message == WM_INITDIALOG)
    g_seen = *reinterpret_cast<const RstFileDialog*>(reinterpret_cast<const OPENFILENAMEW*>(lParam)->lCustData);
  return 0;
}

TEST_F(FileDialogTest, TheSettingsFileHookGetsTheContextAndKindAndExplorerStyleOnTheFileKinds) {
  FdlgSetSettingsFileHook(WatchingHook);
  g_messages = 0;
  Cancelled(0x1000, 4008);
  EXPECT_GT(g_messages, 0);
  EXPECT_EQ(g_seen.ui, ui_);
  EXPECT_EQ(g_seen.kind, 0x1000u);
  EXPECT_EQ(g_seen.pageId, 4008);
  ASSERT_FALSE(UiFileDialogCalls().empty());
  EXPECT_TRUE(UiFileDialogCalls().back().flags & OFN_EXPLORER);
  Cancelled(0x8000, 4015);
  EXPECT_FALSE(UiFileDialogCalls().back().flags & OFN_EXPLORER);
}

}  // namespace
}  // namespace velm::test
