// Text: colours and background mode, TextOutW/ExtTextOutW, DrawTextW's formatting, the fixed
// 8 x 16 metrics, and the face list of EnumFontFamiliesW.
#include <algorithm>
#include <cstring>
#include <utility>

#include "core/strings.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "ui/gdi_internal.h"

namespace velm::ui {
namespace {

constexpr int kTabChars = 8;
constexpr std::u16string_view kEllipsis = u"...";

// A character as drawn, with whether a '&' prefix underlines it.
struct Cell {
  WCHAR c;
  bool underline;
};
using Line = std::vector<Cell>;

std::vector<UiFontFace>& Faces() {
  static std::vector<UiFontFace> faces = UiDefaultFontFaces();
  return faces;
}

struct FontLook {
  bool bold = false;
  bool underline = false;
};

FontLook LookOf(const DeviceContext& dc) {
  const GdiObjectPtr font = FindObject(dc.state.font);
  if (!font || font->type != OBJ_FONT) return {};
  return {font->font.lfWeight >= 600, font->font.lfUnderline != 0};
}

// One line of cells at (x, y), its background first when the mode is OPAQUE.
void RasterLine(DeviceContext& dc, Surface& surface, int x, int y, const Line& line, const int* advances) {
  if (surface.Empty()) return;
  const FontLook look = LookOf(dc);
  int at = x;
  for (size_t i = 0; i < line.size(); ++i) {
    const int advance = advances ? advances[i] : kCharWidth;
    if (dc.state.bkMode == OPAQUE) surface.Fill({at, y, at + advance, y + kCharHeight}, dc.state.bkColor);
    DrawGlyph(surface, at, y, line[i].c, dc.state.textColor, look.bold, look.underline || line[i].underline);
    at += advance;
  }
}

std::u16string TextOf(const Line& line) {
  std::u16string text;
  for (const Cell& cell : line) text.push_back(cell.c);
  return text;
}

Line Plain(std::u16string_view text) {
  Line line;
  for (WCHAR c : text) line.push_back({c, false});
  return line;
}

UiDrawRecord TextRecord(const DeviceContext& dc, const RECT& box, std::u16string text, UINT flags) {
  UiDrawRecord record;
  record.kind = UiDrawKind::kText;
  record.rect = box;
  record.text = std::move(text);
  record.color = dc.state.textColor;
  record.background = dc.state.bkColor;
  record.bkMode = dc.state.bkMode;
  record.flags = flags;
  return record;
}

// '&' marks the next character as the mnemonic; "&&" is one '&'.
Line ApplyPrefixes(std::u16string_view text, UINT format) {
  Line line;
  const bool show = !(format & DT_HIDEPREFIX);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) {
      ++i;
      line.push_back({text[i], show && text[i] != u'&'});
    } else if (text[i] != u'&') {
      line.push_back({text[i], false});
    }
  }
  return line;
}

Line ExpandTabs(const Line& line) {
  Line out;
  for (const Cell& cell : line) {
    if (cell.c != u'\t') {
      out.push_back(cell);
      continue;
    }
    do out.push_back({u' ', false});
    while (out.size() % kTabChars != 0);
  }
  return out;
}

std::vector<Line> SplitParagraphs(const Line& text) {
  std::vector<Line> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i].c == u'\r' || text[i].c == u'\n') {
      if (text[i].c == u'\r' && i + 1 < text.size() && text[i + 1].c == u'\n') ++i;
      lines.emplace_back();
    } else {
      lines.back().push_back(text[i]);
    }
  }
  return lines;
}

// Greedy breaking at blanks; a word wider than the line stands alone and overflows.
void WrapInto(const Line& paragraph, size_t maxChars, std::vector<Line>& lines) {
  size_t start = 0;
  while (true) {
    if (paragraph.size() - start <= maxChars) {
      lines.emplace_back(paragraph.begin() + static_cast<long>(start), paragraph.end());
      return;
    }
    size_t cut = start;
    for (size_t i = start + maxChars; i > start; --i)
      if (paragraph[i].c == u' ') {
        cut = i;
        break;
      }
    if (cut == start) {
      while (cut < paragraph.size() && paragraph[cut].c == u' ') ++cut;
      while (cut < paragraph.size() && paragraph[cut].c != u' ') ++cut;
    }
    lines.emplace_back(paragraph.begin() + static_cast<long>(start), paragraph.begin() + static_cast<long>(cut));
    start = cut;
    while (start < paragraph.size() && paragraph[start].c == u' ') ++start;
    if (start >= paragraph.size()) return;
  }
}

void AppendEllipsis(Line& line) {
  for (WCHAR c : kEllipsis) line.push_back({c, false});
}

// Shortens a line wider than `maxChars` as the ellipsis flags ask; other lines stay.
void Ellipsize(Line& line, size_t maxChars, UINT format) {
  if (line.size() <= maxChars) return;
  const size_t keep = maxChars > kEllipsis.size() ? maxChars - kEllipsis.size() : 0;
  if (format & DT_PATH_ELLIPSIS) {
    size_t slash = line.size();
    while (slash > 0 && line[slash - 1].c != u'\\' && line[slash - 1].c != u'/') --slash;
    const size_t tail = slash > 0 ? line.size() - (slash - 1) : line.size();
    const size_t head = keep > tail ? keep - tail : 0;
    Line out(line.begin(), line.begin() + static_cast<long>(head));
    AppendEllipsis(out);
    out.insert(out.end(), line.end() - static_cast<long>(tail), line.end());
    if (out.size() > maxChars && maxChars >= kEllipsis.size()) out.resize(maxChars);
    line = std::move(out);
    return;
  }
  size_t cut = keep;
  if (format & DT_WORD_ELLIPSIS) {
    size_t blank = cut;
    while (blank > 0 && line[blank].c != u' ') --blank;
    if (blank > 0) cut = blank;
    while (cut > 0 && line[cut - 1].c == u' ') --cut;
  }
  line.resize(cut);
  AppendEllipsis(line);
}

}  // namespace

void ResetFontFaces() {
  std::lock_guard lock(GdiMutex());
  Faces() = UiDefaultFontFaces();
}

}  // namespace velm::ui

using namespace velm::ui;

extern "C" {

COLORREF SetTextColor(HDC dc, COLORREF color) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return CLR_INVALID;
  return std::exchange(record->state.textColor, color & 0x00FFFFFF);
}

COLORREF GetTextColor(HDC dc) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  return record ? record->state.textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return CLR_INVALID;
  return std::exchange(record->state.bkColor, color & 0x00FFFFFF);
}

COLORREF GetBkColor(HDC dc) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  return record ? record->state.bkColor : CLR_INVALID;
}

int SetBkMode(HDC dc, int mode) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || (mode != TRANSPARENT && mode != OPAQUE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(record->state.bkMode, mode);
}

int GetBkMode(HDC dc) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  return record ? record->state.bkMode : 0;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
  return ExtTextOutW(dc, x, y, 0, nullptr, text, count < 0 ? 0xFFFFFFFFu : static_cast<UINT>(count), nullptr);
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || count > 0x7FFFFFFF || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const Line line = Plain(std::u16string_view(text ? text : u"", count));
  int width = 0;
  for (UINT i = 0; i < count; ++i) width += dx ? dx[i] : kCharWidth;
  Surface surface(*record);
  if (rect && (options & ETO_OPAQUE)) {
    UiDrawRecord fill;
    fill.kind = UiDrawKind::kFillRect;
    fill.rect = *rect;
    fill.color = record->state.bkColor;
    LogRecord(*record, fill);
    surface.Fill(*rect, record->state.bkColor);
  }
  LogRecord(*record, TextRecord(*record, {x, y, x + width, y + kCharHeight}, TextOf(line), options));
  if (rect && (options & ETO_CLIPPED)) surface.Limit(*rect);
  RasterLine(*record, surface, x, y, line, dx);
  return TRUE;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || !text || !rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t length = count < 0 ? std::char_traits<char16_t>::length(text) : static_cast<size_t>(count);
  const std::u16string_view source(text, length);
  Line cells = (format & DT_NOPREFIX) ? Plain(source) : ApplyPrefixes(source, format);
  if (format & DT_EXPANDTABS) cells = ExpandTabs(cells);

  const LONG width = std::max<LONG>(0, rect->right - rect->left);
  const size_t maxChars = static_cast<size_t>(width / kCharWidth);
  std::vector<Line> lines;
  if (format & DT_SINGLELINE) {
    lines.push_back(cells);
  } else {
    for (const Line& paragraph : SplitParagraphs(cells)) {
      if (format & DT_WORDBREAK) {
        WrapInto(paragraph, maxChars, lines);
      } else {
        lines.push_back(paragraph);
      }
    }
  }
  const bool ellipsis = format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS);
  if (ellipsis)
    for (Line& line : lines) Ellipsize(line, maxChars, format);
  if (ellipsis && (format & DT_MODIFYSTRING) && lines.size() == 1 && count != 0) {
    // The caller's buffer has room for the text and four more characters, as the flag requires.
    const std::u16string shown = TextOf(lines.front());
    const size_t room = length + 4;
    const size_t copied = std::min(shown.size(), room - 1);
    auto* writable = const_cast<WCHAR*>(text);
    std::memcpy(writable, shown.data(), copied * sizeof(WCHAR));
    writable[copied] = 0;
  }

  size_t widest = 0;
  for (const Line& line : lines) widest = std::max(widest, line.size());
  const int height = static_cast<int>(lines.size()) * kCharHeight;
  if (format & DT_CALCRECT) {
    rect->right = rect->left + static_cast<LONG>(widest) * kCharWidth;
    rect->bottom = rect->top + height;
    return height;
  }

  int top = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) top = (rect->top + rect->bottom - kCharHeight) / 2;
    else if (format & DT_BOTTOM) top = rect->bottom - kCharHeight;
  }
  Surface surface(*record);
  if (!(format & DT_NOCLIP)) surface.Limit(*rect);
  int y = top;
  for (const Line& line : lines) {
    const LONG lineWidth = static_cast<LONG>(line.size()) * kCharWidth;
    LONG x = rect->left;
    if (format & DT_CENTER) x = (rect->left + rect->right - lineWidth) / 2;
    else if (format & DT_RIGHT) x = rect->right - lineWidth;
    LogRecord(*record, TextRecord(*record, {x, y, x + lineWidth, y + kCharHeight}, TextOf(line), format));
    RasterLine(*record, surface, x, y, line, nullptr);
    y += kCharHeight;
  }
  if ((format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM))) return top - rect->top + height;
  return height;
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || !metrics) return FALSE;
  const GdiObjectPtr font = FindObject(record->state.font);
  *metrics = {};
  metrics->tmHeight = kCharHeight;
  metrics->tmAscent = kCharAscent;
  metrics->tmDescent = kCharHeight - kCharAscent;
  metrics->tmAveCharWidth = kCharWidth;
  metrics->tmMaxCharWidth = kCharWidth;
  metrics->tmWeight = font ? font->font.lfWeight : FW_NORMAL;
  metrics->tmDigitizedAspectX = 96;
  metrics->tmDigitizedAspectY = 96;
  metrics->tmFirstChar = 0x20;
  metrics->tmLastChar = 0xFFFC;
  metrics->tmDefaultChar = u'?';
  metrics->tmBreakChar = u' ';
  metrics->tmItalic = font ? font->font.lfItalic : 0;
  metrics->tmUnderlined = font ? font->font.lfUnderline : 0;
  metrics->tmStruckOut = font ? font->font.lfStrikeOut : 0;
  metrics->tmPitchAndFamily = FF_MODERN;  // low bit clear: fixed pitch
  metrics->tmCharSet = font ? font->font.lfCharSet : ANSI_CHARSET;
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
  if (!FindDc(dc) || !size || count < 0 || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *size = {count * kCharWidth, kCharHeight};
  return TRUE;
}

int EnumFontFamiliesW(HDC dc, LPCWSTR family, FONTENUMPROCW callback, LPARAM lParam) {
  if (!FindDc(dc) || !callback) return 0;
  std::vector<UiFontFace> faces;
  {
    std::lock_guard lock(GdiMutex());
    faces = Faces();
  }
  int answer = 0;
  for (const UiFontFace& face : faces) {
    if (family && !velm::platform::EqualsNoCase(face.name, std::u16string_view(family))) continue;
    ENUMLOGFONTW logFont{};
    logFont.elfLogFont.lfHeight = kCharHeight;
    logFont.elfLogFont.lfWidth = kCharWidth;
    logFont.elfLogFont.lfWeight = FW_NORMAL;
    logFont.elfLogFont.lfCharSet = face.charSet;
    logFont.elfLogFont.lfPitchAndFamily = VARIABLE_PITCH;
    StringCchCopyW(logFont.elfLogFont.lfFaceName, LF_FACESIZE, face.name.c_str());
    StringCchCopyW(logFont.elfFullName, LF_FULLFACESIZE, face.name.c_str());
    StringCchCopyW(logFont.elfStyle, LF_FACESIZE, u"Regular");
    NEWTEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    metrics.tmWeight = FW_NORMAL;
    metrics.tmCharSet = face.charSet;
    metrics.ntmSizeEM = kCharHeight;
    metrics.ntmCellHeight = kCharHeight;
    metrics.ntmAvgWidth = kCharWidth;
    answer = callback(&logFont.elfLogFont, &metrics, face.fontType, lParam);
    if (answer == 0) break;
  }
  return answer;
}

}  // extern "C"

void UiSetFontFaces(std::vector<UiFontFace> faces) {
  std::lock_guard lock(GdiMutex());
  Faces() = std::move(faces);
}

std::vector<UiFontFace> UiDefaultFontFaces() {
  return {
      {u"Arial", TRUETYPE_FONTTYPE, ANSI_CHARSET},
      {u"Courier New", TRUETYPE_FONTTYPE, ANSI_CHARSET},
      {u"Times New Roman", TRUETYPE_FONTTYPE, ANSI_CHARSET},
      {u"Tahoma", TRUETYPE_FONTTYPE, ANSI_CHARSET},
      {u"Symbol", TRUETYPE_FONTTYPE, 2},
      {u"MS Sans Serif", RASTER_FONTTYPE, ANSI_CHARSET},
      {u"Courier", RASTER_FONTTYPE, ANSI_CHARSET},
      {u"MS Gothic", TRUETYPE_FONTTYPE, SHIFTJIS_CHARSET},
      {u"@MS Gothic", TRUETYPE_FONTTYPE, SHIFTJIS_CHARSET},
  };
}
