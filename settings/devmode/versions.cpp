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

WORD SizeOf(const BYTE* devmode) { return DmLoadU16(devmode, kOffSize); }
WORD ExtraOf(const BYTE* devmode) { return DmLoadU16(devmode, kOffDriverExtra); }
WORD DriverVersionOf(const BYTE* devmode) { return DmLoadU16(devmode, kOffDriverVersion); }

bool HasHeader(const BYTE* devmode) { return devmode && SizeOf(devmode) >= kHeaderEnd; }

// Whether `bytes` bytes hold the header and the whole devmode the header claims.
bool HoldsClaimedBytes(const BYTE* devmode, size_t bytes) {
  return devmode && bytes >= kHeaderEnd && HasHeader(devmode) && size_t{SizeOf(devmode)} + ExtraOf(devmode) <= bytes;
}

SHORT SpecVersionOf(const BYTE* devmode) {
  switch (SizeOf(devmode)) {
    case kSize320: return kDmSpecVersion320;
    case kSize400: return kDmSpecVersion400;
    case kSize401: return kDmSpecVersion401;
    default: return static_cast<SHORT>(DmLoadU16(devmode, kOffSpecVersion));
  }
}

// The target's own fields, which every copy leaves as they were.
struct TargetFields {
  SHORT specVersion;
  WORD driverVersion;
  WORD size;
  WORD driverExtra;
};

TargetFields KeepFields(const BYTE* target) {
  // The target's dmSpecVersion is read before the copy: for an unusual size it is the target's
  // own field, which the copy overwrites.
  return {SpecVersionOf(target), DriverVersionOf(target), SizeOf(target), ExtraOf(target)};
}

// The public part for the smaller dmSize, then the target's fields back; the bytes copied.
LONG CopyPublic(const BYTE* source, BYTE* target, const TargetFields& kept) {
  const WORD length = std::min(SizeOf(source), kept.size);
  std::memmove(target, source, length);
  DmStoreU16(target, kOffSpecVersion, static_cast<WORD>(kept.specVersion));
  DmStoreU16(target, kOffDriverVersion, kept.driverVersion);
  DmStoreU16(target, kOffSize, kept.size);
  DmStoreU16(target, kOffDriverExtra, kept.driverExtra);
  return length;
}

// The private part for the smaller dmDriverExtra, each from its own dmSize on; the bytes copied.
LONG CopyPrivate(const BYTE* source, BYTE* target, const TargetFields& kept) {
  const WORD length = std::min(ExtraOf(source), kept.driverExtra);
  std::memmove(target + kept.size, source + SizeOf(source), length);
  return length;
}

LONG CopyAcrossVersions(const BYTE* source, BYTE* target) {
  const SHORT sourceVersion = SpecVersionOf(source);
  if (sourceVersion == 0 || SpecVersionOf(target) == 0) return -1;
  if (SizeOf(source) != kDmPublicSize && sourceVersion != kDmSpecVersion320) return -1;
  const TargetFields kept = KeepFields(target);
  const LONG copied = CopyPublic(source, target, kept);
  return copied + CopyPrivate(source, target, kept);
}

LONG Convert(const BYTE* source, BYTE* target) {
  if (SpecVersionOf(source) == kDmSpecVersion320) return CopyAcrossVersions(source, target);
  const TargetFields kept = KeepFields(target);
  const LONG copied = CopyPublic(source, target, kept);
  if (ExtraOf(source) != kDmPrivateSize || DriverVersionOf(source) != kept.driverVersion) return -1;
  return copied + CopyPrivate(source, target, kept);
}

}  // namespace

SHORT DmGetSpecVersion(const DEVMODEW* devmode) {
  const auto* bytes = reinterpret_cast<const BYTE*>(devmode);
  return HasHeader(bytes) ? SpecVersionOf(bytes) : 0;
}

// A caller that hands no size vouches for the bytes the headers claim.
LONG DmCopyAcrossVersions(const DEVMODEW* source, DEVMODEW* target) {
  const auto* from = reinterpret_cast<const BYTE*>(source);
  auto* to = reinterpret_cast<BYTE*>(target);
  return HasHeader(from) && HasHeader(to) ? CopyAcrossVersions(from, to) : -1;
}

LONG DmConvert(const DEVMODEW* source, DEVMODEW* target) {
  const auto* from = reinterpret_cast<const BYTE*>(source);
  auto* to = reinterpret_cast<BYTE*>(target);
  return HasHeader(from) && HasHeader(to) ? Convert(from, to) : -1;
}

LONG DmConvertBytes(const BYTE* source, size_t sourceBytes, BYTE* target, size_t targetBytes) {
  if (!HoldsClaimedBytes(source, sourceBytes) || !HoldsClaimedBytes(target, targetBytes)) return -1;
  return Convert(source, target);
}
