// Bitmaps from a module's RT_BITMAP resources (LoadBitmapW, LoadImageW).
#include <algorithm>

#include "core/winerror.h"
#include "ui/dialog_template.h"
#include "ui/gdi_internal.h"

namespace velm::ui {
namespace {

GdiObjectPtr LoadResourceBitmap(HINSTANCE instance, LPCWSTR name) {
  HRSRC found = FindResourceW(instance, name, RT_BITMAP);
  if (!found) return nullptr;  // FindResourceW set the error
  const DWORD size = SizeofResource(instance, found);
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, found)));
  const std::optional<BitmapResource> decoded = data ? DecodeBitmapResource(data, size) : std::nullopt;
  if (!decoded || decoded->width == 0 || decoded->height == 0) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  auto bitmap = std::make_shared<GdiObject>();
  bitmap->type = OBJ_BITMAP;
  bitmap->width = static_cast<int>(decoded->width);
  bitmap->height = static_cast<int>(decoded->height);
  bitmap->placeholder = decoded->bitsPerPixel == 0;
  bitmap->rgb = decoded->rgb;
  bitmap->resourceId = IS_INTRESOURCE(name) ? static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)) : 0;
  return bitmap;
}

// Nearest-pixel scaling to cx x cy.
void Scale(GdiObject& bitmap, int cx, int cy) {
  if (!bitmap.placeholder) {
    std::vector<BYTE> scaled(static_cast<size_t>(cx) * cy * 3);
    for (int y = 0; y < cy; ++y) {
      for (int x = 0; x < cx; ++x) {
        const size_t from = (static_cast<size_t>(y) * bitmap.height / cy * bitmap.width +
                             static_cast<size_t>(x) * bitmap.width / cx) * 3;
        std::copy_n(bitmap.rgb.begin() + static_cast<long>(from), 3, scaled.begin() + (static_cast<long>(y) * cx + x) * 3);
      }
    }
    bitmap.rgb = std::move(scaled);
  }
  bitmap.width = cx;
  bitmap.height = cy;
}

}  // namespace
}  // namespace velm::ui

using namespace velm::ui;

extern "C" {

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
  GdiObjectPtr bitmap = LoadResourceBitmap(instance, name);
  return bitmap ? static_cast<HBITMAP>(AddObject(bitmap)) : nullptr;
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
  constexpr int kMaxSide = static_cast<int>(kMaxBitmapSide);
  if (type != IMAGE_BITMAP || (flags & LR_LOADFROMFILE)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (cx < 0 || cy < 0 || cx > kMaxSide || cy > kMaxSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiObjectPtr bitmap = LoadResourceBitmap(instance, name);
  if (!bitmap) return nullptr;
  const int width = cx ? cx : bitmap->width;
  const int height = cy ? cy : bitmap->height;
  if (width != bitmap->width || height != bitmap->height) Scale(*bitmap, width, height);
  return AddObject(bitmap);
}

}  // extern "C"
