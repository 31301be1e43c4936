// The GDI object table: brushes, pens, fonts and bitmaps, stock objects and the system colours.
#include <cstring>
#include <map>

#include "core/winerror.h"
#include "core/strings.h"
#include "ui/gdi_internal.h"

namespace velm::ui {
namespace {

// The classic palette, by COLOR_* index.
constexpr COLORREF kSystemColors[] = {
    RGB(212, 208, 200),  // COLOR_SCROLLBAR
    RGB(58, 110, 165),   // COLOR_BACKGROUND
    RGB(10, 36, 106),    // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(212, 208, 200),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(212, 208, 200),  // COLOR_ACTIVEBORDER
    RGB(212, 208, 200),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(10, 36, 106),    // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(212, 208, 200),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(212, 208, 200),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(64, 64, 64),     // COLOR_3DDKSHADOW
    RGB(212, 208, 200),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(181, 181, 181),  // 25: unnamed
    RGB(0, 0, 128),      // COLOR_HOTLIGHT
    RGB(166, 202, 240),  // COLOR_GRADIENTACTIVECAPTION
    RGB(192, 192, 192),  // COLOR_GRADIENTINACTIVECAPTION
};
constexpr int kSystemColorCount = static_cast<int>(sizeof(kSystemColors) / sizeof(kSystemColors[0]));
constexpr int kStockCount = 18;

// Handles are numbers far above the (COLOR_* + 1) values FillRect takes as brushes.
constexpr uintptr_t kFirstHandle = 0x10000;
constexpr uintptr_t kHandleStep = 8;

struct ObjectTable {
  std::map<uintptr_t, GdiObjectPtr> objects;
  uintptr_t next = kFirstHandle;
  HGDIOBJ stock[kStockCount] = {};
  HGDIOBJ stockBitmap = nullptr;
  HGDIOBJ colorBrushes[kSystemColorCount] = {};
};

ObjectTable& Table() {
  static ObjectTable table;
  return table;
}

HGDIOBJ AddLocked(GdiObjectPtr object) {
  ObjectTable& table = Table();
  const uintptr_t handle = table.next;
  table.next += kHandleStep;
  table.objects.emplace(handle, std::move(object));
  return reinterpret_cast<HGDIOBJ>(handle);
}

GdiObjectPtr MakeSystem(DWORD type) {
  auto object = std::make_shared<GdiObject>();
  object->type = type;
  object->system = true;
  return object;
}

LOGFONTW StockFont(const char16_t* face, LONG height, LONG weight, BYTE pitch) {
  LOGFONTW font{};
  font.lfHeight = height;
  font.lfWeight = weight;
  font.lfCharSet = ANSI_CHARSET;
  font.lfPitchAndFamily = pitch;
  StringCchCopyW(font.lfFaceName, LF_FACESIZE, face);
  return font;
}

HGDIOBJ MakeStock(int index) {
  GdiObjectPtr object;
  auto brush = [&](COLORREF color, UINT style) {
    object = MakeSystem(OBJ_BRUSH);
    object->color = color;
    object->brushStyle = style;
  };
  auto pen = [&](COLORREF color, int style) {
    object = MakeSystem(OBJ_PEN);
    object->color = color;
    object->penStyle = style;
  };
  auto font = [&](const LOGFONTW& logFont) {
    object = MakeSystem(OBJ_FONT);
    object->font = logFont;
  };
  switch (index) {
    case WHITE_BRUSH: brush(RGB(255, 255, 255), BS_SOLID); break;
    case LTGRAY_BRUSH: brush(RGB(192, 192, 192), BS_SOLID); break;
    case GRAY_BRUSH: brush(RGB(128, 128, 128), BS_SOLID); break;
    case DKGRAY_BRUSH: brush(RGB(64, 64, 64), BS_SOLID); break;
    case BLACK_BRUSH: brush(RGB(0, 0, 0), BS_SOLID); break;
    case NULL_BRUSH: brush(0, BS_NULL); break;
    case WHITE_PEN: pen(RGB(255, 255, 255), PS_SOLID); break;
    case BLACK_PEN: pen(RGB(0, 0, 0), PS_SOLID); break;
    case NULL_PEN: pen(0, PS_NULL); break;
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT: font(StockFont(u"Fixedsys", 16, FW_NORMAL, FIXED_PITCH | FF_MODERN)); break;
    case ANSI_VAR_FONT: font(StockFont(u"MS Sans Serif", 13, FW_NORMAL, VARIABLE_PITCH)); break;
    case SYSTEM_FONT: font(StockFont(u"System", 16, FW_BOLD, VARIABLE_PITCH)); break;
    case DEVICE_DEFAULT_FONT: font(StockFont(u"System", 16, FW_NORMAL, VARIABLE_PITCH)); break;
    case DEFAULT_GUI_FONT: font(StockFont(u"MS Shell Dlg", -11, FW_NORMAL, VARIABLE_PITCH)); break;
    default: return nullptr;  // palettes and the DC brush and pen are not kept
  }
  return AddLocked(object);
}

}  // namespace

std::recursive_mutex& GdiMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

HGDIOBJ AddObject(GdiObjectPtr object) {
  std::lock_guard lock(GdiMutex());
  return AddLocked(std::move(object));
}

GdiObjectPtr FindObject(HGDIOBJ handle) {
  std::lock_guard lock(GdiMutex());
  const auto found = Table().objects.find(reinterpret_cast<uintptr_t>(handle));
  return found == Table().objects.end() ? nullptr : found->second;
}

GdiObjectPtr FindBrush(HBRUSH brush) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(brush);
  if (value >= 1 && value <= static_cast<uintptr_t>(kSystemColorCount)) brush = GetSysColorBrush(static_cast<int>(value - 1));
  GdiObjectPtr object = FindObject(brush);
  return object && object->type == OBJ_BRUSH ? object : nullptr;
}

HGDIOBJ StockObject(int index) {
  std::lock_guard lock(GdiMutex());
  if (index < 0 || index >= kStockCount) return nullptr;
  HGDIOBJ& slot = Table().stock[index];
  if (!slot) slot = MakeStock(index);
  return slot;
}

HGDIOBJ StockBitmap() {
  std::lock_guard lock(GdiMutex());
  HGDIOBJ& slot = Table().stockBitmap;
  if (!slot) {
    GdiObjectPtr bitmap = MakeSystem(OBJ_BITMAP);
    bitmap->width = bitmap->height = 1;
    bitmap->rgb.assign(3, 0);
    slot = AddLocked(bitmap);
  }
  return slot;
}

size_t CountObjects(DWORD type) {
  std::lock_guard lock(GdiMutex());
  size_t count = 0;
  for (const auto& [handle, object] : Table().objects)
    if (!object->system && (type == 0 || object->type == type)) ++count;
  return count;
}

}  // namespace velm::ui

using namespace velm::ui;

extern "C" {

HBRUSH CreateSolidBrush(COLORREF color) {
  auto brush = std::make_shared<GdiObject>();
  brush->type = OBJ_BRUSH;
  brush->color = color & 0x00FFFFFF;
  return static_cast<HBRUSH>(AddObject(brush));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* logBrush) {
  if (!logBrush || (logBrush->lbStyle != BS_SOLID && logBrush->lbStyle != BS_NULL)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto brush = std::make_shared<GdiObject>();
  brush->type = OBJ_BRUSH;
  brush->brushStyle = logBrush->lbStyle;
  brush->color = logBrush->lbColor & 0x00FFFFFF;
  return static_cast<HBRUSH>(AddObject(brush));
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < PS_SOLID || style > PS_INSIDEFRAME) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto pen = std::make_shared<GdiObject>();
  pen->type = OBJ_PEN;
  pen->penStyle = style;
  pen->penWidth = width < 1 ? 1 : width;
  pen->color = color & 0x00FFFFFF;
  return static_cast<HPEN>(AddObject(pen));
}

HFONT CreateFontIndirectW(const LOGFONTW* logFont) {
  if (!logFont) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto font = std::make_shared<GdiObject>();
  font->type = OBJ_FONT;
  font->font = *logFont;
  font->font.lfFaceName[LF_FACESIZE - 1] = 0;
  return static_cast<HFONT>(AddObject(font));
}

HBITMAP CreateCompatibleBitmap(HDC, int cx, int cy) {
  constexpr int kMaxSide = 16384;
  if (cx < 1 || cy < 1 || cx > kMaxSide || cy > kMaxSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto bitmap = std::make_shared<GdiObject>();
  bitmap->type = OBJ_BITMAP;
  bitmap->width = cx;
  bitmap->height = cy;
  bitmap->rgb.assign(static_cast<size_t>(cx) * cy * 3, 0xFF);
  return static_cast<HBITMAP>(AddObject(bitmap));
}

HGDIOBJ GetStockObject(int index) { return StockObject(index); }

BOOL DeleteObject(HGDIOBJ handle) {
  std::lock_guard lock(GdiMutex());
  const auto found = Table().objects.find(reinterpret_cast<uintptr_t>(handle));
  if (found == Table().objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (found->second->system) return TRUE;
  // Windows refuses to delete what a DC still holds; so a leak check sees the object alive.
  if (ObjectInUse(handle)) return FALSE;
  Table().objects.erase(found);
  return TRUE;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer) {
  const GdiObjectPtr object = FindObject(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  LOGBRUSH brush{};
  LOGPEN pen{};
  BITMAP bitmap{};
  const void* data = nullptr;
  int needed = 0;
  switch (object->type) {
    case OBJ_BRUSH:
      brush = {object->brushStyle, object->color, 0};
      data = &brush;
      needed = sizeof(brush);
      break;
    case OBJ_PEN:
      pen = {static_cast<UINT>(object->penStyle), {object->penWidth, 0}, object->color};
      data = &pen;
      needed = sizeof(pen);
      break;
    case OBJ_FONT:
      data = &object->font;
      needed = sizeof(LOGFONTW);
      break;
    case OBJ_BITMAP:
      bitmap.bmWidth = object->width;
      bitmap.bmHeight = object->height;
      bitmap.bmWidthBytes = object->width * 3;
      bitmap.bmPlanes = 1;
      bitmap.bmBitsPixel = object->placeholder ? 0 : 24;
      data = &bitmap;
      needed = sizeof(bitmap);
      break;
    default: return 0;
  }
  if (!buffer) return needed;
  if (size <= 0) return 0;
  const int copied = size < needed ? size : needed;
  std::memcpy(buffer, data, static_cast<size_t>(copied));
  return copied;
}

DWORD GetObjectType(HGDIOBJ handle) {
  if (const DeviceContextPtr dc = FindDc(static_cast<HDC>(handle), false)) return dc->type;
  const GdiObjectPtr object = FindObject(handle);
  return object ? object->type : 0;
}

DWORD GetSysColor(int index) { return index >= 0 && index < kSystemColorCount ? kSystemColors[index] : 0; }

HBRUSH GetSysColorBrush(int index) {
  if (index < 0 || index >= kSystemColorCount) return nullptr;
  std::lock_guard lock(GdiMutex());
  HGDIOBJ& slot = Table().colorBrushes[index];
  if (!slot) {
    GdiObjectPtr brush = MakeSystem(OBJ_BRUSH);
    brush->color = kSystemColors[index];
    slot = AddLocked(brush);
  }
  return static_cast<HBRUSH>(slot);
}

}  // extern "C"
