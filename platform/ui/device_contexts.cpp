// Device contexts: window, screen, memory and picture DCs, their saved states, viewport origin
// and clipping, and the draw logs tests read back.
#include <map>

#include "core/winerror.h"
#include "ui/controls.h"
#include "ui/gdi_internal.h"
#include "ui/winuser.h"

namespace velm::ui {
namespace {

// DC handles come from their own range, so that no DC is mistaken for an object.
constexpr uintptr_t kFirstDc = 0x40000000;
constexpr uintptr_t kDcStep = 8;

struct DcTable {
  std::map<uintptr_t, DeviceContextPtr> dcs;
  uintptr_t next = kFirstDc;
  std::map<HWND, UiDrawLog> windowLogs;
};

DcTable& Dcs() {
  static DcTable table;
  return table;
}

void ResetGdiState() {
  {
    std::lock_guard lock(GdiMutex());
    Dcs().windowLogs.clear();
  }
  ResetThemeCalls();
  ResetFontFaces();
}

const bool kResetHookRegistered = (UiOnReset(&ResetGdiState), true);

HDC AddDc(DeviceContextPtr dc) {
  std::lock_guard lock(GdiMutex());
  dc->state.brush = StockObject(WHITE_BRUSH);
  dc->state.pen = StockObject(BLACK_PEN);
  dc->state.font = StockObject(SYSTEM_FONT);
  const uintptr_t handle = Dcs().next;
  Dcs().next += kDcStep;
  Dcs().dcs.emplace(handle, std::move(dc));
  return reinterpret_cast<HDC>(handle);
}

HDC WindowDc(HWND window) {
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window && window != GetDesktopWindow()) {
    if (!UiIsWindow(window)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    GetClientRect(window, &area);
  }
  auto dc = std::make_shared<DeviceContext>();
  dc->type = OBJ_DC;
  dc->window = window;
  dc->bounds = area;
  return AddDc(dc);
}

// A DC that ends lets go of its objects, so that they can be deleted.
void Deselect(DeviceContext& dc) {
  if (GdiObjectPtr bitmap = FindObject(dc.state.bitmap)) bitmap->selectedInto = nullptr;
  dc.state = DcState{};
  dc.saved.clear();
}

bool Erase(HDC handle) {
  std::lock_guard lock(GdiMutex());
  const auto found = Dcs().dcs.find(reinterpret_cast<uintptr_t>(handle));
  if (found == Dcs().dcs.end()) return false;
  Deselect(*found->second);
  Dcs().dcs.erase(found);
  return true;
}

RECT ToLogical(RECT rect, POINT origin) {
  return {rect.left - origin.x, rect.top - origin.y, rect.right - origin.x, rect.bottom - origin.y};
}
RECT ToDevice(RECT rect, POINT origin) {
  return {rect.left + origin.x, rect.top + origin.y, rect.right + origin.x, rect.bottom + origin.y};
}

// The clip that drawing meets, in device coordinates: the DC's bounds and the caller's clip.
ClipRects EffectiveClip(const DeviceContext& dc) {
  ClipRects clip{dc.bounds};
  if (dc.type == OBJ_MEMDC) {
    const GdiObjectPtr bitmap = FindObject(dc.state.bitmap);
    clip = {RECT{0, 0, bitmap ? bitmap->width : 0, bitmap ? bitmap->height : 0}};
  }
  if (dc.state.clip) {
    ClipRects limited;
    for (const RECT& part : *dc.state.clip) {
      ClipRects piece = IntersectClip(clip, part);
      limited.insert(limited.end(), piece.begin(), piece.end());
    }
    clip = std::move(limited);
  }
  return clip;
}

int RegionKind(const ClipRects& clip) {
  return clip.empty() ? NULLREGION : clip.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int ChangeClip(HDC handle, RECT rect, bool exclude) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr dc = FindDc(handle);
  if (!dc) return ERROR;
  rect = ToDevice(Normalized(rect), dc->state.origin);
  ClipRects clip = dc->state.clip ? *dc->state.clip : EffectiveClip(*dc);
  dc->state.clip = exclude ? ExcludeFromClip(clip, rect) : IntersectClip(clip, rect);
  UiDrawRecord record;
  record.kind = exclude ? UiDrawKind::kExcludeClip : UiDrawKind::kIntersectClip;
  record.rect = ToLogical(rect, dc->state.origin);
  LogRecord(*dc, std::move(record));
  return RegionKind(EffectiveClip(*dc));
}

}  // namespace

DeviceContextPtr FindDc(HDC handle, bool setError) {
  std::lock_guard lock(GdiMutex());
  const auto found = Dcs().dcs.find(reinterpret_cast<uintptr_t>(handle));
  if (found != Dcs().dcs.end()) return found->second;
  if (setError) SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

bool ObjectInUse(HGDIOBJ handle) {
  std::lock_guard lock(GdiMutex());
  auto holds = [handle](const DcState& state) {
    return state.brush == handle || state.pen == handle || state.font == handle || state.bitmap == handle;
  };
  for (const auto& [value, dc] : Dcs().dcs) {
    if (holds(dc->state)) return true;
    for (const DcState& saved : dc->saved)
      if (holds(saved)) return true;
  }
  return false;
}

HDC CreateImageDc(UiImage* image, const RECT& bounds, POINT origin) {
  auto dc = std::make_shared<DeviceContext>();
  dc->type = OBJ_DC;
  dc->image = image;
  dc->bounds = bounds;
  dc->state.origin = origin;
  return AddDc(dc);
}

void LogRecord(DeviceContext& dc, UiDrawRecord record) {
  std::lock_guard lock(GdiMutex());
  if (dc.state.clip) {
    record.clipped = true;
    record.clip = ToLogical(ClipBounds(EffectiveClip(dc)), dc.state.origin);
  }
  record.viewportOrg = dc.state.origin;
  if (dc.window) Dcs().windowLogs[dc.window].push_back(record);
  dc.log.push_back(std::move(record));
}

Surface::Surface(DeviceContext& dc) {
  std::lock_guard lock(GdiMutex());
  origin_ = dc.state.origin;
  if (dc.image) {
    if (dc.image->rgb.size() != static_cast<size_t>(dc.image->width) * dc.image->height * 3) return;
    pixels_ = dc.image->rgb.data();
    width_ = dc.image->width;
    height_ = dc.image->height;
  } else if (dc.type == OBJ_MEMDC) {
    bitmap_ = FindObject(dc.state.bitmap);
    if (!bitmap_ || bitmap_->placeholder || bitmap_->rgb.empty()) return;
    pixels_ = bitmap_->rgb.data();
    width_ = bitmap_->width;
    height_ = bitmap_->height;
  } else {
    return;
  }
  clip_ = IntersectClip(EffectiveClip(dc), RECT{0, 0, width_, height_});
}

}  // namespace velm::ui

using namespace velm::ui;

extern "C" {

HDC GetDC(HWND window) { return WindowDc(window); }

HDC GetWindowDC(HWND window) { return WindowDc(window); }

int ReleaseDC(HWND window, HDC dc) {
  const DeviceContextPtr record = FindDc(dc, false);
  if (!record || record->type != OBJ_DC || record->image || record->window != window) return 0;
  return Erase(dc) ? 1 : 0;
}

HDC CreateCompatibleDC(HDC dc) {
  if (dc && !FindDc(dc)) return nullptr;
  auto memory = std::make_shared<DeviceContext>();
  memory->type = OBJ_MEMDC;
  std::lock_guard lock(GdiMutex());
  const HDC handle = AddDc(memory);
  memory->state.bitmap = StockBitmap();
  return handle;
}

BOOL DeleteDC(HDC dc) {
  const DeviceContextPtr record = FindDc(dc);
  if (!record || (record->type == OBJ_DC && !record->image)) return FALSE;
  return Erase(dc) ? TRUE : FALSE;
}

int SaveDC(HDC dc) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return 0;
  record->saved.push_back(record->state);
  return static_cast<int>(record->saved.size());
}

BOOL RestoreDC(HDC dc, int savedDc) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return FALSE;
  const int depth = static_cast<int>(record->saved.size());
  const int level = savedDc < 0 ? depth + 1 + savedDc : savedDc;
  if (savedDc == 0 || level < 1 || level > depth) return FALSE;
  const HGDIOBJ before = record->state.bitmap;
  record->state = record->saved[static_cast<size_t>(level - 1)];
  record->saved.resize(static_cast<size_t>(level - 1));
  if (before != record->state.bitmap) {
    if (GdiObjectPtr old = FindObject(before)) old->selectedInto = nullptr;
    if (GdiObjectPtr now = FindObject(record->state.bitmap)) now->selectedInto = dc;
  }
  return TRUE;
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return FALSE;
  if (previous) *previous = record->state.origin;
  record->state.origin = {x, y};
  return TRUE;
}

BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* previous) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return FALSE;
  if (previous) *previous = record->state.origin;
  record->state.origin.x += dx;
  record->state.origin.y += dy;
  return TRUE;
}

BOOL GetViewportOrgEx(HDC dc, POINT* origin) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || !origin) return FALSE;
  *origin = record->state.origin;
  return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return 0;
  Surface surface(*record);
  switch (index) {
    case HORZRES: return surface.Empty() ? record->bounds.right - record->bounds.left : surface.Width();
    case VERTRES: return surface.Empty() ? record->bounds.bottom - record->bounds.top : surface.Height();
    case BITSPIXEL: return 24;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
  }
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  const GdiObjectPtr object = FindObject(handle);
  if (!record || !object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  DcState& state = record->state;
  HGDIOBJ previous = nullptr;
  switch (object->type) {
    case OBJ_BRUSH: previous = state.brush; state.brush = handle; break;
    case OBJ_PEN: previous = state.pen; state.pen = handle; break;
    case OBJ_FONT: previous = state.font; state.font = handle; break;
    case OBJ_BITMAP: {
      // Only memory DCs hold bitmaps, and a bitmap is in one DC at a time (the stock one excepted).
      if (record->type != OBJ_MEMDC) return nullptr;
      if (!object->system && object->selectedInto && object->selectedInto != dc) return nullptr;
      previous = state.bitmap;
      if (GdiObjectPtr old = FindObject(previous)) old->selectedInto = nullptr;
      if (!object->system) object->selectedInto = dc;
      state.bitmap = handle;
      break;
    }
    default: return nullptr;
  }
  return previous;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return nullptr;
  switch (type) {
    case OBJ_BRUSH: return record->state.brush;
    case OBJ_PEN: return record->state.pen;
    case OBJ_FONT: return record->state.font;
    case OBJ_BITMAP: return record->state.bitmap;
    default: return nullptr;
  }
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  return ChangeClip(dc, {left, top, right, bottom}, true);
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  return ChangeClip(dc, {left, top, right, bottom}, false);
}

int GetClipBox(HDC dc, RECT* rect) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || !rect) return ERROR;
  const ClipRects clip = EffectiveClip(*record);
  *rect = clip.empty() ? RECT{} : ToLogical(ClipBounds(clip), record->state.origin);
  return RegionKind(clip);
}

}  // extern "C"

const UiDrawLog* UiDcDrawLog(HDC dc) {
  const DeviceContextPtr record = FindDc(dc, false);
  return record ? &record->log : nullptr;
}

const UiDrawLog& UiWindowDrawLog(HWND window) {
  static const UiDrawLog kEmpty;
  std::lock_guard lock(GdiMutex());
  const auto found = Dcs().windowLogs.find(window);
  return found == Dcs().windowLogs.end() ? kEmpty : found->second;
}

void UiBeginWindowLog(HWND window) {
  std::lock_guard lock(GdiMutex());
  Dcs().windowLogs[window].clear();
}

size_t UiLiveGdiObjects(DWORD kind) {
  if (kind != OBJ_DC && kind != OBJ_MEMDC) return CountObjects(kind);
  std::lock_guard lock(GdiMutex());
  size_t count = 0;
  for (const auto& [value, dc] : Dcs().dcs)
    if (dc->type == kind && !dc->image) ++count;
  return count;
}
