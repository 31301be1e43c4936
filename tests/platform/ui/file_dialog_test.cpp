// Open and save dialogs answered by script: the checks of OPENFILENAMEW, the bounded copy of the
// answer, the hook of a templated dialog, and the documents folder.
#include "sheet_fixture.h"

namespace velm::test {
namespace {

constexpr WCHAR kFilter[] = u"Settings files (*.rst)\0*.rst\0All files\0*.*\0";

class FileDialogTest : public SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    std::filesystem::create_directories(root_.OnDriveC("Data"));
    WriteHostFile(root_.OnDriveC("Data/old.rst"), "[Velm]\n");
    ofn_.lStructSize = sizeof ofn_;
    ofn_.lpstrFilter = kFilter;
    ofn_.lpstrFile = file_;
    ofn_.nMaxFile = 260;
    ofn_.lpstrInitialDir = u"C:\\Data";
    ofn_.lpstrTitle = u"Open settings";
    std::u16string(u"*.rst").copy(file_, 5);
  }
  OPENFILENAMEW ofn_{};
  WCHAR file_[300]{};
};

TEST_F(FileDialogTest, AScriptedChoiceIsCopiedOutWithItsOffsets) {
  ui::onFileDialog([](const UiFileDialogCall& call, ui::Dlg& dialog) {
    EXPECT_FALSE(call.save);
    EXPECT_EQ(call.filter.size(), 2u);
    EXPECT_EQ(call.filter[0].second, u"*.rst");
    EXPECT_EQ(call.title, u"Open settings");
    EXPECT_EQ(call.initialDir, u"C:\\Data");
    EXPECT_EQ(call.initialFile, u"*.rst");
    EXPECT_EQ(dialog.ctl(lst1).rows(), std::vector<std::u16string>{u"old.rst"});
    return UiFileDialogAnswer::Choose(u"old.rst");
  });
  std::u16string(u"x.txt").copy(file_ + 250, 5);  // beyond the answer: untouched
  ASSERT_TRUE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(std::u16string(file_), u"C:\\Data\\old.rst");
  EXPECT_EQ(ofn_.nFileOffset, 8);
  EXPECT_EQ(ofn_.nFileExtension, 12);
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(file_[250], u'x');
  EXPECT_EQ(ui::fileDialogs().size(), 1u);

  // A save dialog adds the default extension to a name without one.
  ofn_.lpstrDefExt = u"rst";
  ui::onFileDialog([](const UiFileDialogCall& call, ui::Dlg&) {
    EXPECT_TRUE(call.save);
    return UiFileDialogAnswer::Choose(u"C:\\Data\\new");
  });
  ASSERT_TRUE(GetSaveFileNameW(&ofn_));
  EXPECT_EQ(std::u16string(file_), u"C:\\Data\\new.rst");
}

TEST_F(FileDialogTest, ACancelLeavesTheBufferAndReportsNoError) {
  ui::onFileDialog([](const UiFileDialogCall&, ui::Dlg&) { return UiFileDialogAnswer::Cancel(); });
  EXPECT_FALSE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(std::u16string(file_), u"*.rst");
}

TEST_F(FileDialogTest, AShortBufferGetsTheSizeNeededAndNothingMore) {
  WCHAR small[12];
  std::fill(std::begin(small), std::end(small), u'#');
  small[0] = 0;
  ofn_.lpstrFile = small;
  ofn_.nMaxFile = 10;
  ui::onFileDialog([](const UiFileDialogCall&, ui::Dlg&) { return UiFileDialogAnswer::Choose(u"old.rst"); });
  EXPECT_FALSE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
  EXPECT_EQ(small[0], 16);  // "C:\Data\old.rst" and its NUL
  EXPECT_EQ(small[10], u'#');
  EXPECT_EQ(small[11], u'#');
}

TEST_F(FileDialogTest, BadRecordsAreRefusedBeforeAnyDialog) {
  ui::onFileDialog([](const UiFileDialogCall&, ui::Dlg&) {
    ADD_FAILURE() << "no dialog expected";
    return UiFileDialogAnswer::Cancel();
  });
  const auto refused = [&](DWORD error) {
    EXPECT_FALSE(GetOpenFileNameW(&ofn_));
    EXPECT_EQ(CommDlgExtendedError(), error);
  };
  OPENFILENAMEW good = ofn_;
  ofn_.lpstrFilter = u"Settings\0\0";  // a name without its pattern
  refused(CDERR_INITIALIZATION);
  ofn_.lpstrFilter = u"\0";  // no pair at all
  refused(CDERR_INITIALIZATION);
  ofn_ = good;
  ofn_.nFilterIndex = 3;  // beyond the two pairs
  refused(CDERR_INITIALIZATION);
  ofn_ = good;
  ofn_.lStructSize = sizeof ofn_ - 1;
  refused(CDERR_STRUCTSIZE);
  ofn_ = good;
  ofn_.Flags = OFN_ENABLEHOOK;
  refused(CDERR_NOHOOK);
  ofn_ = good;
  ofn_.nMaxFile = 0;
  refused(CDERR_INITIALIZATION);
  ofn_ = good;
  ofn_.nMaxFile = 3;  // the initial name runs past the buffer it is said to fill
  refused(CDERR_INITIALIZATION);
  ofn_ = good;
  ofn_.Flags = OFN_ENABLETEMPLATE;
  ofn_.hInstance = resources_;
  ofn_.lpTemplateName = MAKEINTRESOURCEW(599);
  refused(CDERR_FINDRESFAILURE);
  EXPECT_TRUE(ui::fileDialogs().size() <= 1u);  // only the template miss got as far as a call
}

std::vector<std::pair<UINT, WPARAM>> g_hookLog;
LPARAM g_hookInit = 0;
bool g_refuseOk = false;

UINT_PTR Hook(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) g_hookInit = lParam;
  if (message == WM_INITDIALOG) g_hookLog.emplace_back(message, 0);
  if (message == WM_COMMAND) g_hookLog.emplace_back(message, LOWORD(wParam));
  return message == WM_COMMAND && LOWORD(wParam) == IDOK && g_refuseOk;
}

TEST_F(FileDialogTest, TheHookOfATemplatedDialogSeesEveryCommandFirst) {
  g_hookLog.clear();
  g_refuseOk = true;
  ofn_.Flags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
  ofn_.lpfnHook = Hook;
  ofn_.hInstance = resources_;
  ofn_.lpTemplateName = MAKEINTRESOURCEW(504);
  ui::onFileDialog([](const UiFileDialogCall& call, ui::Dlg& dialog) {
    EXPECT_EQ(call.templateId, 504);
    EXPECT_TRUE(call.hooked);
    EXPECT_EQ(dialog.ctl(edt1).text(), u"*.rst");
    dialog.ctl(2897).click();
    dialog.ctl(2887).click();
    dialog.ctl(edt1).setText(u"old.rst");
    dialog.ctl(IDOK).click();  // the hook takes it: the dialog stays
    EXPECT_TRUE(dialog.exists());
    g_refuseOk = false;
    dialog.ctl(IDOK).click();
    return UiFileDialogAnswer::Driven();
  });
  ASSERT_TRUE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(std::u16string(file_), u"C:\\Data\\old.rst");
  EXPECT_EQ(g_hookInit, reinterpret_cast<LPARAM>(&ofn_));
  const std::vector<std::pair<UINT, WPARAM>> expected = {
      {WM_INITDIALOG, 0}, {WM_COMMAND, 2897}, {WM_COMMAND, 2887}, {WM_COMMAND, IDOK}, {WM_COMMAND, IDOK}};
  std::vector<std::pair<UINT, WPARAM>> seen;
  for (const auto& entry : g_hookLog)  // the edit's own notifications come in between
    if (entry.first == WM_INITDIALOG || entry.second != static_cast<WPARAM>(edt1)) seen.push_back(entry);
  EXPECT_EQ(seen, expected);
}

HWND g_explorerChild = nullptr;
std::vector<std::u16string> g_fileOks;

UINT_PTR ExplorerHook(HWND child, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    g_explorerChild = child;
    g_hookInit = lParam;
  }
  if (message != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lParam)->code != CDN_FILEOK) return FALSE;
  const auto* note = reinterpret_cast<const OFNOTIFYW*>(lParam);
  g_fileOks.emplace_back(note->pszFile);
  EXPECT_EQ(note->lpOFN, reinterpret_cast<LPOPENFILENAMEW>(g_hookInit));
  SetWindowLongPtrW(child, DWLP_MSGRESULT, g_refuseOk ? 1 : 0);
  return TRUE;
}

TEST_F(FileDialogTest, AnExplorerHookRunsInAChildAndMayRefuseTheCheckedName) {
  g_fileOks.clear();
  g_refuseOk = true;
  ofn_.Flags = OFN_ENABLEHOOK | OFN_EXPLORER;
  ofn_.lpfnHook = ExplorerHook;
  ui::onFileDialog([](const UiFileDialogCall&, ui::Dlg& dialog) {
    EXPECT_EQ(GetParent(g_explorerChild), dialog.hwnd());
    EXPECT_TRUE(GetWindowLongPtrW(g_explorerChild, GWL_STYLE) & WS_CHILD);
    dialog.ctl(edt1).setText(u"*.rst");
    dialog.ctl(IDOK).click();  // a pattern lists the folder: no CDN_FILEOK
    dialog.ctl(edt1).setText(u"old.rst");
    dialog.ctl(IDOK).click();  // refused by the hook: the dialog stays
    EXPECT_TRUE(dialog.exists());
    g_refuseOk = false;
    dialog.ctl(IDOK).click();
    return UiFileDialogAnswer::Driven();
  });
  ASSERT_TRUE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(g_hookInit, reinterpret_cast<LPARAM>(&ofn_));
  EXPECT_EQ(g_fileOks, (std::vector<std::u16string>{u"C:\\Data\\old.rst", u"C:\\Data\\old.rst"}));
  EXPECT_EQ(std::u16string(file_), u"C:\\Data\\old.rst");
}

TEST_F(FileDialogTest, OverwriteAndExistenceChecksAskOrRefuse) {
  ofn_.Flags = OFN_OVERWRITEPROMPT;
  ui::onMessageBox(std::deque<int>{IDNO, IDYES});
  ui::onFileDialog([](const UiFileDialogCall&, ui::Dlg& dialog) {
    dialog.ctl(edt1).setText(u"old.rst");
    dialog.ctl(IDOK).click();
    EXPECT_TRUE(dialog.exists());  // "No": choose again
    dialog.ctl(IDOK).click();
    return UiFileDialogAnswer::Driven();
  });
  ASSERT_TRUE(GetSaveFileNameW(&ofn_));
  EXPECT_EQ(ui::messageBoxes().size(), 2u);

  // A file that must exist and does not: a warning, and the dialog stays until cancelled.
  ofn_.Flags = OFN_FILEMUSTEXIST;
  ui::onMessageBox(std::deque<int>{IDOK});
  ui::onFileDialog([](const UiFileDialogCall&, ui::Dlg& dialog) {
    dialog.ctl(edt1).setText(u"missing.rst");
    dialog.ctl(IDOK).click();
    return UiFileDialogAnswer::Cancel();
  });
  EXPECT_FALSE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(ui::messageBoxes().size(), 3u);
  EXPECT_EQ(ui::messageBoxes().back().type & MB_ICONMASK, MB_ICONWARNING);
}

TEST_F(FileDialogTest, AnUnscriptedDialogIsReportedAndCancelled) {
  allowUnexpected_ = true;
  EXPECT_FALSE(GetOpenFileNameW(&ofn_));
  EXPECT_EQ(UiUnexpectedEvents().size(), 1u);
}

TEST_F(FileDialogTest, TheDocumentsFolderIsConfigurableAndCreatedOnRequest) {
  WCHAR path[MAX_PATH];
  const HRESULT first = SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path);
  const std::u16string documents(path);
  EXPECT_EQ(documents.substr(0, 9), u"C:\\Users\\");
  EXPECT_EQ(documents.substr(documents.size() - 10), u"\\Documents");
  if (first == S_FALSE) {
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
    EXPECT_NE(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
  }
  UiSetDocumentsFolder(u"C:\\Data");
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, path), S_OK);
  EXPECT_EQ(std::u16string(path), u"C:\\Data");
  UiSetDocumentsFolder(u"C:\\Elsewhere\\Deep");
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, path), S_FALSE);
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
  EXPECT_TRUE(std::filesystem::is_directory(root_.OnDriveC("Elsewhere/Deep")));
  EXPECT_GE(SHGetFolderPathW(nullptr, CSIDL_WINDOWS, nullptr, 0, path), S_OK);
  EXPECT_EQ(std::u16string(path), u"C:\\Windows");
  EXPECT_EQ(SHGetFolderPathW(nullptr, 0x7777, nullptr, 0, path), E_INVALIDARG);
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace velm::test
