#include "ui2k/controls/edit_controls.h"

#include "data/item_ids.h"
#include "data/page_ids.h"
#include "settings/description/image.h"
#include "settings/items/store.h"
#include "settings/items/page_control_extras.h"
#include "settings/items/unit_conversion.h"
#include "settings/services/resource_strings.h"
#include "ui2k/controls/control_classes.h"
#include "ui2k/controls/listed_values.h"
#include "ui2k/pages/hint_window.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/page_framework.h"

namespace {

constexpr int kEditTextChars = 522;         // an edit's text as the item gives it
constexpr int kLinesChars = 10240;          // an edit's text built from its line list
constexpr int kLongTextChars = 260;         // the limit of an edit with kCtlFlagLongText
constexpr int kSuffixChars = 17;            // a unit suffix and its terminator
constexpr int kNumberChars = 64;
constexpr WORD kDefaultDecimalChars = 6;    // a decimal edit's text without a range record
constexpr DWORD kDivisorMetric = 10;        // 0.1 mm
constexpr DWORD kDivisorInch = 100;         // 0.01 inch
// The largest whole millimetres and inches whose dot count fits 31 bits.
constexpr LONGLONG kMaxWholeMetric = 45455070;
constexpr LONGLONG kMaxWholeInch = 1789569;
constexpr LONG kSpinDefaultMin = -100, kSpinDefaultMax = 100;
constexpr LONG kSliderDefaultMin = 0, kSliderDefaultMax = 200;
constexpr int kSliderLineStep = 1, kSliderPageStep = 10;
constexpr LONGLONG kScaleGaps = 20;         // at most this many gaps between a scale's ticks
constexpr LONG kTickHeight = 3;
constexpr WPARAM kKeyUp = 38, kKeyDown = 40;
constexpr WPARAM kCharBackspace = 8;

// ---- The item's numbers ----------------------------------------------------------------

struct Range {
  bool given = false;
  DescRange record;
};

Range RangeOf(const UiContext* ui, const PageItemTemplate* row) {
  Range range;
  if (row->node && ui->driver->description)
    range.given = DescNodeRange(ui->driver->description, row->node, &range.record) != FALSE;
  return range;
}

bool IsLength(const PageItemTemplate* row) { return (row->flags & kCtlFlagLength) != 0; }

int ItemType(const PageItemTemplate* row) { return row->itemRow ? DescriptorType(row->itemRow->descriptor) : 0; }

LONG StoredValue(const UiContext* ui, const PageItemTemplate* row) {
  return static_cast<LONG>(OptGetValue(ui->driver, row->itemId));
}

LONG ToDisplay(const UiContext* ui, LONG dots) { return static_cast<LONG>(DmDotsToDisplayUnits(ui->driver, 0, dots)); }
LONG ToDots(const UiContext* ui, LONG units) { return static_cast<LONG>(DmDisplayUnitsToDots(ui->driver, 0, units)); }

DWORD DivisorOf(const UiContext* ui, const PageItemTemplate* row, const Range& range) {
  if (IsLength(row)) return OptIsMetricUnit(ui->driver) ? kDivisorMetric : kDivisorInch;
  const DWORD scale = range.given ? range.record.n4 : 1;
  return scale > 1 ? scale : 1;
}

// The range as the control shows it: lengths in display units, the minimum rounded up and the
// maximum down; `fallback` bounds an item without a range record.
void ShownRange(const UiContext* ui, const PageItemTemplate* row, const Range& range, LONG fallbackMin,
                LONG fallbackMax, LONG* minimum, LONG* maximum) {
  if (!range.given) {
    *minimum = fallbackMin;
    *maximum = fallbackMax;
    return;
  }
  if (!IsLength(row)) {
    *minimum = range.record.minimum;
    *maximum = range.record.maximum;
    return;
  }
  DWORD low = 0, high = 0;
  const int unit = OptIsMetricUnit(ui->driver) ? kUnitTenthMm : kUnitHundredthInch;
  DmDotsRangeToUnits(unit, static_cast<DWORD>(range.record.minimum < 0 ? 0 : range.record.minimum),
                     static_cast<DWORD>(range.record.maximum < 0 ? 0 : range.record.maximum), &low, &high);
  *minimum = static_cast<LONG>(low);
  *maximum = static_cast<LONG>(high);
}

LONG ShownValue(const UiContext* ui, const PageItemTemplate* row) {
  const LONG stored = StoredValue(ui, row);
  return IsLength(row) ? ToDisplay(ui, stored) : stored;
}

LONG Clamp(LONG value, LONG minimum, LONG maximum) {
  return value < minimum ? minimum : value > maximum ? maximum : value;
}

// A value applied through the change operation; the sheet hears of a change that was not
// refused, and the item's edits show the value (even one with the focus). 1 when refused.
int Apply(UiContext* ui, HWND page, PageItemTemplate* row, LONG value) {
  const int refused = PageApplyItemChange(ui, page, row, static_cast<DWORD>(value), TRUE);
  if (!refused) SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
  CtlSetRedisplayMark(ui, row->itemId, TRUE);
  return refused;
}

// A shown value as the item stores it: lengths as dots.
LONG StoredOfShown(const UiContext* ui, const PageItemTemplate* row, LONG shown) {
  return IsLength(row) ? ToDots(ui, shown) : shown;
}

int ApplyShown(UiContext* ui, HWND page, PageItemTemplate* row, LONG shown) {
  return Apply(ui, page, row, StoredOfShown(ui, row, shown));
}

bool Enabled(const PageItemTemplate* row) { return row->window && IsWindowEnabled(row->window); }

WORD PageIdOf(HWND page) {
  const PageWindow* record = PageRecordOf(page);
  return record && record->page ? record->page->id : 0;
}

// The words of the row's extra data; null without any.
const WORD* ExtraWords(HWND page, const PageItemTemplate* row) {
  const PageControlExtra* extra = CtlExtraOf(page, *row);
  return extra ? extra->words : nullptr;
}

// ---- Text ------------------------------------------------------------------------------

bool Same(const WCHAR* a, const WCHAR* b) { return lstrcmpW(a, b) == 0; }

bool EndsWith(const WCHAR* text, const WCHAR* suffix) {
  return suffix[0] && WStringView(text).ends_with(suffix);
}

void SetTextWhenDifferent(HWND window, const WCHAR* text) {
  WCHAR shown[kLinesChars] = {};
  GetWindowTextW(window, shown, kLinesChars);
  if (!Same(shown, text)) SetWindowTextW(window, text);
}

// "\n" as "\r\n" (`toWindow`) or back.
void ConvertLineBreaks(const WCHAR* from, WCHAR* to, DWORD capacity, bool toWindow) {
  DWORD n = 0;
  for (; *from && n + 2 < capacity; ++from) {
    if (toWindow && *from == WCH('\n')) to[n++] = WCH('\r');
    if (!toWindow && from[0] == WCH('\r') && from[1] == WCH('\n')) continue;
    to[n++] = *from;
  }
  to[n] = 0;
}

bool IsBlank(WCHAR c) { return c == WCH(' ') || c == WCH('\t') || c == 0x3000; }

void TrimBlanks(WCHAR* text) {
  int start = 0, end = lstrlenW(text);
  while (start < end && IsBlank(text[start])) ++start;
  while (end > start && IsBlank(text[end - 1])) --end;
  for (int i = start; i < end; ++i) text[i - start] = text[i];
  text[end - start] = 0;
}

// The unit suffix of the range; a length shown in inches takes the inch unit's name instead.
void SuffixOf(const UiContext* ui, const PageItemTemplate* row, const Range& range, WCHAR* suffix) {
  suffix[0] = 0;
  if (!range.given || !range.record.n2) return;
  const UINT string = IsLength(row) && !OptIsMetricUnit(ui->driver) ? kStringInchUnit : range.record.n2;
  ResLoadString(ui->driver, string, suffix, kSuffixChars, FALSE);
}

// The decimal edit's text for `shown`: the number and the unit suffix.
void DecimalText(const UiContext* ui, const PageItemTemplate* row, const Range& range, LONG shown, WCHAR* text,
                 DWORD capacity) {
  CtlFormatDecimal(shown, DivisorOf(ui, row, range), text, capacity);
  WCHAR suffix[kSuffixChars];
  SuffixOf(ui, row, range, suffix);
  StringCchCatW(text, capacity, suffix);
}

// The text the decimal edit shows for the stored value, kept inside the shown range.
void CurrentDecimalText(const UiContext* ui, const PageItemTemplate* row, const Range& range, WCHAR* text,
                        DWORD capacity) {
  LONG minimum = 0, maximum = 0;
  ShownRange(ui, row, range, LONG(0x80000000), 0x7FFFFFFF, &minimum, &maximum);
  DecimalText(ui, row, range, Clamp(ShownValue(ui, row), minimum, maximum), text, capacity);
}

// A typed number as CtlParseDecimal reads it, except that a '-' before the first digit makes it
// negative where the shown range reaches below 0.
LONG ParseTyped(const WCHAR* text, DWORD divisor, LONG minimum) {
  const WCHAR* digits = text;
  bool negative = false;
  while (*digits && (*digits < WCH('0') || *digits > WCH('9'))) negative |= *digits++ == WCH('-');
  return negative && minimum < 0 ? -CtlParseDecimal(digits, divisor) : CtlParseDecimal(text, divisor);
}

// The decimal edit's text as a shown value.
LONG ParseDecimalText(const UiContext* ui, const PageItemTemplate* row, const Range& range, const WCHAR* text) {
  LONG minimum = 0, maximum = 0;
  ShownRange(ui, row, range, 0, 0, &minimum, &maximum);
  return ParseTyped(text, DivisorOf(ui, row, range), minimum);
}

// The text of an item: a string item's text, else its number.
void ItemText(UiContext* ui, WORD item, WCHAR* text, DWORD capacity) {
  ItemTableRow* itemRow = nullptr;
  const DWORD value = OptGetValue(ui->driver, item, &itemRow);
  text[0] = 0;
  if (!itemRow) return;
  const int type = DescriptorType(itemRow->descriptor);
  if (type == kTypeAnsi || type == kTypeWide || type == kTypeAnsiAlt || type == kTypeWideAlt)
    OptGetString(ui->driver, itemRow, text, capacity);
  else
    wsprintfW(text, WSTR("%ld"), static_cast<LONG>(value));
}

// An edit's line list (kind 7 extra data): each line's label and its item's text (the
// alternative item's when the first item is not 1), the lines joined by line breaks.
void JoinLines(UiContext* ui, const WORD* lines, WCHAR* text, DWORD capacity) {
  WCHAR part[kEditTextChars];
  for (WORD n = 0; n < lines[1]; ++n) {
    const WORD* line = lines + 2 + 3 * n;
    const WORD item = line[2] && OptGetValue(ui->driver, line[1]) != 1 ? line[2] : line[1];
    if (n) StringCchCatW(text, capacity, WSTR("\r\n"));
    ResLoadString(ui->driver, line[0], part, kEditTextChars, FALSE);
    StringCchCatW(text, capacity, part);
    ItemText(ui, item, part, kEditTextChars);
    StringCchCatW(text, capacity, part);
  }
}

// ---- Decimal edit ------------------------------------------------------------------------

// A typed length past what its item or 32 bits of dots can hold.
bool LengthOverflows(const UiContext* ui, const PageItemTemplate* row, DWORD divisor, LONG shown) {
  const LONGLONG whole = shown / static_cast<LONG>(divisor);
  if (whole > (divisor == kDivisorMetric ? kMaxWholeMetric : kMaxWholeInch)) return true;
  const LONG dots = ToDots(ui, shown);
  if (dots < 0) return true;
  if (ItemType(row) == kTypeS16) return dots > 0x7FFF;
  if (ItemType(row) == kTypeU16) return dots > 0xFFFF;
  return false;
}

// TRUE when the typed number was stored.
BOOL TypedDecimal(UiContext* ui, PageItemTemplate* row) {
  if (!IsNumberType(ItemType(row))) return FALSE;
  const Range range = RangeOf(ui, row);
  WCHAR text[kNumberChars] = {}, current[kNumberChars];
  GetWindowTextW(row->window, text, kNumberChars);
  // The shown value itself (also the text the class just set) stores nothing: lengths keep
  // their exact dots.
  CurrentDecimalText(ui, row, range, current, kNumberChars);
  if (Same(text, current)) return FALSE;
  const DWORD divisor = DivisorOf(ui, row, range);
  const LONG shown = ParseDecimalText(ui, row, range, text);
  if (IsLength(row) && LengthOverflows(ui, row, divisor, shown)) {
    PostMessageW(row->window, WM_CHAR, kCharBackspace, 0);
    return FALSE;
  }
  const LONG value = StoredOfShown(ui, row, shown);
  if (value == StoredValue(ui, row)) return FALSE;
  OptSetValue(ui->driver, row->itemId, static_cast<DWORD>(value));
  return TRUE;
}

// The number takes the range's text length; the suffix adds its own while the text ends with it.
void GrowLimitForSuffix(UiContext* ui, PageItemTemplate* row) {
  const Range range = RangeOf(ui, row);
  WCHAR suffix[kSuffixChars], text[kNumberChars] = {};
  SuffixOf(ui, row, range, suffix);
  GetWindowTextW(row->window, text, kNumberChars);
  const WORD chars = range.given ? range.record.n3 : kDefaultDecimalChars;
  SendMessageW(row->window, EM_SETLIMITTEXT, chars + (EndsWith(text, suffix) ? lstrlenW(suffix) : 0), 0);
}

// The typed number is applied as one change from the value the edit had when it got the focus
// (typing stored each number unchecked): a refusal puts that value back; a number equal to it
// is checked again.
void LeaveDecimal(UiContext* ui, HWND page, PageItemTemplate* row) {
  const Range range = RangeOf(ui, row);
  WCHAR text[kNumberChars] = {}, current[kNumberChars];
  GetWindowTextW(row->window, text, kNumberChars);
  CurrentDecimalText(ui, row, range, current, kNumberChars);
  LONG value = StoredValue(ui, row);
  if (!(IsLength(row) && Same(text, current))) {
    const LONG shown = ParseDecimalText(ui, row, range, text);
    value = StoredOfShown(ui, row, shown);
  }
  const bool entered = ui->state.focusedDecimalItem == row->itemId;
  const LONG before = entered ? static_cast<LONG>(ui->state.focusedDecimalValue) : StoredValue(ui, row);
  ui->state.focusedDecimalItem = 0;
  if (value != before) {
    OptSetValue(ui->driver, row->itemId, static_cast<DWORD>(before));
    Apply(ui, page, row, value);
  } else {
    if (value != StoredValue(ui, row)) OptSetValue(ui->driver, row->itemId, static_cast<DWORD>(value));
    if (row->node) PageCheckNodeConflict(ui, row->node, page);
  }
  if (PageIdOf(page) == kPageDialogFreesize && IsLength(row) && range.given) {
    LONG minimum = 0, maximum = 0;
    ShownRange(ui, row, range, 0, 0, &minimum, &maximum);
    const LONG shown = ShownValue(ui, row);
    if (shown != Clamp(shown, minimum, maximum)) ApplyShown(ui, page, row, Clamp(shown, minimum, maximum));
  }
  CtlSetRedisplayMark(ui, row->itemId, TRUE);
  InvalidateRect(row->window, nullptr, TRUE);
}

// Up adds and down subtracts one shown unit; at the bound nothing happens.
LRESULT StepDecimal(UiContext* ui, HWND page, PageItemTemplate* row, WPARAM key) {
  if (row->flags & kCtlFlagNoArrowSteps) return 0;
  const Range range = RangeOf(ui, row);
  LONG minimum = 0, maximum = 0;
  ShownRange(ui, row, range, LONG(0x80000000), 0x7FFFFFFF, &minimum, &maximum);
  const LONG shown = ShownValue(ui, row);
  if ((key == kKeyUp && shown >= maximum) || (key == kKeyDown && shown <= minimum)) return 1;
  const LONG next = Clamp(key == kKeyUp ? shown + 1 : shown - 1, minimum, maximum);
  ApplyShown(ui, page, row, next);
  // The step is checked: leaving the edit starts from it.
  if (ui->state.focusedDecimalItem == row->itemId)
    ui->state.focusedDecimalValue = static_cast<DWORD>(StoredValue(ui, row));
  CtlDecimalShow(ui, page, row, WM_PAINT, 0, 0);
  return 1;
}

// ---- Scroll bars -------------------------------------------------------------------------

void SetScroll(HWND window, UINT mask, LONG minimum, LONG maximum, LONG position) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = mask;
  info.nMin = minimum;
  info.nMax = maximum;
  info.nPos = position;
  SetScrollInfo(window, SB_CTL, &info, TRUE);
}

SCROLLINFO GetScroll(HWND window) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_POS | SIF_TRACKPOS;
  GetScrollInfo(window, SB_CTL, &info);
  return info;
}

// A spin of a length follows its own flag or its partner edit's.
bool SpinIsLength(HWND page, const PageItemTemplate* row) {
  if (IsLength(row)) return true;
  const PageItemTemplate* partner = row->partnerId ? PageFindRow(page, row->partnerId) : nullptr;
  return partner && IsLength(partner);
}

struct SpinView {
  bool length;
  LONG minimum, maximum, shown;
};

SpinView SpinViewOf(const UiContext* ui, HWND page, PageItemTemplate* row) {
  PageItemTemplate probe = *row;
  if (SpinIsLength(page, row)) probe.flags |= kCtlFlagLength;
  SpinView view{IsLength(&probe), 0, 0, 0};
  ShownRange(ui, &probe, RangeOf(ui, row), kSpinDefaultMin, kSpinDefaultMax, &view.minimum, &view.maximum);
  view.shown = Clamp(ShownValue(ui, &probe), view.minimum, view.maximum);
  return view;
}

bool HasSteps(HWND page, const PageItemTemplate* row) {
  const WORD* extra = ExtraWords(page, row);
  return extra && extra[0] == kExtraSliderSteps && extra[3];
}

// The slider's line and page steps: 1 and 10, or the words of its kind-3 extra data.
void SliderSteps(HWND page, const PageItemTemplate* row, int* line, int* pageStep) {
  *line = kSliderLineStep;
  *pageStep = kSliderPageStep;
  if (!HasSteps(page, row)) return;
  const WORD* extra = ExtraWords(page, row);
  *line = extra[1];
  *pageStep = extra[2];
}

void TurnThemeOff(HWND window) {
  HMODULE theme = LoadLibraryW(WSTR("UxTheme.DLL"));
  if (!theme) return;
  using SetThemeProc = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  if (auto set = reinterpret_cast<SetThemeProc>(reinterpret_cast<void*>(GetProcAddress(theme, "SetWindowTheme"))))
    set(window, WSTR(" "), WSTR(" "));
  FreeLibrary(theme);
}

// The 0x54 slider's arrow buttons at the ends of its client area, as wide as the system's
// scroll-bar arrows (at most half the bar).
RECT ArrowBox(HWND window, bool plus) {
  RECT client{};
  GetClientRect(window, &client);
  const LONG width = client.right - client.left, arrow = GetSystemMetrics(SM_CXHSCROLL);
  const LONG side = arrow < width / 2 ? arrow : width / 2;
  return plus ? RECT{client.right - side, client.top, client.right, client.bottom}
              : RECT{client.left, client.top, client.left + side, client.bottom};
}

// An arrow button drawn as a minus or a plus sign in a raised (or pressed) frame; an arrow that
// cannot move the value has a grey sign.
void PaintArrow(HDC dc, RECT box, bool plus, bool pressed, bool active) {
  FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &box, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  const LONG side = box.right - box.left, arm = side / 4, middleX = (box.left + box.right) / 2,
             middleY = (box.top + box.bottom) / 2, offset = pressed ? 1 : 0;
  HBRUSH ink = GetSysColorBrush(active ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  const RECT across{middleX - arm + offset, middleY - 1 + offset, middleX + arm + offset, middleY + 1 + offset};
  FillRect(dc, &across, ink);
  if (!plus) return;
  const RECT down{middleX - 1 + offset, middleY - arm + offset, middleX + 1 + offset, middleY + arm + offset};
  FillRect(dc, &down, ink);
}

// The scale: the arrows as minus and plus, and between them a tick at every page step (at most
// kScaleGaps gaps) along the bottom of the track, from the minimum to the maximum.
void PaintScale(HDC dc, HWND page, const PageItemTemplate* row) {
  const SCROLLINFO info = GetScroll(row->window);
  const RECT minus = ArrowBox(row->window, false), plus = ArrowBox(row->window, true);
  PaintArrow(dc, minus, false, false, info.nPos > info.nMin);
  PaintArrow(dc, plus, true, false, info.nPos < info.nMax);
  int line = 0, pageStep = 0;
  SliderSteps(page, row, &line, &pageStep);
  const LONGLONG span = static_cast<LONGLONG>(info.nMax) - info.nMin;
  LONGLONG step = pageStep > 0 ? pageStep : 1;
  if (span / step > kScaleGaps) step = (span + kScaleGaps - 1) / kScaleGaps;
  const LONG left = minus.right, width = plus.left - minus.right - 1;
  HBRUSH ink = GetSysColorBrush(IsWindowEnabled(row->window) ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  for (LONGLONG at = 0; span > 0 && width > 0 && at <= span; at += step) {
    const LONG x = left + static_cast<LONG>(at * width / span);
    const RECT tick{x, minus.bottom - kTickHeight, x + 1, minus.bottom};
    FillRect(dc, &tick, ink);
  }
}

// A click on one of the 0x54 slider's arrow buttons: a popup drawn as the pressed arrow is laid
// over it.
void PressArrow(UiContext* ui, PageItemTemplate* row, LPARAM lParam) {
  const POINT at{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
  const RECT minus = ArrowBox(row->window, false), plus = ArrowBox(row->window, true);
  const bool left = PtInRect(&minus, at) != FALSE, right = PtInRect(&plus, at) != FALSE;
  if (!left && !right) return;
  const SCROLLINFO info = GetScroll(row->window);
  if ((left && info.nPos <= info.nMin) || (right && info.nPos >= info.nMax)) return;
  CtlSliderEndPress(ui);
  PageHideHint(ui);
  const RECT box = right ? plus : minus;
  POINT corner{box.left, box.top};
  ClientToScreen(row->window, &corner);
  HWND popup = CreateWindowExW(0, WSTR("STATIC"), WSTR(""), WS_POPUP | WS_VISIBLE, corner.x, corner.y,
                               box.right - box.left, box.bottom - box.top, row->window, nullptr, nullptr, nullptr);
  ui->state.pressedArrow = popup;
  if (HDC dc = popup ? GetDC(popup) : nullptr) {
    PaintArrow(dc, RECT{0, 0, box.right - box.left, box.bottom - box.top}, right, true, true);
    ReleaseDC(popup, dc);
  }
}

}  // namespace

// ---- Decimal numbers --------------------------------------------------------------------

int CtlFormatDecimal(LONG value, DWORD divisor, WCHAR* buffer, DWORD capacity) {
  if (!buffer || capacity == 0) return 0;
  int decimals = 0;
  for (DWORD d = divisor; d > 1 && decimals < 5; d /= 10) ++decimals;
  const bool negative = value < 0;
  const unsigned long long magnitude =
      negative ? 0ull - static_cast<long long>(value) : static_cast<unsigned long long>(value);
  WCHAR text[kNumberChars];
  if (decimals >= 1 && decimals <= 4) {
    static const WCHAR* const kFormats[] = {WSTR("%s%lu.%01u"), WSTR("%s%lu.%02u"), WSTR("%s%lu.%03u"),
                                            WSTR("%s%lu.%04u")};
    wsprintfW(text, kFormats[decimals - 1], negative ? WSTR("-") : WSTR(""),
              static_cast<unsigned long>(magnitude / divisor), static_cast<unsigned>(magnitude % divisor));
  } else {
    wsprintfW(text, WSTR("%ld"), value);
  }
  DWORD n = 0;
  for (; text[n] && n + 1 < capacity; ++n) buffer[n] = text[n];
  buffer[n] = 0;
  return static_cast<int>(n);
}

LONG CtlParseDecimal(const WCHAR* text, DWORD divisor) {
  if (!text) return 0;
  const DWORD scale = divisor > 1 ? divisor : 1;
  constexpr long long kCeiling = 0x7FFFFFFF;
  bool negative = false;
  while (*text && (*text < WCH('0') || *text > WCH('9'))) negative |= *text++ == WCH('-');
  if (!*text) return 0;
  long long whole = 0;
  for (; *text >= WCH('0') && *text <= WCH('9'); ++text)
    if (whole <= kCeiling) whole = whole * 10 + (*text - WCH('0'));
  long long fraction = 0;
  DWORD place = scale;
  if (*text == WCH('.'))
    for (++text; place > 1 && *text >= WCH('0') && *text <= WCH('9'); ++text) {
      place /= 10;
      fraction += (*text - WCH('0')) * static_cast<long long>(place);
    }
  if (negative) return 0;
  const long long value = whole > kCeiling ? kCeiling + 1 : whole * scale + fraction;
  return static_cast<LONG>(value > kCeiling ? kCeiling : value);
}

void CtlSetRedisplayMark(UiContext* ui, WORD item, BOOL set) {
  if (!ui || item >= 32 * 32) return;
  DWORD& bits = ui->state.redisplayMarks[item / 32];
  bits = set ? bits | (1u << (item % 32)) : bits & ~(1u << (item % 32));
}

BOOL CtlHasRedisplayMark(const UiContext* ui, WORD item) {
  return ui && item < 32 * 32 && (ui->state.redisplayMarks[item / 32] >> (item % 32) & 1u);
}

// ---- Edit -------------------------------------------------------------------------------

LRESULT CtlEditInit(UiContext* ui, HWND, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  if (!row->window || !row->itemRow) return 0;
  DWORD limit = 0;
  DescStringBlock block{};
  if (row->node && ui->driver->description && DescNodeString(ui->driver->description, row->node, &block) &&
      block.length) {
    limit = block.length;
    if ((row->flags & kCtlFlagLongText) && limit > kLongTextChars) limit = kLongTextChars;
  } else {
    const DWORD bytes = static_cast<DWORD>(DescriptorLength(row->itemRow->descriptor));
    const bool wide = ItemType(row) == kTypeWide || ItemType(row) == kTypeWideAlt;
    const DWORD chars = wide ? bytes / 2 : bytes;
    limit = chars > 0 ? chars - 1 : 0;
  }
  SendMessageW(row->window, EM_SETLIMITTEXT, limit, 0);
  return 0;
}

// The text being typed stays: it is committed when the edit loses the focus.
LRESULT CtlEditShow(UiContext* ui, HWND page, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  if (!row->window) return 0;
  if (const WORD* lines = ExtraWords(page, row); lines && lines[0] == kExtraEditLines) {
    WCHAR text[kLinesChars] = {};
    JoinLines(ui, lines, text, kLinesChars);
    SetTextWhenDifferent(row->window, text);
    return 0;
  }
  if (!row->itemRow) return 0;
  WCHAR stored[kEditTextChars] = {}, shown[kEditTextChars * 2];
  OptGetString(ui->driver, row->itemRow, stored, kEditTextChars);
  const bool multiLine = (GetWindowLongW(row->window, GWL_STYLE) & ES_MULTILINE) != 0;
  ConvertLineBreaks(stored, shown, kEditTextChars * 2, multiLine);
  if (GetFocus() != row->window) SetTextWhenDifferent(row->window, multiLine ? shown : stored);
  return 0;
}

// The trimmed text is stored and checked against the item's alerts; a refusal puts the previous
// text back.
LRESULT CtlEditCommand(UiContext* ui, HWND page, PageItemTemplate* row, UINT, WPARAM wParam, LPARAM) {
  if (HIWORD(wParam) != EN_KILLFOCUS || !row->window || !row->itemRow) return 0;
  WCHAR typed[kEditTextChars * 2] = {}, text[kEditTextChars * 2], stored[kEditTextChars] = {};
  GetWindowTextW(row->window, typed, kEditTextChars * 2);
  ConvertLineBreaks(typed, text, kEditTextChars * 2, false);
  TrimBlanks(text);
  OptGetString(ui->driver, row->itemRow, stored, kEditTextChars);
  if (Same(text, stored)) return 0;
  OptSetString(ui->driver, row->itemRow, text);
  if (PageApplyItemChange(ui, page, row, 0, FALSE))
    OptSetString(ui->driver, row->itemRow, stored);
  else
    SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
  return 1;
}

// ---- Decimal edit -------------------------------------------------------------------------

LRESULT CtlDecimalInit(UiContext* ui, HWND, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  if (!row->window) return 0;
  const Range range = RangeOf(ui, row);
  WCHAR suffix[kSuffixChars];
  SuffixOf(ui, row, range, suffix);
  const WORD chars = range.given ? range.record.n3 : kDefaultDecimalChars;
  SendMessageW(row->window, EM_SETLIMITTEXT, chars + lstrlenW(suffix), 0);
  return 0;
}

LRESULT CtlDecimalShow(UiContext* ui, HWND, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  if (!row->window || !row->itemId) return 0;
  const Range range = RangeOf(ui, row);
  WCHAR text[kNumberChars] = {};
  GetWindowTextW(row->window, text, kNumberChars);
  const LONG parsed = ParseDecimalText(ui, row, range, text);
  const bool focused = GetFocus() == row->window;
  const bool marked = CtlHasRedisplayMark(ui, row->itemId) != FALSE;
  const bool unitMarked = IsLength(row) && CtlHasRedisplayMark(ui, kItemUnit);
  // While the user types, the page's refresh after each notification leaves the text alone.
  if (focused && !marked && !unitMarked) return 0;
  if (!unitMarked && text[0] && !marked && parsed == ShownValue(ui, row)) return 0;
  if (IsLength(row) && !text[0] && range.given && IsWindowVisible(row->window)) {
    const LONG stored = StoredValue(ui, row);
    const LONG bounded = Clamp(stored, range.record.minimum, range.record.maximum);
    if (bounded != stored) OptSetValue(ui->driver, row->itemId, static_cast<DWORD>(bounded));
  }
  WCHAR shown[kNumberChars];
  CurrentDecimalText(ui, row, range, shown, kNumberChars);
  SetTextWhenDifferent(row->window, shown);
  CtlSetRedisplayMark(ui, row->itemId, FALSE);
  return 0;
}

LRESULT CtlDecimalCommand(UiContext* ui, HWND, PageItemTemplate* row, UINT, WPARAM wParam, LPARAM) {
  if (!row->window || !row->itemId) return 0;
  if (HIWORD(wParam) == EN_CHANGE) return TypedDecimal(ui, row);
  if (HIWORD(wParam) == EN_UPDATE) GrowLimitForSuffix(ui, row);
  return 0;
}

LRESULT CtlDecimalMessage(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM) {
  if (!row->window || !row->itemId) return 0;
  if (message == WM_SETFOCUS) {
    ui->state.focusedDecimalItem = row->itemId;
    ui->state.focusedDecimalValue = static_cast<DWORD>(StoredValue(ui, row));
    return 0;
  }
  if (message == WM_KILLFOCUS) {
    LeaveDecimal(ui, page, row);
    return 1;
  }
  if (message == WM_KEYDOWN && (wParam == kKeyUp || wParam == kKeyDown)) return StepDecimal(ui, page, row, wParam);
  return 0;
}

// ---- Spin ---------------------------------------------------------------------------------

LRESULT CtlSpinInit(UiContext* ui, HWND page, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  if (!row->window) return 0;
  const SpinView view = SpinViewOf(ui, page, row);
  SetScroll(row->window, SIF_RANGE, view.minimum, view.maximum, 0);
  return 0;
}

LRESULT CtlSpinShow(UiContext* ui, HWND page, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  if (!row->window) return 0;
  const SpinView view = SpinViewOf(ui, page, row);
  const SCROLLINFO info = GetScroll(row->window);
  const UINT mask = info.nMin != view.minimum || info.nMax != view.maximum ? SIF_RANGE | SIF_POS : SIF_POS;
  SetScroll(row->window, mask, view.minimum, view.maximum, view.shown);
  return 0;
}

LRESULT CtlSpinScroll(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_VSCROLL || reinterpret_cast<HWND>(lParam) != row->window || !Enabled(row)) return 0;
  const SpinView view = SpinViewOf(ui, page, row);
  const SCROLLINFO info = GetScroll(row->window);
  LONG next = info.nPos;
  switch (LOWORD(wParam)) {
    case SB_LINEUP: next = info.nPos + 1; break;
    case SB_LINEDOWN: next = info.nPos - 1; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: next = static_cast<SHORT>(HIWORD(wParam)); break;
    default: return 0;
  }
  next = Clamp(next, view.minimum, view.maximum);
  SetScroll(row->window, SIF_POS, 0, 0, next);
  Apply(ui, page, row, view.length ? ToDots(ui, next) : next);
  return 1;
}

// ---- Slider -------------------------------------------------------------------------------

LRESULT CtlSliderInit(UiContext* ui, HWND, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  if (!row->window) return 0;
  LONG minimum = 0, maximum = 0;
  ShownRange(ui, row, RangeOf(ui, row), kSliderDefaultMin, kSliderDefaultMax, &minimum, &maximum);
  SetScroll(row->window, SIF_RANGE, minimum, maximum, 0);
  EnableScrollBar(row->window, SB_CTL, ESB_ENABLE_BOTH);
  if (row->controlType == kCtlTypeScaleSlider) TurnThemeOff(row->window);
  return 0;
}

LRESULT CtlSliderShow(UiContext* ui, HWND, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  if (!row->window) return 0;
  const SCROLLINFO info = GetScroll(row->window);
  SetScroll(row->window, SIF_POS, 0, 0, Clamp(ShownValue(ui, row), info.nMin, info.nMax));
  return 0;
}

LRESULT CtlSliderShowScale(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam,
                           LPARAM lParam) {
  CtlSliderShow(ui, page, row, message, wParam, lParam);
  // The device context of the control that the page hands over, else the control's own.
  HDC given = reinterpret_cast<HDC>(wParam);
  HDC dc = given ? given : (row->window ? GetDC(row->window) : nullptr);
  if (!dc) return 0;
  PaintScale(dc, page, row);
  if (!given) ReleaseDC(row->window, dc);
  return given ? 1 : 0;
}

LRESULT CtlSliderMessage(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam,
                         LPARAM lParam) {
  if (!row->window) return 0;
  const bool scale = row->controlType == kCtlTypeScaleSlider;
  // The scale is painted with the page; painting changes nothing, so the page is not refreshed.
  if (message == WM_PAINT) return scale ? CtlSliderShowScale(ui, page, row, message, wParam, lParam) : 0;
  if (message == WM_CTLCOLORSCROLLBAR)
    return scale && HasSteps(page, row) ? reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)) : 0;
  if (message == WM_LBUTTONDOWN) {
    if (scale && Enabled(row)) PressArrow(ui, row, lParam);
    return 0;
  }
  if (message != WM_HSCROLL || reinterpret_cast<HWND>(lParam) != row->window || !Enabled(row)) return 0;
  int line = 0, pageStep = 0;
  SliderSteps(page, row, &line, &pageStep);
  const SCROLLINFO info = GetScroll(row->window);
  LONG next = info.nPos;
  switch (LOWORD(wParam)) {
    case SB_LINELEFT: next -= line; break;
    case SB_LINERIGHT: next += line; break;
    case SB_PAGELEFT: next -= pageStep; break;
    case SB_PAGERIGHT: next += pageStep; break;
    case SB_LEFT: next -= 1; break;
    case SB_RIGHT: next += 1; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: next = static_cast<SHORT>(HIWORD(wParam)); break;
    default: return 0;
  }
  next = Clamp(next, info.nMin, info.nMax);
  SetScroll(row->window, SIF_POS, 0, 0, next);
  Apply(ui, page, row, next);
  return 1;
}

HWND CtlSliderPressedArrow(const UiContext* ui) { return ui ? ui->state.pressedArrow : nullptr; }

void CtlSliderEndPress(UiContext* ui) {
  if (!ui || !ui->state.pressedArrow) return;
  DestroyWindow(ui->state.pressedArrow);
  ui->state.pressedArrow = nullptr;
}

// ---- Trackbar ---------------------------------------------------------------------------

LRESULT CtlTrackbarInit(UiContext* ui, HWND, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  if (!row->window) return 0;
  LONG minimum = 0, maximum = 0;
  ShownRange(ui, row, RangeOf(ui, row), kSliderDefaultMin, kSliderDefaultMax, &minimum, &maximum);
  // The ends are set one by one: TBM_SETRANGE's 16-bit halves cannot carry a negative minimum.
  SendMessageW(row->window, TBM_SETRANGEMIN, FALSE, minimum);
  SendMessageW(row->window, TBM_SETRANGEMAX, TRUE, maximum);
  SendMessageW(row->window, TBM_SETPOS, TRUE, ShownValue(ui, row));
  return 0;
}

LRESULT CtlTrackbarShow(UiContext* ui, HWND, PageItemTemplate* row, UINT, WPARAM, LPARAM) {
  if (row->window) SendMessageW(row->window, TBM_SETPOS, TRUE, ShownValue(ui, row));
  return 0;
}

LRESULT CtlTrackbarScroll(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM, LPARAM lParam) {
  if ((message != WM_HSCROLL && message != WM_VSCROLL) || reinterpret_cast<HWND>(lParam) != row->window) return 0;
  const LONG position = static_cast<LONG>(SendMessageW(row->window, TBM_GETPOS, 0, 0));
  if (position == ShownValue(ui, row)) return 0;
  Apply(ui, page, row, position);
  return 1;
}

// ---- The class rows -------------------------------------------------------------------------

const CtlClass kCtlEditClasses[] = {
    {0x3d, nullptr, CtlEditInit, CtlEditShow, CtlEditCommand, nullptr, nullptr},
    {0x3e, nullptr, CtlEditInit, CtlEditShow, CtlEditCommand, nullptr, nullptr},
    {0x3f, nullptr, CtlDecimalInit, CtlDecimalShow, CtlDecimalCommand, CtlDecimalMessage, CtlWndProc},
    {0x17, nullptr, CtlSpinInit, CtlSpinShow, nullptr, CtlSpinScroll, nullptr},
    {0x51, nullptr, CtlSpinInit, CtlSpinShow, nullptr, CtlSpinScroll, nullptr},
    {0x52, nullptr, CtlSliderInit, CtlSliderShow, nullptr, CtlSliderMessage, nullptr},
    {0x54, nullptr, CtlSliderInit, CtlSliderShowScale, nullptr, CtlSliderMessage, CtlWndProc},
    {0x55, nullptr, CtlTrackbarInit, CtlTrackbarShow, nullptr, CtlTrackbarScroll, nullptr},
};

const CtlClass* CtlFindEditClass(WORD controlType) {
  for (const CtlClass& row : kCtlEditClasses)
    if (row.controlType == controlType) return &row;
  return nullptr;
}
