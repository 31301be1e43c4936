// Settings writes seen by a test while a sheet applies: what is reported, and what is not.
#include "sheet_fixture.h"

namespace velm::test {
namespace {

using Kind = platform::ObservedWrite::Kind;

INT_PTR WritingPageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY) {
    WritePrivateProfileStringW(u"Paper", u"Size", u"A4", u"C:\\Windows\\qnset.ini");
    WritePrivateProfileStringW(u"Paper", u"Tray", nullptr, u"C:\\Windows\\qnset.ini");
    WritePrivateProfileStringW(u"Paper", u"Bad=Key", u"x", u"C:\\Windows\\qnset.ini");  // refused: not reported
    SetPrinterDataW(nullptr, const_cast<LPWSTR>(u"Value"), REG_DWORD, nullptr, 0);                // refused: not reported
    SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
    return TRUE;
  }
  return FALSE;
}

class SheetWritesTest : public SheetTest {};

TEST_F(SheetWritesTest, SuccessfulWritesAreRecordedUntilTheNextReset) {
  ui::watchWrites();
  HPROPSHEETPAGE page = MakePage(500, WritingPageProc, 0);
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.nPages = 1;
  header.phpage = &page;
  ui::onSheet([](ui::Sheet& sheet) { sheet.pressOk(); });
  EXPECT_GT(PropertySheetW(&header), 0);

  const auto& writes = ui::writes();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].kind, Kind::kProfile);
  EXPECT_EQ(writes[0].file, u"C:\\Windows\\qnset.ini");
  EXPECT_EQ(writes[0].section, u"Paper");
  EXPECT_EQ(writes[0].name, u"Size");
  EXPECT_EQ(writes[0].text, u"A4");
  EXPECT_FALSE(writes[0].removed);
  EXPECT_EQ(writes[1].name, u"Tray");
  EXPECT_TRUE(writes[1].removed);

  UiResetAll();
  EXPECT_TRUE(ui::writes().empty());
  WritePrivateProfileStringW(u"Paper", u"Size", u"A5", u"C:\\Windows\\qnset.ini");
  EXPECT_TRUE(ui::writes().empty());  // the reset ended the watch
}

}  // namespace
}  // namespace velm::test
