// Property sheets: page records, the modal sheet frame with its tab control and buttons, lazy
// page creation and the notification order pages depend on.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <utility>

#include "core/resources.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "ui/controls.h"
#include "ui/dialog_template.h"
#include "ui/prsht.h"
#include "ui/window_manager.h"
#include "ui/wingdi.h"

// The page record behind an HPROPSHEETPAGE.
struct PropSheetPageRecord {
  std::unique_ptr<uint64_t[]> storage;  // the caller's record, dwSize bytes, 8-aligned
  std::u16string title;                 // the tab caption
  WORD templateId = 0;
  LONG width = 0, height = 0;           // the template's size
  bool released = false;

  PROPSHEETPAGEW* page() { return reinterpret_cast<PROPSHEETPAGEW*>(storage.get()); }
};

namespace velm::ui {
namespace {

using velm::platform::EqualsNoCase;
using velm::platform::Utf16ToUtf8;

// Layout of the frame, in pixels (a Windows 2000 sheet at 96 dpi).
constexpr int kMargin = 7;
constexpr int kTabHeader = 24;    // the tab captions above the page area
constexpr int kTabBorder = 4;     // page inset inside the tab control
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;
constexpr int kTabControlId = 0x3020;
constexpr int kMinPageWidth = 212;
constexpr int kMinPageHeight = 188;

std::recursive_mutex g_lock;

std::set<HPROPSHEETPAGE>& LivePages() {
  static auto* pages = new std::set<HPROPSHEETPAGE>();
  return *pages;
}

struct SheetPage {
  HPROPSHEETPAGE record = nullptr;
  HWND window = nullptr;
  bool changed = false;
};

struct Sheet {
  HWND frame = nullptr;
  HWND owner = nullptr;
  HWND tab = nullptr;
  DWORD flags = 0;
  std::vector<SheetPage> pages;
  int current = -1;
  bool ended = false;
  bool okClosed = false;
  bool saved = false;      // an Apply committed changes
  INT_PTR restart = 0;     // PSM_RESTARTWINDOWS / PSM_REBOOTSYSTEM
  bool killDone = false;   // TCN_SELCHANGING already asked the old page
  RECT pageArea{};
};

std::map<HWND, Sheet*>& Sheets() {
  static auto* sheets = new std::map<HWND, Sheet*>();
  return *sheets;
}

std::function<void(HWND)>& SheetScript() {
  static auto* script = new std::function<void(HWND)>();
  return *script;
}
std::function<void(HWND)>& NextSheetScript() {
  static auto* script = new std::function<void(HWND)>();
  return *script;
}

Sheet* FindSheet(HWND frame) {
  std::lock_guard lock(g_lock);
  const auto it = Sheets().find(frame);
  return it == Sheets().end() ? nullptr : it->second;
}

bool IsLivePage(HPROPSHEETPAGE page) {
  std::lock_guard lock(g_lock);
  return page && LivePages().count(page);
}

// Frees a page record: the page's release callback and its parent's count first.
void ReleasePage(HPROPSHEETPAGE page) {
  {
    std::lock_guard lock(g_lock);
    if (!LivePages().erase(page)) return;
  }
  PROPSHEETPAGEW* record = page->page();
  if ((record->dwFlags & PSP_USECALLBACK) && record->pfnCallback) record->pfnCallback(nullptr, PSPCB_RELEASE, record);
  if ((record->dwFlags & PSP_USEREFPARENT) && record->pcRefParent && *record->pcRefParent > 0) --*record->pcRefParent;
  delete page;
}

// The dialog template of a page record, decoded; nullopt with the last error set.
std::optional<DialogTemplate> LoadPageTemplate(const PROPSHEETPAGEW& page) {
  HRSRC found = FindResourceW(page.hInstance, page.pszTemplate, RT_DIALOG);
  if (!found) return std::nullopt;
  HGLOBAL data = LoadResource(page.hInstance, found);
  const DWORD size = SizeofResource(page.hInstance, found);
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) return std::nullopt;
  auto decoded = DecodeDialogTemplate(static_cast<const BYTE*>(bytes), size);
  if (!decoded) SetLastError(ERROR_INVALID_DATA);
  return decoded;
}

LRESULT Notify(HWND page, UINT code, LPARAM lParam) {
  PSHNOTIFY notify{};
  notify.hdr.hwndFrom = GetParent(page);
  notify.hdr.idFrom = 0;
  notify.hdr.code = code;
  notify.lParam = lParam;
  return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
}

bool HasHelp(const Sheet& sheet, int index) {
  if (index < 0) return false;
  return (sheet.pages[index].record->page()->dwFlags & PSP_HASHELP) != 0;
}

void UpdateButtons(Sheet& sheet) {
  const bool anyChanged =
      std::any_of(sheet.pages.begin(), sheet.pages.end(), [](const SheetPage& p) { return p.changed; });
  if (HWND apply = GetDlgItem(sheet.frame, IDAPPLY)) EnableWindow(apply, anyChanged);
  if (HWND help = GetDlgItem(sheet.frame, IDHELP)) EnableWindow(help, HasHelp(sheet, sheet.current));
}

// Creates the page window of `index` when it does not exist yet; false when it cannot be.
bool CreatePage(Sheet& sheet, int index) {
  SheetPage& entry = sheet.pages[index];
  if (entry.window) return true;
  PROPSHEETPAGEW* record = entry.record->page();
  if ((record->dwFlags & PSP_USECALLBACK) && record->pfnCallback &&
      record->pfnCallback(nullptr, PSPCB_CREATE, record) == 0)
    return false;
  HWND page = CreateDialogParamW(record->hInstance, record->pszTemplate, sheet.frame, record->pfnDlgProc,
                                 reinterpret_cast<LPARAM>(record));
  if (!page) return false;
  // Pages are plain children of the frame whatever their template says, shown only when active.
  const LONG_PTR style = GetWindowLongPtrW(page, GWL_STYLE);
  const LONG_PTR childStyle =
      (style & ~static_cast<LONG_PTR>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME)) | WS_CHILD;
  if (childStyle != style) SetWindowLongPtrW(page, GWL_STYLE, childStyle);
  if (GetParent(page) != sheet.frame) SetParent(page, sheet.frame);
  ShowWindow(page, SW_HIDE);
  const RECT& area = sheet.pageArea;
  SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top, SWP_NOACTIVATE);
  entry.window = page;
  return true;
}

// Shows page `index`: PSN_KILLACTIVE to the current page (unless already asked), creation on
// first use, PSN_SETACTIVE to the new one. False when the current page refuses to go or the new
// page cannot be created; the current page stays then.
bool SetCurrent(Sheet& sheet, int index, bool askCurrent) {
  if (index < 0 || index >= static_cast<int>(sheet.pages.size())) return false;
  if (index == sheet.current) return true;
  const int old = sheet.current;
  if (old >= 0 && askCurrent && sheet.pages[old].window && Notify(sheet.pages[old].window, PSN_KILLACTIVE, 0)) {
    if (sheet.tab) SendMessageW(sheet.tab, TCM_SETCURSEL, old, 0);
    return false;
  }
  if (!CreatePage(sheet, index)) {
    if (sheet.tab) SendMessageW(sheet.tab, TCM_SETCURSEL, old, 0);
    return false;
  }
  HWND page = sheet.pages[index].window;
  sheet.current = index;
  Notify(page, PSN_SETACTIVE, 0);
  if (!UiIsWindow(page) || FindSheet(sheet.frame) != &sheet) return true;  // the page closed the sheet
  ShowWindow(page, SW_SHOW);
  if (old >= 0 && old != index && sheet.pages[old].window) ShowWindow(sheet.pages[old].window, SW_HIDE);
  if (sheet.tab) SendMessageW(sheet.tab, TCM_SETCURSEL, index, 0);
  UpdateButtons(sheet);
  return true;
}

// PSN_KILLACTIVE to the current page, then PSN_APPLY to every created page in page order. False
// when a page refuses; PSNRET_INVALID shows the refusing page, PSNRET_INVALID_NOCHANGEPAGE keeps
// the current one.
bool Apply(Sheet& sheet, bool ok) {
  if (sheet.current >= 0 && sheet.pages[sheet.current].window &&
      Notify(sheet.pages[sheet.current].window, PSN_KILLACTIVE, 0))
    return false;
  for (size_t i = 0; i < sheet.pages.size(); ++i) {
    HWND page = sheet.pages[i].window;
    if (!page) continue;
    const LRESULT answer = Notify(page, PSN_APPLY, ok ? TRUE : FALSE);
    if (FindSheet(sheet.frame) != &sheet) return false;
    if (answer == PSNRET_INVALID) {
      SetCurrent(sheet, static_cast<int>(i), false);
      return false;
    }
    if (answer == PSNRET_INVALID_NOCHANGEPAGE) return false;
  }
  for (SheetPage& page : sheet.pages) page.changed = false;
  sheet.saved = true;
  UpdateButtons(sheet);
  return true;
}

// The sheet is gone for the user at once; its windows go when its loop returns.
void End(Sheet& sheet, bool ok) {
  sheet.ended = true;
  sheet.okClosed = ok;
  ShowWindow(sheet.frame, SW_HIDE);
}

// Cancel: PSN_QUERYCANCEL to the current page (non-zero keeps the sheet), PSN_RESET to every
// created page. `forced` skips the question (a sheet a script left open).
void Cancel(Sheet& sheet, bool forced) {
  if (!forced && sheet.current >= 0 && sheet.pages[sheet.current].window &&
      Notify(sheet.pages[sheet.current].window, PSN_QUERYCANCEL, 0))
    return;
  for (SheetPage& page : sheet.pages)
    if (page.window && UiIsWindow(page.window)) Notify(page.window, PSN_RESET, 0);
  End(sheet, false);
}

void PressButton(Sheet& sheet, int id) {
  if (sheet.ended) return;
  switch (id) {
    case IDOK:
      if (Apply(sheet, true)) End(sheet, true);
      break;
    case IDAPPLY:
      if (HWND apply = GetDlgItem(sheet.frame, IDAPPLY); apply && IsWindowEnabled(apply) && Apply(sheet, false)) {
        // The active page is told again that it is active, as after any apply that keeps the sheet.
        if (sheet.current >= 0 && sheet.pages[sheet.current].window)
          Notify(sheet.pages[sheet.current].window, PSN_SETACTIVE, 0);
      }
      break;
    case IDCANCEL:
      Cancel(sheet, false);
      break;
    case IDHELP:
      if (sheet.current >= 0 && sheet.pages[sheet.current].window) Notify(sheet.pages[sheet.current].window, PSN_HELP, 0);
      break;
  }
}

int PageIndex(const Sheet& sheet, HWND page) {
  for (size_t i = 0; i < sheet.pages.size(); ++i)
    if (sheet.pages[i].window == page) return static_cast<int>(i);
  return -1;
}

LRESULT SheetMessage(Sheet& sheet, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = true;
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL || id == IDAPPLY || id == IDHELP) {
        // Only the frame's own buttons (or a keyboard / menu command without a control).
        HWND from = reinterpret_cast<HWND>(lParam);
        if (!from || GetParent(from) == sheet.frame) {
          PressButton(sheet, id);
          return 0;
        }
      }
      if (sheet.current >= 0 && sheet.pages[sheet.current].window)
        return SendMessageW(sheet.pages[sheet.current].window, WM_COMMAND, wParam, lParam);
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->hwndFrom == sheet.tab && sheet.tab) {
        if (header->code == TCN_SELCHANGING) {
          sheet.killDone = false;
          if (sheet.current >= 0 && sheet.pages[sheet.current].window &&
              Notify(sheet.pages[sheet.current].window, PSN_KILLACTIVE, 0))
            return TRUE;  // the page keeps the focus: the tab does not change
          sheet.killDone = true;
          return FALSE;
        }
        if (header->code == TCN_SELCHANGE) {
          const int index = static_cast<int>(SendMessageW(sheet.tab, TCM_GETCURSEL, 0, 0));
          const bool ask = !sheet.killDone;
          sheet.killDone = false;
          SetCurrent(sheet, index, ask);
          return 0;
        }
      }
      handled = false;
      return 0;
    }
    case WM_CLOSE:
      PressButton(sheet, IDCANCEL);
      return 0;
    case PSM_CHANGED:
    case PSM_UNCHANGED: {
      const int index = PageIndex(sheet, reinterpret_cast<HWND>(wParam));
      if (index >= 0) sheet.pages[index].changed = message == PSM_CHANGED;
      UpdateButtons(sheet);
      return TRUE;
    }
    case PSM_PRESSBUTTON: {
      static constexpr int kButtons[] = {0, 0, 0, IDOK, IDAPPLY, IDCANCEL, IDHELP};
      if (wParam >= std::size(kButtons) || !kButtons[wParam]) return FALSE;
      // As a click: a button that is disabled or hidden cannot be pressed. A button whose id a
      // page changed is pressed all the same, as the sheet's own command.
      HWND button = GetDlgItem(sheet.frame, kButtons[wParam]);
      if (button && (!IsWindowEnabled(button) || !IsWindowVisible(button))) return FALSE;
      PostMessageW(sheet.frame, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(kButtons[wParam]), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
      return TRUE;
    }
    case PSM_SETCURSEL: {
      int index = static_cast<int>(wParam);
      if (lParam) {
        index = -1;
        for (size_t i = 0; i < sheet.pages.size(); ++i)
          if (sheet.pages[i].record == reinterpret_cast<HPROPSHEETPAGE>(lParam)) index = static_cast<int>(i);
      }
      return SetCurrent(sheet, index, true);
    }
    case PSM_SETCURSELID:
      for (size_t i = 0; i < sheet.pages.size(); ++i)
        if (sheet.pages[i].record->templateId == static_cast<WORD>(lParam))
          return SetCurrent(sheet, static_cast<int>(i), true);
      return FALSE;
    case PSM_GETCURRENTPAGEHWND:
      return sheet.current >= 0 ? reinterpret_cast<LRESULT>(sheet.pages[sheet.current].window) : 0;
    case PSM_GETTABCONTROL:
      return reinterpret_cast<LRESULT>(sheet.tab);
    case PSM_APPLY:
      return Apply(sheet, false);
    case PSM_CANCELTOCLOSE:
      if (HWND cancel = GetDlgItem(sheet.frame, IDCANCEL)) EnableWindow(cancel, FALSE);
      if (HWND ok = GetDlgItem(sheet.frame, IDOK)) SetWindowTextW(ok, u"Close");
      return 0;
    case PSM_QUERYSIBLINGS:
      for (const SheetPage& page : sheet.pages)
        if (page.window)
          if (const LRESULT answer = SendMessageW(page.window, PSM_QUERYSIBLINGS, wParam, lParam)) return answer;
      return 0;
    case PSM_RESTARTWINDOWS:
      sheet.restart = std::max<INT_PTR>(sheet.restart, ID_PSRESTARTWINDOWS);
      return 0;
    case PSM_REBOOTSYSTEM:
      sheet.restart = ID_PSREBOOTSYSTEM;
      return 0;
    case PSM_SETTITLEW: {
      std::u16string title = lParam && !IS_INTRESOURCE(reinterpret_cast<LPCWSTR>(lParam))
                                 ? std::u16string(reinterpret_cast<LPCWSTR>(lParam))
                                 : std::u16string();
      if (wParam & PSH_PROPTITLE) title += u" Properties";
      SetWindowTextW(sheet.frame, title.c_str());
      return 0;
    }
    case PSM_ADDPAGE:
    case PSM_REMOVEPAGE:
      return FALSE;
  }
  handled = false;
  return 0;
}

LRESULT FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Sheet* sheet = FindSheet(frame)) {
    bool handled = false;
    const LRESULT answer = SheetMessage(*sheet, message, wParam, lParam, handled);
    if (handled) return answer;
  }
  return DefDlgProcW(frame, message, wParam, lParam);
}

void RegisterFrameClass() {
  WNDCLASSW frameClass{};
  if (GetClassInfoW(nullptr, WC_PROPSHEETFRAME, &frameClass)) return;
  frameClass.lpfnWndProc = FrameProc;
  frameClass.cbWndExtra = DLGWINDOWEXTRA;
  frameClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
  frameClass.lpszClassName = WC_PROPSHEETFRAME;
  RegisterClassW(&frameClass);
}

HWND AddButton(HWND frame, int id, LPCWSTR text, DWORD style, int x, int y) {
  return CreateWindowExW(0, WC_BUTTONW, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, kButtonWidth,
                         kButtonHeight, frame, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

// The frame, its tab control and buttons, laid out around the largest page.
bool BuildFrame(Sheet& sheet, const std::u16string& caption, bool hasHelp) {
  RegisterFrameClass();
  LONG pageWidth = kMinPageWidth, pageHeight = kMinPageHeight;
  for (const SheetPage& page : sheet.pages) {
    pageWidth = std::max(pageWidth, page.record->width);
    pageHeight = std::max(pageHeight, page.record->height);
  }
  const int tabRight = kMargin + pageWidth + 2 * kTabBorder;
  const int tabBottom = kMargin + kTabHeader + pageHeight + kTabBorder;
  const int buttonTop = tabBottom + kMargin;
  const int width = tabRight + kMargin;
  const int height = buttonTop + kButtonHeight + kMargin;
  POINT origin{0, 0};
  if (sheet.owner) {
    RECT owner{};
    if (GetWindowRect(sheet.owner, &owner)) origin = {owner.left + 20, owner.top + 20};
  }
  sheet.frame = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, WC_PROPSHEETFRAME, caption.c_str(),
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK, origin.x, origin.y,
                                width, height, sheet.owner, nullptr, nullptr, nullptr);
  if (!sheet.frame) return false;
  {
    std::lock_guard lock(g_lock);
    Sheets()[sheet.frame] = &sheet;
  }
  sheet.tab = CreateWindowExW(0, WC_TABCONTROLW, u"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, kMargin,
                              kMargin, tabRight - kMargin, tabBottom - kMargin, sheet.frame,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabControlId)), nullptr, nullptr);
  if (!sheet.tab) return false;
  for (size_t i = 0; i < sheet.pages.size(); ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = sheet.pages[i].record->title.data();
    SendMessageW(sheet.tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  sheet.pageArea = {kMargin + kTabBorder, kMargin + kTabHeader, kMargin + kTabBorder + pageWidth,
                    kMargin + kTabHeader + pageHeight};

  // Right to left: Help, Apply, Cancel, OK; hidden buttons take no place.
  struct Button {
    int id;
    LPCWSTR text;
    DWORD style;
    bool shown;
  };
  const Button buttons[] = {{IDOK, u"OK", BS_DEFPUSHBUTTON | WS_GROUP, true},
                            {IDCANCEL, u"Cancel", BS_PUSHBUTTON, true},
                            {IDAPPLY, u"&Apply", BS_PUSHBUTTON, !(sheet.flags & PSH_NOAPPLYNOW)},
                            {IDHELP, u"Help", BS_PUSHBUTTON, hasHelp}};
  int x = width - kMargin;
  for (int i = 3; i >= 0; --i) {
    if (!buttons[i].shown) continue;
    x -= kButtonWidth;
    if (!AddButton(sheet.frame, buttons[i].id, buttons[i].text, buttons[i].style, x, buttonTop)) return false;
    x -= kButtonGap;
  }
  // The frame's own dialog font for itself, its tabs and buttons; pages get their templates'.
  SetUpDialogFont(sheet.frame, u"", 0);
  return UiIsWindow(sheet.frame);
}

void DestroySheet(Sheet& sheet, const std::vector<HPROPSHEETPAGE>& records) {
  {
    std::lock_guard lock(g_lock);
    if (sheet.frame) Sheets().erase(sheet.frame);
  }
  if (sheet.frame && UiIsWindow(sheet.frame)) DestroyWindow(sheet.frame);
  for (HPROPSHEETPAGE page : records) ReleasePage(page);
}

void ResetSheets() {
  std::lock_guard lock(g_lock);
  Sheets().clear();
  SheetScript() = nullptr;
  NextSheetScript() = nullptr;
  for (HPROPSHEETPAGE page : std::vector<HPROPSHEETPAGE>(LivePages().begin(), LivePages().end())) {
    LivePages().erase(page);
    delete page;
  }
}

struct ResetRegistration {
  ResetRegistration() { UiOnReset(ResetSheets); }
} g_resetRegistration;

HPROPSHEETPAGE SheetPageFromWindow(HWND sheet, int index) {
  Sheet* found = FindSheet(sheet);
  if (!found || index < 0 || index >= static_cast<int>(found->pages.size())) return nullptr;
  return found->pages[index].record;
}

}  // namespace
}  // namespace velm::ui

using namespace velm::ui;

extern "C" HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page) {
  if (!page || page->dwSize < PROPSHEETPAGEW_V1_SIZE || page->dwSize > PROPSHEETPAGEW_MAX_SIZE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Pages are made from resources only: the window manager creates dialogs from its templates.
  if (page->dwFlags & PSP_DLGINDIRECT) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (!page->pszTemplate) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  try {
    const auto dialog = LoadPageTemplate(*page);
    if (!dialog) return nullptr;
    auto record = std::make_unique<PropSheetPageRecord>();
    // A record shorter than the current one reads as zero in the fields it lacks.
    const size_t bytes = std::max<size_t>(page->dwSize, sizeof(PROPSHEETPAGEW));
    record->storage.reset(new uint64_t[(bytes + 7) / 8]());
    std::memcpy(record->storage.get(), page, page->dwSize);
    PROPSHEETPAGEW* copy = record->page();
    if (IS_INTRESOURCE(page->pszTemplate)) {
      record->templateId = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(page->pszTemplate));
      copy->pszTemplate = page->pszTemplate;
    } else {
      // The name must outlive the caller's string: templates named "#n" are kept as their number.
      const std::u16string_view name(page->pszTemplate);
      WORD id = 0;
      bool numeric = name.size() > 1 && name[0] == u'#';
      for (size_t i = 1; numeric && i < name.size(); ++i) {
        numeric = name[i] >= u'0' && name[i] <= u'9' && id < 6554;
        id = static_cast<WORD>(id * 10 + (name[i] - u'0'));
      }
      if (!numeric) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
      }
      record->templateId = id;
      copy->pszTemplate = MAKEINTRESOURCEW(id);
    }
    if ((page->dwFlags & PSP_USETITLE) && page->pszTitle && !IS_INTRESOURCE(page->pszTitle))
      record->title = page->pszTitle;
    else
      record->title = dialog->caption;
    copy->pszTitle = nullptr;  // the caller's string may not live as long as the page
    copy->dwFlags &= ~PSP_USETITLE;
    record->width = std::max<LONG>(dialog->width, 0);
    record->height = std::max<LONG>(dialog->height, 0);
    HPROPSHEETPAGE handle = record.release();
    {
      std::lock_guard lock(g_lock);
      LivePages().insert(handle);
    }
    if ((copy->dwFlags & PSP_USEREFPARENT) && copy->pcRefParent) ++*copy->pcRefParent;
    if ((copy->dwFlags & PSP_USECALLBACK) && copy->pfnCallback) copy->pfnCallback(nullptr, PSPCB_ADDREF, copy);
    return handle;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

extern "C" BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page) {
  if (!IsLivePage(page)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ReleasePage(page);
  return TRUE;
}

extern "C" INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header) {
  // The sheet owns the pages it is given from here on, whatever happens.
  std::vector<HPROPSHEETPAGE> records;
  auto fail = [&](DWORD error) -> INT_PTR {
    for (HPROPSHEETPAGE page : records) ReleasePage(page);
    SetLastError(error);
    return -1;
  };
  if (!header) return fail(ERROR_INVALID_PARAMETER);
  const bool byRecord = header->dwFlags & PSH_PROPSHEETPAGE;
  if (!byRecord && header->phpage)
    for (UINT i = 0; i < std::min(header->nPages, MAXPROPPAGES); ++i)
      if (IsLivePage(header->phpage[i])) records.push_back(header->phpage[i]);
  if (header->dwSize < offsetof(PROPSHEETHEADERW, pfnCallback) || header->nPages == 0 ||
      header->nPages > MAXPROPPAGES || (header->dwFlags & PSH_MODELESS) || (byRecord ? !header->ppsp : !header->phpage) ||
      (!byRecord && records.size() != header->nPages))
    return fail(ERROR_INVALID_PARAMETER);
  if (byRecord) {
    const BYTE* at = reinterpret_cast<const BYTE*>(header->ppsp);
    for (UINT i = 0; i < header->nPages; ++i) {
      const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(at);
      HPROPSHEETPAGE created = CreatePropertySheetPageW(page);
      if (!created) return fail(GetLastError());
      records.push_back(created);
      at += page->dwSize;
    }
  }

  try {
    Sheet sheet;
    sheet.owner = header->hwndParent;
    sheet.flags = header->dwFlags;
    for (HPROPSHEETPAGE page : records) sheet.pages.push_back({page, nullptr, false});
    bool hasHelp = header->dwFlags & PSH_HASHELP;
    for (HPROPSHEETPAGE page : records) hasHelp = hasHelp || (page->page()->dwFlags & PSP_HASHELP);
    std::u16string caption =
        header->pszCaption && !IS_INTRESOURCE(header->pszCaption) ? std::u16string(header->pszCaption) : u"";
    if (header->dwFlags & PSH_PROPTITLE) caption += u" Properties";

    if (!BuildFrame(sheet, caption, hasHelp)) {
      DestroySheet(sheet, records);
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return -1;
    }
    int start = 0;
    if (header->dwFlags & PSH_USEPSTARTPAGE) {
      if (header->pStartPage && !IS_INTRESOURCE(header->pStartPage))
        for (size_t i = 0; i < sheet.pages.size(); ++i)
          if (sheet.pages[i].record->title == header->pStartPage) start = static_cast<int>(i);
    } else if (header->nStartPage < sheet.pages.size()) {
      start = static_cast<int>(header->nStartPage);
    }
    const bool ownerWasEnabled = sheet.owner && IsWindowEnabled(sheet.owner);
    if (ownerWasEnabled) EnableWindow(sheet.owner, FALSE);
    ShowWindow(sheet.frame, SW_SHOW);
    // A start page that cannot be created gives way to the first one that can.
    bool shown = SetCurrent(sheet, start, false);
    for (size_t i = 0; !shown && i < sheet.pages.size(); ++i) shown = SetCurrent(sheet, static_cast<int>(i), false);
    if (!shown) {
      // The page's own failure (a missing template, an unknown control class) says why.
      const DWORD cause = GetLastError();
      if (ownerWasEnabled) EnableWindow(sheet.owner, TRUE);
      DestroySheet(sheet, records);
      SetLastError(cause ? cause : ERROR_INVALID_DATA);
      return -1;
    }

    std::function<void(HWND)> script;
    {
      std::lock_guard lock(g_lock);
      script = NextSheetScript() ? std::exchange(NextSheetScript(), nullptr) : SheetScript();
    }
    if (!sheet.ended) {
      if (script)
        script(sheet.frame);
      else
        UiReportUnexpected("property sheet \"" + Utf16ToUtf8(caption) + "\" opened without a sheet script");
    }
    while (!sheet.ended && UiPump() > 0) {
    }
    if (!sheet.ended) {
      if (script) UiReportUnexpected("property sheet \"" + Utf16ToUtf8(caption) + "\" left open by its script");
      Cancel(sheet, true);
    }
    if (ownerWasEnabled) EnableWindow(sheet.owner, TRUE);
    const bool saved = sheet.okClosed || sheet.saved;
    const INT_PTR restart = sheet.restart;
    DestroySheet(sheet, records);
    if (!saved) return 0;
    return restart ? restart : 1;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return -1;
  }
}

void UiSetSheetScript(std::function<void(HWND sheet)> script) {
  std::lock_guard lock(g_lock);
  SheetScript() = std::move(script);
}

void UiSetNextSheetScript(std::function<void(HWND sheet)> script) {
  std::lock_guard lock(g_lock);
  NextSheetScript() = std::move(script);
}

HWND UiSheetPageWindow(HWND sheet, int index) {
  Sheet* found = FindSheet(sheet);
  if (!found || index < 0 || index >= static_cast<int>(found->pages.size())) return nullptr;
  return found->pages[index].window;
}

int UiSheetPageCount(HWND sheet) {
  Sheet* found = FindSheet(sheet);
  return found ? static_cast<int>(found->pages.size()) : 0;
}

int UiSheetCurrentIndex(HWND sheet) {
  Sheet* found = FindSheet(sheet);
  return found ? found->current : -1;
}

WORD UiSheetPageTemplateId(HWND sheet, int index) {
  HPROPSHEETPAGE page = SheetPageFromWindow(sheet, index);
  return page ? page->templateId : 0;
}

bool UiIsSheetFrame(HWND window) {
  const Sheet* found = FindSheet(window);
  return found && !found->ended;
}
