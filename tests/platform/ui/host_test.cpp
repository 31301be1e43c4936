// The common property-sheet host: the reasons a sheet function gets and their order, the results
// it hands back, refused pages, nested sheet functions, and finding the host by name.
#include "sheet_fixture.h"

namespace velm::test {
namespace {

struct Behaviour {
  HMODULE resources = nullptr;
  LONG initAnswer = 1;
  LONG headerAnswer = 1;
  WORD headerFlags = 0;
  int pages = 1;
  LONG_PTR setResultOnDestroy = -1;  // -1: none
  PFNPROPSHEETUI nested = nullptr;
  std::vector<std::string> log;
  std::vector<LONG_PTR> added;
  SETRESULT_INFO setResult{};
  HANDLE nestedHandle = nullptr;
};
Behaviour* g_behaviour = nullptr;
UINT g_livePages = 0;

INT_PTR PlainPageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

LONG_PTR AddPage(PPROPSHEETUI_INFO info, WORD id) {
  PROPSHEETPAGEW page{};
  page.dwSize = sizeof page;
  page.dwFlags = PSP_USEREFPARENT;
  page.pcRefParent = &g_livePages;
  page.hInstance = g_behaviour->resources;
  page.pszTemplate = MAKEINTRESOURCEW(id);
  page.pfnDlgProc = PlainPageProc;
  HPROPSHEETPAGE handle = CreatePropertySheetPageW(&page);
  const LONG_PTR added =
      info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_HPROPSHEETPAGE, reinterpret_cast<LPARAM>(handle), 0);
  if (!added) DestroyPropertySheetPage(handle);  // a refused page stays the caller's
  return added;
}

LONG SheetFunction(PPROPSHEETUI_INFO info, LPARAM lParam, const std::string& who) {
  Behaviour& b = *g_behaviour;
  switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT:
      b.log.push_back(who + " init " + std::to_string(lParam) + " " + std::to_string(info->lParamInit));
      for (int i = 0; i < b.pages; ++i) b.added.push_back(AddPage(info, static_cast<WORD>(500 + i)));
      if (b.nested && who == "root")
        b.nestedHandle = reinterpret_cast<HANDLE>(
            info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PFNPROPSHEETUIW, reinterpret_cast<LPARAM>(b.nested), 9));
      info->UserData = 0xC0FFEE;
      return b.initAnswer;
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
      b.log.push_back(who + " header");
      EXPECT_EQ(info->UserData, 0xC0FFEEu);
      auto* header = reinterpret_cast<PPROPSHEETUI_INFO_HEADER>(lParam);
      static WCHAR title[] = u"Office printer";
      header->pTitle = title;
      header->Flags = b.headerFlags;
      return b.headerAnswer;
    }
    case PROPSHEETUI_REASON_DESTROY:
      b.log.push_back(who + " destroy " + std::to_string(lParam));
      if (b.setResultOnDestroy >= 0 && who != "root")
        info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_SET_RESULT, 0, b.setResultOnDestroy);
      if (b.setResultOnDestroy >= 0 && who == "root" && !b.nested) {
        info->Result = static_cast<ULONG_PTR>(b.setResultOnDestroy);
        info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_SET_RESULT, 0, b.setResultOnDestroy);
      }
      return 1;
    case PROPSHEETUI_REASON_SET_RESULT:
      b.setResult = *reinterpret_cast<PSETRESULT_INFO>(lParam);
      b.log.push_back(who + " set result " + std::to_string(b.setResult.Result));
      info->Result = static_cast<ULONG_PTR>(b.setResult.Result);
      return 1;
  }
  return -1;
}

LONG RootFunction(PPROPSHEETUI_INFO info, LPARAM lParam) { return SheetFunction(info, lParam, "root"); }
LONG NestedFunction(PPROPSHEETUI_INFO info, LPARAM lParam) { return SheetFunction(info, lParam, "nested"); }

class HostTest : public SheetTest {
 protected:
  void SetUp() override {
    SheetTest::SetUp();
    behaviour_.resources = resources_;
    g_behaviour = &behaviour_;
    g_livePages = 0;
  }
  void TearDown() override {
    EXPECT_EQ(g_livePages, 0u) << "pages left alive";
    SheetTest::TearDown();
  }
  Behaviour behaviour_;
  ui::Host host_;
};

using Log_ = std::vector<std::string>;

TEST_F(HostTest, ReasonsComeInOrderAndDestroySetsTheResult) {
  behaviour_.pages = 2;
  behaviour_.headerFlags = PSUIHDRF_NOAPPLYNOW | PSUIHDRF_PROPTITLE;
  behaviour_.setResultOnDestroy = CPSUI_OK;
  const ui::HostResult result = host_.open(RootFunction, 42, [&](ui::Sheet& sheet) {
    EXPECT_EQ(behaviour_.log, (Log_{"root init 42 42", "root header"}));
    EXPECT_EQ(sheet.pageIds(), (std::vector<WORD>{500, 501}));
    EXPECT_EQ(ui::Dlg(sheet.hwnd()).text(), u"Office printer Properties");
    EXPECT_FALSE(sheet.button(IDAPPLY).exists());
    sheet.pressOk();
  });
  EXPECT_EQ(result.returned, CPSUI_OK);
  EXPECT_EQ(result.result, static_cast<DWORD>(CPSUI_OK));
  EXPECT_EQ(behaviour_.log, (Log_{"root init 42 42", "root header", "root destroy 1"}));
  for (LONG_PTR handle : behaviour_.added) EXPECT_NE(handle, 0);
}

TEST_F(HostTest, ACancelledSheetWithoutAResultAnswersCancel) {
  const ui::HostResult result = host_.open(RootFunction, 0, [](ui::Sheet& sheet) { sheet.pressCancel(); });
  EXPECT_EQ(result.returned, CPSUI_CANCEL);
  EXPECT_EQ(result.result, static_cast<DWORD>(CPSUI_CANCEL));
  EXPECT_EQ(behaviour_.log.back(), "root destroy 0");
}

TEST_F(HostTest, AFailingInitEndsTheCallAndFreesItsPages) {
  behaviour_.initAnswer = -1;
  bool shown = false;
  const ui::HostResult result = host_.open(RootFunction, 0, [&](ui::Sheet&) { shown = true; });
  EXPECT_LT(result.returned, 0);
  EXPECT_EQ(result.result, static_cast<DWORD>(CPSUI_CANCEL));
  EXPECT_FALSE(shown);
  EXPECT_EQ(behaviour_.log, (Log_{"root init 0 0"}));  // no header, no destroy
}

TEST_F(HostTest, AFailingHeaderOrNoPagesDestroysWithoutASheet) {
  behaviour_.headerAnswer = 0;
  bool shown = false;
  EXPECT_LT(host_.open(RootFunction, 0, [&](ui::Sheet&) { shown = true; }).returned, 0);
  EXPECT_EQ(behaviour_.log, (Log_{"root init 0 0", "root header", "root destroy 0"}));

  // A host that refuses pages: ADD_HPROPSHEETPAGE answers 0, and a sheet of no pages is an error.
  behaviour_ = {};
  behaviour_.resources = resources_;
  UiSetComPropSheetRefusesPages(true);
  EXPECT_EQ(host_.open(RootFunction, 0, [&](ui::Sheet&) { shown = true; }).returned, ERR_CPSUI_NO_PROPSHEETPAGE);
  EXPECT_EQ(behaviour_.added, (std::vector<LONG_PTR>{0}));
  EXPECT_EQ(behaviour_.log.back(), "root destroy 0");
  EXPECT_FALSE(shown);
}

TEST_F(HostTest, ANestedSheetFunctionsResultReachesItsParent) {
  behaviour_.nested = NestedFunction;
  behaviour_.setResultOnDestroy = CPSUI_OK;
  const ui::HostResult result = host_.open(RootFunction, 5, [](ui::Sheet& sheet) {
    EXPECT_EQ(sheet.pageIds(), (std::vector<WORD>{500, 500}));  // the root's page, then the nested one's
    sheet.pressOk();
  });
  EXPECT_EQ(result.returned, CPSUI_OK);
  EXPECT_EQ(result.result, static_cast<DWORD>(CPSUI_OK));
  EXPECT_EQ(behaviour_.log, (Log_{"root init 5 5", "nested init 9 9", "root header", "nested destroy 1",
                                  "root set result 1", "root destroy 1"}));
  EXPECT_EQ(behaviour_.setResult.hSetResult, behaviour_.nestedHandle);
  EXPECT_NE(behaviour_.nestedHandle, nullptr);
}

TEST_F(HostTest, TheHostIsFoundByNameAndCanBeTakenAway) {
  HMODULE library = LoadLibraryA("COMPSTUI.DLL");
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(library, "CommonPropertySheetUIW")),
            reinterpret_cast<void*>(&CommonPropertySheetUIW));
  FreeLibrary(library);

  velm::platform::WithdrawSystemExport("CommonPropertySheetUIW", true);
  library = LoadLibraryA("compstui.dll");
  EXPECT_EQ(GetProcAddress(library, "CommonPropertySheetUIW"), nullptr);
  EXPECT_EQ(host_.open(RootFunction, 0, nullptr).returned, ERR_CPSUI_GETLASTERROR);
  FreeLibrary(library);

  ASSERT_TRUE(velm::platform::WithdrawSystemModule(u"compstui.dll", true));
  EXPECT_EQ(LoadLibraryA("compstui.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(host_.open(RootFunction, 0, nullptr).returned, ERR_CPSUI_GETLASTERROR);
  EXPECT_TRUE(behaviour_.log.empty());

  UiResetAll();  // gives both back
  library = LoadLibraryA("compstui.dll");
  EXPECT_NE(GetProcAddress(library, "CommonPropertySheetUIW"), nullptr);
  FreeLibrary(library);
}

TEST_F(HostTest, TheCallbackAnswersZeroForUnknownHandlesAndFunctions) {
  behaviour_.pages = 0;
  behaviour_.initAnswer = -1;
  PROPSHEETUI_INFO seen{};
  host_.open(
      [](PPROPSHEETUI_INFO info, LPARAM) -> LONG {
        *reinterpret_cast<PROPSHEETUI_INFO*>(info->lParamInit) = *info;
        EXPECT_EQ(info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_SET_HSTARTPAGE, 0, 0), 0);
        EXPECT_EQ(info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_HPROPSHEETPAGE, 0, 0), 0);
        return -1;
      },
      reinterpret_cast<LPARAM>(&seen), nullptr);
  EXPECT_EQ(seen.cbSize, sizeof(PROPSHEETUI_INFO));
  EXPECT_EQ(seen.Reason, PROPSHEETUI_REASON_INIT);
  // The handle dies with the call.
  EXPECT_EQ(seen.pfnComPropSheet(seen.hComPropSheet, CPSFUNC_GET_PAGECOUNT, 0, 0), 0);
}

}  // namespace
}  // namespace velm::test
