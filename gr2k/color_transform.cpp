// The colour-management hooks: a transform to the target profile the application's colours go
// through, kept with its profile in the PDEV (DrvResetPDEV carries both to the next one).
#include "gr2k/drawing_hooks.h"
#include "gr2k/pdev.h"

namespace {

constexpr DWORD kTransformFlags = 3;

}  // namespace

extern "C" HANDLE DrvIcmCreateColorTransform(DHPDEV dhpdev, LPLOGCOLORSPACEW pLogColorSpace, PVOID, ULONG, PVOID,
                                             ULONG, PVOID pvTargetProfile, ULONG cjTargetProfile, DWORD) {
  RenderPdev* pdev = PdevFromHandle(dhpdev);
  if (!pdev) return nullptr;
  PROFILE target{PROFILE_MEMBUFFER, pvTargetProfile, cjTargetProfile};
  const HPROFILE profile = OpenColorProfileW(&target, PROFILE_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (!profile) return nullptr;
  const HTRANSFORM transform = CreateColorTransformW(pLogColorSpace, profile, nullptr, kTransformFlags);
  if (!transform) {
    const DWORD error = GetLastError();
    CloseColorProfile(profile);
    SetLastError(error);
    return nullptr;
  }
  pdev->colorProfile = profile;
  pdev->colorTransform = transform;
  return transform;
}

extern "C" BOOL DrvIcmDeleteColorTransform(DHPDEV dhpdev, HANDLE) {
  RenderPdev* pdev = PdevFromHandle(dhpdev);
  if (!pdev) return FALSE;
  if (pdev->colorTransform) DeleteColorTransform(pdev->colorTransform);
  if (pdev->colorProfile) CloseColorProfile(pdev->colorProfile);
  pdev->colorTransform = nullptr;
  pdev->colorProfile = nullptr;
  return TRUE;
}
