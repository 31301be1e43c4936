// Dialog fonts: made from the template (or the default face), given to the dialog and every
// control before WM_INITDIALOG, used when the controls paint, and deleted with the window; the
// property sheet's frame and pages get theirs the same way.
#include <gmock/gmock.h>

#include "sheet_fixture.h"
#include "ui_fixture.h"

namespace velm::test {
namespace {

constexpr WORD kTemplateFontDialog = 100;  // "MS Shell Dlg" 8
constexpr WORD kPictureDialog = 110;       // standard controls, no font of its own
constexpr int kCopiesLabel = 0xFFFF;

std::vector<std::string> g_order;
std::vector<bool> g_childHasDialogFont;

INT_PTR CALLBACK FontProbe(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_SETFONT) g_order.push_back("setfont");
  if (message == WM_INITDIALOG) {
    g_order.push_back("init");
    const LRESULT font = SendMessageW(dialog, WM_GETFONT, 0, 0);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      g_childHasDialogFont.push_back(font != 0 && SendMessageW(child, WM_GETFONT, 0, 0) == font);
  }
  return FALSE;
}

LOGFONTW FontOf(HWND window) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  EXPECT_NE(handle, nullptr);
  if (handle) {
    EXPECT_EQ(GetObjectW(handle, sizeof font, &font), static_cast<int>(sizeof font));
  }
  return font;
}

// Pixels of the text colour inside the label's place in a picture of its dialog.
int TextPixels(HWND dialog, HWND label) {
  UiImage image;
  EXPECT_TRUE(UiRenderWindow(dialog, &image));
  RECT outer{}, place{};
  GetWindowRect(dialog, &outer);
  GetWindowRect(label, &place);
  const int dx = image.width - (outer.right - outer.left) - 3;  // the frame's left edge
  const int dy = image.height - (outer.bottom - outer.top) - 3;  // its top edge and caption
  int count = 0;
  for (LONG y = place.top; y < place.bottom; ++y)
    for (LONG x = place.left; x < place.right; ++x)
      if (image.Pixel(x - outer.left + dx, y - outer.top + dy) == GetSysColor(COLOR_WINDOWTEXT)) ++count;
  return count;
}

class DialogFontsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    g_order.clear();
    g_childHasDialogFont.clear();
  }
  HWND Make(WORD id) { return CreateDialogParamW(Resources(), MAKEINTRESOURCEW(id), nullptr, FontProbe, 0); }
};

TEST_F(DialogFontsTest, TheDialogAndEveryControlHaveTheFontBeforeInitDialog) {
  HWND dialog = Make(kPictureDialog);
  ASSERT_NE(dialog, nullptr);
  EXPECT_THAT(g_order, ::testing::ElementsAre("setfont", "init"));
  EXPECT_EQ(g_childHasDialogFont.size(), 6u);
  EXPECT_THAT(g_childHasDialogFont, ::testing::Each(true));
}

TEST_F(DialogFontsTest, TheFontIsTheTemplatesFaceOrTheConfiguredDefaultAtNormalWeight) {
  HWND named = Make(kTemplateFontDialog);
  ASSERT_NE(named, nullptr);
  LOGFONTW font = FontOf(named);
  EXPECT_EQ(std::u16string(font.lfFaceName), u"MS Shell Dlg");
  EXPECT_EQ(font.lfHeight, -11);  // 8 points at 96 pixels an inch
  EXPECT_EQ(font.lfWeight, FW_NORMAL);

  UiSetDefaultDialogFace(u"Tahoma");
  HWND unnamed = Make(kPictureDialog);
  ASSERT_NE(unnamed, nullptr);
  font = FontOf(GetDlgItem(unnamed, IDOK));
  EXPECT_EQ(std::u16string(font.lfFaceName), u"Tahoma");
  EXPECT_EQ(font.lfWeight, FW_NORMAL);
}

TEST_F(DialogFontsTest, TheFontIsDeletedWithTheDialogEvenWhenAControlWasGivenAnother) {
  const size_t before = UiLiveGdiObjects(OBJ_FONT);
  HWND dialog = Make(kPictureDialog);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_FONT), before + 1);
  // A font the dialog's owner hands a control stays the owner's to delete.
  LOGFONTW bold{};
  bold.lfWeight = FW_BOLD;
  HFONT own = CreateFontIndirectW(&bold);
  SendDlgItemMessageW(dialog, IDOK, WM_SETFONT, reinterpret_cast<WPARAM>(own), FALSE);
  EXPECT_TRUE(DestroyWindow(dialog));
  EXPECT_EQ(UiLiveGdiObjects(OBJ_FONT), before + 1);
  EXPECT_TRUE(DeleteObject(own));
  EXPECT_EQ(UiLiveGdiObjects(OBJ_FONT), before);

  // A modal dialog's font goes when its loop ends.
  UiSetDialogScript(kPictureDialog, [](HWND modal) { EndDialog(modal, IDOK); });
  EXPECT_EQ(DialogBoxParamW(Resources(), MAKEINTRESOURCEW(kPictureDialog), nullptr, FontProbe, 0), IDOK);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_FONT), before);
}

TEST_F(DialogFontsTest, ControlsPaintTheirTextInTheDialogFontNotTheBoldSystemFont) {
  HWND dialog = Make(kPictureDialog);
  ASSERT_NE(dialog, nullptr);
  ShowWindow(dialog, SW_SHOW);
  HWND label = GetDlgItem(dialog, kCopiesLabel);
  ASSERT_NE(label, nullptr);
  const int normal = TextPixels(dialog, label);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FONT)), FALSE);
  const int bold = TextPixels(dialog, label);
  EXPECT_GT(normal, 0);
  EXPECT_GT(bold, normal);
}

class SheetFontsTest : public SheetTest {};

TEST_F(SheetFontsTest, TheFrameItsButtonsAndEachPageHaveAFontAndNoneOutlivesTheSheet) {
  const size_t before = UiLiveGdiObjects(OBJ_FONT);
  HPROPSHEETPAGE pages[2] = {MakePage(500, nullptr, 0), MakePage(501, nullptr, 0)};
  ASSERT_NE(pages[0], nullptr);
  ASSERT_NE(pages[1], nullptr);
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.pszCaption = u"Printer";
  header.nPages = 2;
  header.phpage = pages;
  bool ran = false;
  UiSetNextSheetScript([&](HWND frame) {
    ran = true;
    const LRESULT frameFont = SendMessageW(frame, WM_GETFONT, 0, 0);
    EXPECT_NE(frameFont, 0);
    EXPECT_EQ(SendMessageW(GetDlgItem(frame, IDOK), WM_GETFONT, 0, 0), frameFont);
    EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(SendMessageW(frame, PSM_GETTABCONTROL, 0, 0)), WM_GETFONT, 0, 0),
              frameFont);
    HWND page = reinterpret_cast<HWND>(SendMessageW(frame, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_NE(page, nullptr);
    const LRESULT pageFont = SendMessageW(page, WM_GETFONT, 0, 0);
    EXPECT_NE(pageFont, 0);
    EXPECT_EQ(SendDlgItemMessageW(page, 5001, WM_GETFONT, 0, 0), pageFont);
    EXPECT_EQ(UiLiveGdiObjects(OBJ_FONT), before + 2);  // the frame's and the page's
    PostMessageW(frame, WM_COMMAND, IDCANCEL, 0);
  });
  PropertySheetW(&header);
  EXPECT_TRUE(ran);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_FONT), before);
}

}  // namespace
}  // namespace velm::test
