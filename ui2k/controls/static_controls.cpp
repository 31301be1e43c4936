#include "ui2k/controls/static_controls.h"


#include "settings/services/resource_strings.h"
#include "ui2k/controls/listed_values.h"
#include "ui2k/controls/preview_painter.h"
#include "ui2k/pages/page_framework.h"

namespace {

bool IsConversion(WCHAR c) { return c == WCH('d') || c == WCH('i') || c == WCH('u') || c == WCH('x') || c == WCH('X'); }

// The digits of `value` by the conversion letter, into `out`; their count.
size_t FormatNumber(WCHAR conversion, LONG value, WCHAR* out) {
  const bool hex = conversion == WCH('x') || conversion == WCH('X');
  const bool isSigned = conversion == WCH('d') || conversion == WCH('i');
  unsigned long magnitude = static_cast<DWORD>(value);
  bool negative = false;
  if (isSigned && value < 0) {
    negative = true;
    magnitude = 0ul - static_cast<unsigned long>(static_cast<long>(value));
    magnitude &= 0xFFFFFFFFul;
  }
  WCHAR digits[16];
  size_t n = 0;
  const WCHAR* table = conversion == WCH('X') ? WSTR("0123456789ABCDEF") : WSTR("0123456789abcdef");
  do {
    digits[n++] = table[magnitude % (hex ? 16 : 10)];
    magnitude /= hex ? 16 : 10;
  } while (magnitude);
  size_t length = 0;
  if (negative) out[length++] = WCH('-');
  while (n) out[length++] = digits[--n];
  return length;
}

}  // namespace

void CtlFormatOneValue(const WCHAR* format, LONG value, WCHAR* out, size_t capacity) {
  if (!out || capacity == 0) return;
  size_t length = 0;
  bool used = false;
  auto put = [&](WCHAR c) {
    if (length + 1 < capacity) out[length++] = c;
  };
  for (const WCHAR* p = format; p && *p; ++p) {
    if (*p != WCH('%')) {
      put(*p);
      continue;
    }
    if (p[1] == WCH('%')) {
      put(WCH('%'));
      ++p;
      continue;
    }
    const WCHAR* conversion = p + 1;
    if (*conversion == WCH('l')) ++conversion;
    if (used || !IsConversion(*conversion)) {
      put(*p);
      continue;
    }
    WCHAR number[24];
    const size_t digits = FormatNumber(*conversion, value, number);
    for (size_t i = 0; i < digits; ++i) put(number[i]);
    used = true;
    p = conversion;
  }
  out[length] = 0;
}

LRESULT CtlStaticShowValue(CTL_HANDLER_PARAMS) {
  if (!row->node || !row->window) return 0;
  CtlShowEnabledState(ui, *row);
  const std::vector<WORD> values = CtlListedValues(ui, *row);
  if (values.empty()) return 0;
  WCHAR format[kUiTextChars] = {};
  WCHAR text[kUiTextChars] = {};
  // Every listed value formats in turn; the last one's text stays.
  for (WORD model : values) {
    ResLoadString(ui->driver, model, format, kUiTextChars, FALSE);
    CtlFormatOneValue(format, static_cast<LONG>(CtlCurrentValue(ui, *row)), text, kUiTextChars);
  }
  WCHAR shown[kUiTextChars] = {};
  GetWindowTextW(row->window, shown, kUiTextChars);
  if (lstrcmpW(shown, text) == 0) return 0;
  SetWindowTextW(row->window, text);
  return 1;
}

LRESULT CtlPictureInvalidate(CTL_HANDLER_PARAMS) {
  if (!row->window) return 0;
  InvalidateRect(row->window, nullptr, FALSE);
  return 1;
}

LRESULT CtlPictureShowValues(CTL_HANDLER_PARAMS) {
  if (!row->node || !row->window) return 0;
  CtlShowEnabledState(ui, *row);
  InvalidateRect(row->window, nullptr, FALSE);
  return 1;
}

LRESULT CtlPictureStep(CTL_HANDLER_PARAMS) {
  DWORD next = 0;
  if (!row->node || !CtlNextEnabledValue(ui, *row, CtlCurrentValue(ui, *row), &next)) return 0;
  CtlCommitValue(ui, page, row, next);
  return 1;
}

LRESULT CtlPictureMessage(CTL_HANDLER_PARAMS) {
  const PageWindow* record = PageRecordOf(page);
  if (message != WM_PAINT || !wParam || !row->window || !record || !record->page ||
      !CtlFindPreview(ui, record->page->id, row->controlId))
    return 0;
  RECT client{};
  GetClientRect(row->window, &client);
  CtlPaintPreview(ui, page, row, reinterpret_cast<HDC>(wParam), client);
  return 1;
}
