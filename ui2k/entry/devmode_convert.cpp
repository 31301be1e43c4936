#include "ui2k/entry/devmode_convert.h"

#include <cstring>

#include "settings/devmode/versions.h"
#include "settings/items/settings_record.h"

namespace {

constexpr size_t kOffSpecVersion = 64;
constexpr size_t kOffDriverVersion = 66;
constexpr size_t kSizeFieldsEnd = kDmOffDriverExtra + 2;  // dmSize and dmDriverExtra read whole

constexpr WORD kDriverVersion351 = 0x350;
constexpr WORD kPublicSize351 = 188;

WORD LoadU16(const DEVMODEW* devmode, size_t offset) {
  return DmLoadU16(reinterpret_cast<const BYTE*>(devmode), offset);
}
void StoreU16(DEVMODEW* devmode, size_t offset, WORD value) {
  DmStoreU16(reinterpret_cast<BYTE*>(devmode), offset, value);
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return kConvertFailed;
}

// The short-buffer answer of the modes with a fixed size.
int NeedsMore(LONG* pcbNeeded, LONG needed) {
  *pcbNeeded = needed;
  return Fail(ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace

int DmConvertCore(const WCHAR*, const DEVMODEW* pdmIn, DEVMODEW* pdmOut, LONG* pcbNeeded, DWORD fMode) {
  if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
  switch (fMode) {
    case CDM_CONVERT: {
      // The output's own size fields say how much it holds; they are read only when the caller's
      // byte count covers them.
      if (!pdmIn || !pdmOut || *pcbNeeded < static_cast<LONG>(kSizeFieldsEnd)) return Fail(ERROR_INVALID_PARAMETER);
      const LONG size = LoadU16(pdmOut, kDmOffSize) + LoadU16(pdmOut, kDmOffDriverExtra);
      if (*pcbNeeded < size || DmConvert(pdmIn, pdmOut) <= 0) return Fail(ERROR_INVALID_PARAMETER);
      *pcbNeeded = size;
      return kConvertDone;
    }
    case CDM_CONVERT351: {
      if (!pdmOut || *pcbNeeded < kConvert351Needed) return NeedsMore(pcbNeeded, kConvert351Needed);
      if (!pdmIn) return Fail(ERROR_INVALID_PARAMETER);
      StoreU16(pdmOut, kOffSpecVersion, static_cast<WORD>(kDmSpecVersion320));
      StoreU16(pdmOut, kDmOffSize, kPublicSize351);
      StoreU16(pdmOut, kOffDriverVersion, kDriverVersion351);
      StoreU16(pdmOut, kDmOffDriverExtra, kDmPrivateSize);
      // The target's driver version is the 3.51 one by design, so the copy across versions (not
      // the conversion, which takes a private part only from the same driver version) runs.
      if (DmCopyAcrossVersions(pdmIn, pdmOut) <= 0) return Fail(ERROR_INVALID_PARAMETER);
      *pcbNeeded = kConvert351Needed;
      return kConvertDone;
    }
    case CDM_DRIVER_DEFAULT:
      if (!pdmOut || *pcbNeeded < kConvertDefaultNeeded) return NeedsMore(pcbNeeded, kConvertDefaultNeeded);
      *pcbNeeded = kConvertDefaultNeeded;
      return kConvertContinue;
    default:
      return kConvertContinue;
  }
}

int DmConvertForApply(const DEVMODEW* source, const DEVMODEW* pdmIn, DEVMODEW* pdmOut) {
  if (!pdmOut) return -1;
  if (!source) return 0;
  const WORD sourceSize = LoadU16(source, kDmOffSize);
  const WORD sourceExtra = LoadU16(source, kDmOffDriverExtra);
  if (!pdmIn) {
    std::memcpy(pdmOut, source, static_cast<size_t>(sourceSize) + sourceExtra);
    return 1;
  }
  const DEVMODEW* bySize = LoadU16(pdmIn, kDmOffSize) < sourceSize ? pdmIn : source;
  const DEVMODEW* byExtra = LoadU16(pdmIn, kDmOffDriverExtra) < sourceExtra ? pdmIn : source;
  StoreU16(pdmOut, kOffSpecVersion, LoadU16(bySize, kOffSpecVersion));
  StoreU16(pdmOut, kDmOffSize, LoadU16(bySize, kDmOffSize));
  StoreU16(pdmOut, kOffDriverVersion, LoadU16(byExtra, kOffDriverVersion));
  StoreU16(pdmOut, kDmOffDriverExtra, LoadU16(byExtra, kDmOffDriverExtra));
  return DmCopyAcrossVersions(source, pdmOut) > 0 ? 1 : 0;
}
