// The settings-file dialog hook driven through the open and save dialogs with the resource
// library's templates: read-only files, listed files, patterns, extensions, long paths, the trial
// load, and the spool folder.
#include "settings/services/registry_values.h"
#include "stored_settings_fixture.h"
#include "ui2k/sheets/resource_library.h"
#include "ui2k/store/settings_file_dialog.h"

namespace velm::test {
namespace {

constexpr int kFiles = 1120;  // lst1

// The window the hook runs in: the template's child dialog, or the spool folder's whole dialog.
HWND g_hookWindow = nullptr;
UINT_PTR CALLBACK RecordingHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) g_hookWindow = dialog;
  return RstSettingsFileHook(dialog, message, wParam, lParam);
}
constexpr WORD kTemplateOf[][2] = {{0x100, 4001}, {0x200, 4002}, {0x400, 4003}, {0x800, 4007}, {0x1000, 4008},
                                   {0x8000, 4015}};

class SettingsFileDialogTest : public StoredSettingsTest {
 protected:
  void SetUp() override {
    StoredSettingsTest::SetUp();
    Write("rst/ro.rst", Header(PrinterName()) + "Readonly=1\r\n");
    Write("rst/ro.rpo", "[" + PrinterName() + "]\r\nReadonly=1\r\n");
    Write("rst/plain.rst", Header(PrinterName()) + "dmCopies=4\r\n");
  }
  // Runs a dialog of `kind` in C:\rst (or `folder`) whose script is `script`; the dialog's answer.
  BOOL Run(DWORD kind, const char16_t*, std::function<void(ui::Dlg&)> script, const char16_t* folder = u"C:\\rst",
           bool save = true) {
    WORD templateId = 0;
    for (const auto& row : kTemplateOf)
      if (row[0] == kind) templateId = row[1];
    data_ = RstFileDialog{ui_, kind, templateId, 0};
    g_hookWindow = nullptr;
    file_[0] = 0;
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hInstance = UiResInstance(ctx());
    ofn.lpTemplateName = MAKEINTRESOURCEW(templateId);
    // The file dialogs' templates are child templates: explorer-style dialogs.
    ofn.Flags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | (kind == kRstDialogSpoolFolder ? 0 : OFN_EXPLORER);
    ofn.lpfnHook = RecordingHook;
    ofn.lCustData = reinterpret_cast<LPARAM>(&data_);
    ofn.lpstrFile = file_;
    ofn.nMaxFile = kRstPathChars;
    ofn.lpstrInitialDir = folder;
    ofn.lpstrFilter = u"Files\0*.*\0";
    ui::onFileDialog([script](const UiFileDialogCall&, ui::Dlg& dialog) {
      script(dialog);
      dialog.pump();
      return dialog.exists() ? UiFileDialogAnswer::Cancel() : UiFileDialogAnswer::Driven();
    });
    const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    error_ = CommDlgExtendedError();
    return chosen;
  }
  // Types `name` and gives `command` (OK: the dialog's button; else the hook's).
  static std::function<void(ui::Dlg&)> Do(std::u16string name, int command) {
    return [name, command](ui::Dlg& dialog) {
      dialog.ctl(kRstFileNameControl).setText(name);
      Command(dialog, command);
    };
  }
  static void Command(ui::Dlg& dialog, int command) {
    if (command == IDOK)
      dialog.command(IDOK);
    else
      ui::Dlg(g_hookWindow).command(command);
    dialog.pump();
  }
  std::vector<UINT> Ids(const std::vector<UiMessageBoxCall>& calls) const {
    std::vector<UINT> ids;
    for (const UiMessageBoxCall& call : calls) {
      UINT id = 0;
      for (UINT candidate : {kRstMsgReadonly, kRstMsgListed, kRstMsgHeaderMismatch, kRstMsgBadName, kRstMsgAddExtension,
                             kRstMsgOverwrite, kRstMsgDeleteMissing, kRstMsgDeleteAsk, kRstMsgNotBitmap,
                             kRstMsgOverlayExtension})
        if (Mentions(call, StringOf(candidate))) id = candidate;
      ids.push_back(id);
    }
    return ids;
  }

  RstFileDialog data_{};
  DWORD error_ = 0;
  WCHAR file_[kRstPathChars] = {};
};

TEST_F(SettingsFileDialogTest, AReadOnlyFileIsNeitherSavedLoadedNorDeleted) {
  for (int command : {kRstCmdSave, kRstCmdLoad, kRstCmdDelete}) {
    EXPECT_FALSE(Run(kRstDialogSettingsFiles, u"rst", Do(u"ro.rst", command))) << command;
    EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgReadonly}) << command;
    EXPECT_EQ(data_.command, 0) << command;
    EXPECT_EQ(error_, 0u);
  }
  EXPECT_FALSE(Run(kRstDialogOpen, u"rst", Do(u"ro.rst", IDOK), u"C:\\rst", false));
  EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgReadonly});
  EXPECT_TRUE(Exists("rst/ro.rst"));
  // The overlay-save kind ignores it: deleting asks, deletes, and puts the default name back.
  std::u16string after;
  EXPECT_FALSE(Run(kRstDialogOverlaySave, u"rpo", [&](ui::Dlg& dialog) {
    Do(u"ro.rpo", kRstCmdDelete)(dialog);
    after = dialog.ctl(kRstFileNameControl).text();
  }));
  EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgDeleteAsk});
  EXPECT_FALSE(Exists("rst/ro.rpo"));
  EXPECT_EQ(after, u"*.rpo");
}

TEST_F(SettingsFileDialogTest, AFileAListNamesIsNotDeleted) {
  Write("_velm/qnset.ini", "[" + PrinterName() + "]\r\nCount=1\r\nPresetList0=C:\\rst\\plain.rst\r\n");
  EXPECT_FALSE(Run(kRstDialogSettingsFiles, u"rst", Do(u"PLAIN", kRstCmdDelete)));
  EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgListed});
  EXPECT_TRUE(Exists("rst/plain.rst"));
  // An unlisted file is asked about, then left to the runner with the command.
  Write("rst/spare.rst", Header(PrinterName()));
  EXPECT_TRUE(Run(kRstDialogSettingsFiles, u"rst", Do(u"spare", kRstCmdDelete)));
  EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgDeleteAsk});
  EXPECT_EQ(data_.command, kRstCmdDelete);
  EXPECT_EQ(std::u16string(file_), u"C:\\rst\\spare.rst");
}

TEST_F(SettingsFileDialogTest, APatternListsTheFolderAndANameWithoutExtensionGetsOne) {
  std::vector<std::u16string> listed;
  std::u16string name;
  EXPECT_FALSE(Run(kRstDialogSettingsFiles, u"rst", [&](ui::Dlg& dialog) {
    Do(u"*.rst", kRstCmdLoad)(dialog);
    listed = dialog.ctl(kFiles).rows();
  }));
  EXPECT_EQ(listed, (std::vector<std::u16string>{u"plain.rst", u"ro.rst"}));
  EXPECT_TRUE(TakeMessages().empty());

  const DWORD copies = OptGetValue(ctx(), kItemCopies);
  EXPECT_TRUE(Run(kRstDialogSettingsFiles, u"rst", [&](ui::Dlg& dialog) {
    dialog.ctl(kRstFileNameControl).setText(u"plain");
    ui::Dlg(g_hookWindow).command(kRstCmdLoad);
    name = dialog.ctl(kRstFileNameControl).text();
  }));
  EXPECT_EQ(name, u"plain.rst");
  EXPECT_EQ(data_.command, kRstCmdLoad);
  EXPECT_EQ(std::u16string(file_), u"C:\\rst\\plain.rst");
  // The trial load leaves the settings as they were; the load itself is the runner's.
  EXPECT_EQ(OptGetValue(ctx(), kItemCopies), copies);
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SettingsFileDialogTest, ATrialLoadOfAnotherModelsFileKeepsTheDialogOpen) {
  Write("rst/other.rst", Header(PrinterName(), 200, 131));
  EXPECT_FALSE(Run(kRstDialogOpen, u"rst", Do(u"other.rst", IDOK), u"C:\\rst", false));
  EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgHeaderMismatch});
  // A file of this model opens, and the printer's section is written into it.
  EXPECT_TRUE(Run(kRstDialogOpen, u"rst", Do(u"plain.rst", IDOK), u"C:\\rst", false));
  EXPECT_NE(Read("rst/plain.rst").find("[" + PrinterName() + "]\r\nRstVersion=200"), std::string::npos);
}

TEST_F(SettingsFileDialogTest, APathLongerThan258CharactersIsRefused) {
  const std::u16string longName = u"C:\\rst\\" + std::u16string(252, u'a') + u".rst";  // 263
  EXPECT_FALSE(Run(kRstDialogSettingsFiles, u"rst", Do(longName, kRstCmdSave)));
  EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgBadName});
  const std::u16string fits = u"C:\\rst\\" + std::u16string(247, u'b') + u".rst";  // 258
  EXPECT_TRUE(Run(kRstDialogSettingsFiles, u"rst", Do(fits, kRstCmdSave)));
  EXPECT_EQ(data_.command, kRstCmdSave);
  // An empty name on delete is refused with the same message; on save nothing is said.
  EXPECT_FALSE(Run(kRstDialogSettingsFiles, u"rst", Do(u"", kRstCmdDelete)));
  EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgBadName});
}

TEST_F(SettingsFileDialogTest, TheSpoolFolderIsStoredForThePrinterOrForAllUsers) {
  std::filesystem::create_directories(Host("Windows/temp"));
  std::filesystem::create_directories(Host("spool"));
  auto printerValue = [&] {
    WCHAR value[MAX_PATH] = {u'x'};
    DWORD type = 0, needed = 0;
    if (GetPrinterDataW(printer_, const_cast<LPWSTR>(u"SpoolDirectory"), &type, reinterpret_cast<BYTE*>(value),
                        sizeof value, &needed) != ERROR_SUCCESS || type != REG_SZ)
      return std::u16string(u"<none>");
    return std::u16string(value);
  };
  auto registryValue = [&] {
    WCHAR value[MAX_PATH] = {};
    DWORD size = sizeof value;
    DWORD type = 0;
    return SysReadDriverRegValue(u"SpoolDirectory", &type, reinterpret_cast<BYTE*>(value), &size) && type == REG_SZ
               ? std::u16string(value)
               : std::u16string(u"<none>");
  };
  // The Windows temp folder, chosen from the folder list: stored as "", for this printer.
  EXPECT_FALSE(Run(kRstDialogSpoolFolder, nullptr, Do(u"", IDOK), u"C:\\Windows\\temp", false));
  EXPECT_EQ(printerValue(), u"");
  EXPECT_EQ(registryValue(), u"<none>");
  // Another folder, typed.
  EXPECT_FALSE(Run(kRstDialogSpoolFolder, nullptr, Do(u"C:\\spool", IDOK), u"C:\\Windows\\temp", false));
  EXPECT_EQ(printerValue(), u"C:\\spool");
  // All users: the check box sets item 904 and the registry takes the folder.
  EXPECT_FALSE(Run(kRstDialogSpoolFolder, nullptr, [](ui::Dlg& dialog) {
    ui::Dlg(g_hookWindow).ctl(kRstCmdAllUsers).check();
    Do(u"C:\\spool", IDOK)(dialog);
  }, u"C:\\Windows\\temp", false));
  EXPECT_EQ(OptGetValue(ctx(), kItemSpoolDirAllUsers), 1u);
  EXPECT_EQ(registryValue(), u"C:\\spool");
  EXPECT_EQ(printerValue(), u"C:\\spool");
  // The default-folder button: the Windows temp folder, stored as "".
  bool checked = false;
  EXPECT_FALSE(Run(kRstDialogSpoolFolder, nullptr, [&](ui::Dlg& dialog) {
    checked = ui::Dlg(g_hookWindow).ctl(kRstCmdAllUsers).selection() == BST_CHECKED;
    Command(dialog, kRstCmdDefaultFolder);
  }, u"C:\\spool", false));
  EXPECT_TRUE(checked);
  EXPECT_EQ(registryValue(), u"");
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SettingsFileDialogTest, TheBitmapAndOverlayKindsCheckTheirFiles) {
  std::string bitmap(54, '\0');
  bitmap[0] = 'B';
  bitmap[1] = 'M';
  bitmap[14] = 40;
  Write("rst/pic.bmp", bitmap);
  Write("rst/fake.bmp", "not a bitmap at all, not at all");
  EXPECT_TRUE(Run(kRstDialogBitmap, u"bmp", Do(u"pic", IDOK), u"C:\\rst", false));
  EXPECT_FALSE(Run(kRstDialogBitmap, u"bmp", Do(u"fake", IDOK), u"C:\\rst", false));
  EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgNotBitmap});
  // An overlay to choose must exist.
  EXPECT_FALSE(Run(kRstDialogOverlay, u"rpo", Do(u"none", IDOK), u"C:\\rst", false));
  EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgBadName});
  // An overlay saved over an existing one is asked about.
  Write("rst/old.rpo", "x");
  EXPECT_TRUE(Run(kRstDialogOverlaySave, u"rpo", Do(u"old", IDOK)));
  EXPECT_EQ(Ids(TakeMessages()), std::vector<UINT>{kRstMsgOverwrite});
}

}  // namespace
}  // namespace velm::test
