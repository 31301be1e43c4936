// Image colour management (the colour-management module's calls that a printer driver makes):
// colour profiles opened from memory or a file name, and colour transforms between them. Here a
// transform is profile-less: colours pass through it unchanged.
#pragma once

#include "core/wintypes.h"
#include "eng/gdi_types.h"

using HPROFILE = HANDLE;
using HTRANSFORM = HANDLE;

struct PROFILE {
  DWORD dwType;        // PROFILE_FILENAME or PROFILE_MEMBUFFER
  PVOID pProfileData;  // the file name or the profile's bytes
  DWORD cbDataSize;
};
using PPROFILE = PROFILE*;

constexpr DWORD PROFILE_FILENAME = 1;
constexpr DWORD PROFILE_MEMBUFFER = 2;
constexpr DWORD PROFILE_READ = 1;
constexpr DWORD PROFILE_READWRITE = 2;

extern "C" {
// Null with ERROR_INVALID_PARAMETER for a missing or empty profile, an unknown type or access.
HPROFILE WINAPI OpenColorProfileW(PPROFILE pProfile, DWORD dwDesiredAccess, DWORD dwShareMode, DWORD dwCreationMode);
BOOL WINAPI CloseColorProfile(HPROFILE hProfile);
// A transform from the logical colour space to hDestProfile (through hTargetProfile when given).
// Null with ERROR_INVALID_PARAMETER without a colour space or with a profile handle that is not open.
HTRANSFORM WINAPI CreateColorTransformW(LPLOGCOLORSPACEW pLogColorSpace, HPROFILE hDestProfile,
                                        HPROFILE hTargetProfile, DWORD dwFlags);
BOOL WINAPI DeleteColorTransform(HTRANSFORM hxform);
}
