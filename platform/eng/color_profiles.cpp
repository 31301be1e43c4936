// Colour profiles and transforms: handle bookkeeping over profile-less transforms, with a switch
// that makes every profile open fail.
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "core/winerror.h"
#include "eng/engine_objects.h"
#include "eng/icm.h"

namespace {

enum class Kind { kProfile, kTransform };

struct ColorHandles {
  std::mutex mutex;
  std::unordered_map<HANDLE, Kind> live;
  uintptr_t next = 0x7C000;
};

ColorHandles& Handles() {
  static ColorHandles handles;
  return handles;
}

std::atomic<bool> g_openFails{false};

HANDLE Open(Kind kind) {
  ColorHandles& handles = Handles();
  std::lock_guard<std::mutex> lock(handles.mutex);
  handles.next += 4;
  const HANDLE handle = reinterpret_cast<HANDLE>(handles.next);
  handles.live.emplace(handle, kind);
  return handle;
}

bool IsOpen(HANDLE handle, Kind kind) {
  ColorHandles& handles = Handles();
  std::lock_guard<std::mutex> lock(handles.mutex);
  const auto found = handles.live.find(handle);
  return found != handles.live.end() && found->second == kind;
}

BOOL Close(HANDLE handle, Kind kind) {
  ColorHandles& handles = Handles();
  std::lock_guard<std::mutex> lock(handles.mutex);
  const auto found = handles.live.find(handle);
  if (found == handles.live.end() || found->second != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  handles.live.erase(found);
  return TRUE;
}

}  // namespace

namespace velm::platform {

void SetColorProfileOpenFails(bool fails) { g_openFails = fails; }

size_t LiveColorHandles() {
  ColorHandles& handles = Handles();
  std::lock_guard<std::mutex> lock(handles.mutex);
  return handles.live.size();
}

}  // namespace velm::platform

extern "C" HPROFILE WINAPI OpenColorProfileW(PPROFILE pProfile, DWORD dwDesiredAccess, DWORD, DWORD) {
  if (!pProfile || !pProfile->pProfileData || pProfile->cbDataSize == 0 ||
      (pProfile->dwType != PROFILE_MEMBUFFER && pProfile->dwType != PROFILE_FILENAME) ||
      (dwDesiredAccess != PROFILE_READ && dwDesiredAccess != PROFILE_READWRITE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (g_openFails) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return Open(Kind::kProfile);
}

extern "C" BOOL WINAPI CloseColorProfile(HPROFILE hProfile) { return Close(hProfile, Kind::kProfile); }

extern "C" HTRANSFORM WINAPI CreateColorTransformW(LPLOGCOLORSPACEW pLogColorSpace, HPROFILE hDestProfile,
                                                   HPROFILE hTargetProfile, DWORD) {
  if (!pLogColorSpace || (hDestProfile && !IsOpen(hDestProfile, Kind::kProfile)) ||
      (hTargetProfile && !IsOpen(hTargetProfile, Kind::kProfile))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Open(Kind::kTransform);
}

extern "C" BOOL WINAPI DeleteColorTransform(HTRANSFORM hxform) { return Close(hxform, Kind::kTransform); }
