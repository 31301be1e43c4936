#include "settings/devmode/versions.h"

#include <algorithm>
#include <cstring>

#include "settings/items/settings_record.h"

namespace {

constexpr size_t kOffSpecVersion = 64;
constexpr size_t kOffDriverVersion = 66;
constexpr size_t kOffSize = 68;
constexpr size_t kOffDriverExtra = 70;
constexpr WORD kHeaderEnd = 76;  // past dmFields

constexpr WORD kSize320 = 188;
constexpr WORD kSize400 = 212;
constexpr WORD kSize401 = 220;

const BYTE* Bytes(const DEVMODEW* devmode) { return reinterpret_cast<const BYTE*>(devmode); }
BYTE* Bytes(DEVMODEW* devmode) { return reinterpret_cast<BYTE*>(devmode); }

WORD SizeOf(const DEVMODEW* devmode) { return DmLoadU16(Bytes(devmode), kOffSize); }
WORD ExtraOf(const DEVMODEW* devmode) { return DmLoadU16(Bytes(devmode), kOffDriverExtra); }
WORD DriverVersionOf(const DEVMODEW* devmode) { return DmLoadU16(Bytes(devmode), kOffDriverVersion); }

bool HasHeader(const DEVMODEW* devmode) { return devmode && SizeOf(devmode) >= kHeaderEnd; }

// The target's own fields, which every copy leaves as they were.
struct TargetFields {
  SHORT specVersion;
  WORD driverVersion;
  WORD size;
  WORD driverExtra;
};

TargetFields KeepFields(const DEVMODEW* target) {
  // The target's dmSpecVersion is read before the copy: for an unusual size it is the target's
  // own field, which the copy overwrites.
  return {DmGetSpecVersion(target), DriverVersionOf(target), SizeOf(target), ExtraOf(target)};
}

// The public part for the smaller dmSize, then the target's fields back; the bytes copied.
LONG CopyPublic(const DEVMODEW* source, DEVMODEW* target, const TargetFields& kept) {
  const WORD length = std::min(SizeOf(source), kept.size);
  std::memmove(Bytes(target), Bytes(source), length);
  BYTE* out = Bytes(target);
  DmStoreU16(out, kOffSpecVersion, static_cast<WORD>(kept.specVersion));
  DmStoreU16(out, kOffDriverVersion, kept.driverVersion);
  DmStoreU16(out, kOffSize, kept.size);
  DmStoreU16(out, kOffDriverExtra, kept.driverExtra);
  return length;
}

// The private part for the smaller dmDriverExtra, each from its own dmSize on; the bytes copied.
LONG CopyPrivate(const DEVMODEW* source, DEVMODEW* target, const TargetFields& kept) {
  const WORD length = std::min(ExtraOf(source), kept.driverExtra);
  std::memmove(Bytes(target) + kept.size, Bytes(source) + SizeOf(source), length);
  return length;
}

}  // namespace

SHORT DmGetSpecVersion(const DEVMODEW* devmode) {
  if (!HasHeader(devmode)) return 0;
  switch (SizeOf(devmode)) {
    case kSize320: return kDmSpecVersion320;
    case kSize400: return kDmSpecVersion400;
    case kSize401: return kDmSpecVersion401;
    default: return static_cast<SHORT>(DmLoadU16(Bytes(devmode), kOffSpecVersion));
  }
}

LONG DmCopyAcrossVersions(const DEVMODEW* source, DEVMODEW* target) {
  if (!HasHeader(source) || !HasHeader(target)) return -1;
  const SHORT sourceVersion = DmGetSpecVersion(source);
  if (sourceVersion == 0 || DmGetSpecVersion(target) == 0) return -1;
  if (SizeOf(source) != kDmPublicSize && sourceVersion != kDmSpecVersion320) return -1;
  const TargetFields kept = KeepFields(target);
  const LONG copied = CopyPublic(source, target, kept);
  return copied + CopyPrivate(source, target, kept);
}

LONG DmConvert(const DEVMODEW* source, DEVMODEW* target) {
  if (!HasHeader(source) || !HasHeader(target)) return -1;
  if (DmGetSpecVersion(source) == kDmSpecVersion320) return DmCopyAcrossVersions(source, target);
  const TargetFields kept = KeepFields(target);
  const LONG copied = CopyPublic(source, target, kept);
  if (ExtraOf(source) != kDmPrivateSize || DriverVersionOf(source) != kept.driverVersion) return -1;
  return copied + CopyPrivate(source, target, kept);
}
