// Page records: what CreatePropertySheetPageW refuses, the copy a page receives, and who frees
// pages on every path.
#include "sheet_fixture.h"

namespace velm::test {
namespace {

struct ExtendedPage {
  PROPSHEETPAGEW page;
  int trailing[4];  // a caller's own data after the record travels with the copy
};

const PROPSHEETPAGEW* g_initRecord = nullptr;
std::vector<UINT> g_callbacks;

INT_PTR KeepRecordProc(HWND, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) g_initRecord = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
  return message == WM_INITDIALOG;
}

UINT CALLBACK PageCallback(HWND, UINT message, PROPSHEETPAGEW*) {
  g_callbacks.push_back(message);
  return 1;
}

class SheetPagesTest : public SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    g_initRecord = nullptr;
    g_callbacks.clear();
  }
};

TEST_F(SheetPagesTest, APageNeedsItsTemplateInTheModule) {
  PROPSHEETPAGEW page{};
  page.dwSize = sizeof page;
  page.hInstance = resources_;
  page.pszTemplate = MAKEINTRESOURCEW(599);
  page.pfnDlgProc = KeepRecordProc;
  EXPECT_EQ(CreatePropertySheetPageW(&page), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);

  // A module without resources at all: the resource library of a machine that lacks it.
  page.hInstance = GetModuleHandleW(u"kernel32.dll");
  page.pszTemplate = MAKEINTRESOURCEW(500);
  EXPECT_EQ(CreatePropertySheetPageW(&page), nullptr);

  page.hInstance = resources_;
  page.dwSize = PROPSHEETPAGEW_V1_SIZE - 1;
  EXPECT_EQ(CreatePropertySheetPageW(&page), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreatePropertySheetPageW(nullptr), nullptr);

  // "#500" names the same template as MAKEINTRESOURCEW(500); other names do not exist here.
  page.dwSize = sizeof page;
  page.pszTemplate = u"#500";
  HPROPSHEETPAGE named = CreatePropertySheetPageW(&page);
  EXPECT_NE(named, nullptr);
  EXPECT_TRUE(DestroyPropertySheetPage(named));
  page.pszTemplate = u"GENERAL";
  EXPECT_EQ(CreatePropertySheetPageW(&page), nullptr);
}

TEST_F(SheetPagesTest, InitDialogGetsTheSheetsCopyWithTheCallersTrailingData) {
  ExtendedPage extended{};
  extended.page.dwSize = sizeof extended;
  extended.page.dwFlags = PSP_USETITLE;
  extended.page.hInstance = resources_;
  extended.page.pszTemplate = MAKEINTRESOURCEW(500);
  extended.page.pfnDlgProc = KeepRecordProc;
  extended.page.lParam = 77;
  std::u16string title = u"Own title";
  extended.page.pszTitle = title.c_str();
  extended.trailing[3] = 0x5EED;
  HPROPSHEETPAGE page = CreatePropertySheetPageW(&extended.page);
  ASSERT_NE(page, nullptr);
  extended.page.lParam = 0;  // the caller's record may change or go away after the call
  title = u"Changed";

  UiSetNextSheetScript([&](HWND frame) {
    ui::Sheet sheet(frame);
    ASSERT_NE(g_initRecord, nullptr);
    EXPECT_NE(g_initRecord, &extended.page);
    EXPECT_EQ(g_initRecord->lParam, 77);
    EXPECT_EQ(g_initRecord->dwSize, sizeof extended);
    EXPECT_EQ(reinterpret_cast<const ExtendedPage*>(g_initRecord)->trailing[3], 0x5EED);
    EXPECT_EQ(ui::Ctl(reinterpret_cast<HWND>(SendMessageW(frame, PSM_GETTABCONTROL, 0, 0))).rows(),
              std::vector<std::u16string>{u"Own title"});
    sheet.pressCancel();
  });
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.nPages = 1;
  header.phpage = &page;
  EXPECT_EQ(PropertySheetW(&header), 0);
}

TEST_F(SheetPagesTest, PagesAreReleasedOnceByWhoeverOwnsThem) {
  UINT live = 0;
  PROPSHEETPAGEW record{};
  record.dwSize = sizeof record;
  record.dwFlags = PSP_USECALLBACK | PSP_USEREFPARENT;
  record.hInstance = resources_;
  record.pszTemplate = MAKEINTRESOURCEW(500);
  record.pfnDlgProc = KeepRecordProc;
  record.pfnCallback = PageCallback;
  record.pcRefParent = &live;

  // The caller frees a page it did not give away; a second free is refused.
  HPROPSHEETPAGE page = CreatePropertySheetPageW(&record);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(live, 1u);
  EXPECT_TRUE(DestroyPropertySheetPage(page));
  EXPECT_EQ(live, 0u);
  EXPECT_FALSE(DestroyPropertySheetPage(page));
  EXPECT_EQ(g_callbacks, (std::vector<UINT>{PSPCB_ADDREF, PSPCB_RELEASE}));

  // A sheet frees the pages it was given, even when its header is refused.
  HPROPSHEETPAGE pages[2] = {CreatePropertySheetPageW(&record), CreatePropertySheetPageW(&record)};
  EXPECT_EQ(live, 2u);
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_MODELESS;
  header.nPages = 2;
  header.phpage = pages;
  EXPECT_EQ(PropertySheetW(&header), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(live, 0u);
  EXPECT_FALSE(DestroyPropertySheetPage(pages[0]));

  // ... and after it ran; the page that was shown got PSPCB_CREATE before its window.
  g_callbacks.clear();
  pages[0] = CreatePropertySheetPageW(&record);
  pages[1] = CreatePropertySheetPageW(&record);
  header.dwFlags = 0;
  UiSetNextSheetScript([](HWND frame) { ui::Sheet(frame).pressCancel(); });
  EXPECT_EQ(PropertySheetW(&header), 0);
  EXPECT_EQ(live, 0u);
  EXPECT_EQ(g_callbacks, (std::vector<UINT>{PSPCB_ADDREF, PSPCB_ADDREF, PSPCB_CREATE, PSPCB_RELEASE, PSPCB_RELEASE}));
}

TEST_F(SheetPagesTest, ASheetOfRecordsMakesItsOwnPagesAndRefusesABadOne) {
  PROPSHEETPAGEW records[2]{};
  for (PROPSHEETPAGEW& record : records) {
    record.dwSize = sizeof record;
    record.hInstance = resources_;
    record.pfnDlgProc = KeepRecordProc;
  }
  records[0].pszTemplate = MAKEINTRESOURCEW(501);
  records[1].pszTemplate = MAKEINTRESOURCEW(599);
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE;
  header.nPages = 2;
  header.ppsp = records;
  EXPECT_EQ(PropertySheetW(&header), -1);

  // A sheet whose only page cannot be made says why the page failed.
  records[1].pszTemplate = MAKEINTRESOURCEW(505);
  header.nPages = 1;
  header.ppsp = &records[1];
  SetLastError(0);
  EXPECT_EQ(PropertySheetW(&header), -1);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  header.ppsp = records;

  header.nPages = 1;
  header.dwFlags |= PSH_PROPTITLE;
  header.pszCaption = u"Office printer";
  UiSetNextSheetScript([](HWND frame) {
    WCHAR caption[64]{};
    GetWindowTextW(frame, caption, 64);
    EXPECT_EQ(std::u16string(caption), u"Office printer Properties");
    ui::Sheet(frame).pressOk();
  });
  EXPECT_EQ(PropertySheetW(&header), 1);
}

}  // namespace
}  // namespace velm::test
