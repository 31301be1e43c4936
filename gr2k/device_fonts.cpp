#include "gr2k/device_fonts.h"

#include <cstring>

#include "gr2k/pdev.h"
#include "settings/context/process_state.h"
#include "settings/items/settings_record.h"

namespace {

// The device faces by kind: ｺﾞｼｯｸ, 明朝 and their vertical forms.
const WCHAR* const kDeviceFaces[kDeviceFontCount] = {
    WSTR("\xFF7A\xFF9E\xFF7C\xFF6F\xFF78"), WSTR("\x660E\x671D"), WSTR("@\xFF7A\xFF9E\xFF7C\xFF6F\xFF78"),
    WSTR("@\x660E\x671D")};

constexpr BYTE kFontMagic[4] = {'V', 'F', 'N', 'T'};
constexpr BYTE kGlyphSetMagic[4] = {'V', 'G', 'L', 'S'};
constexpr WORD kFontFormatVersion = 1;
constexpr DWORD kGlyphSetHeaderBytes = 20;
// The IFIMETRICS as a resource stores it: every field up to the PANOSE, padded to 4 bytes
// (Windows' 64-bit structure adds an alignment member behind, which the copy leaves zero).
constexpr DWORD kStoredIfiBytes = 184;
static_assert(kStoredIfiBytes == ((offsetof(IFIMETRICS, panose) + sizeof(PANOSE) + 3) & ~size_t{3}));
// Header fields that every metrics resource shares with the template: magic, header bytes and
// version (0..7), code page (22..23).
constexpr DWORD kSharedFormat[][2] = {{0, 8}, {22, 2}};

bool SameName(const WCHAR* a, const WCHAR* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

// A resource's bytes, or null.
const BYTE* ResourceBytes(HMODULE module, WORD type, WORD id, DWORD* size) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
  if (!found) return nullptr;
  *size = SizeofResource(module, found);
  return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
}

// Whether a metrics resource is whole: its header, an IFIMETRICS inside it whose size covers
// the structure and whose face name lies inside it, NUL-terminated.
bool MetricsResourceSound(const BYTE* data, DWORD size) {
  if (!data || size < kFontHeaderBytes || std::memcmp(data, kFontMagic, 4) != 0 ||
      DmLoadU16(data, 4) != kFontHeaderBytes || DmLoadU16(data, 6) != kFontFormatVersion ||
      DmLoadU32(data, 8) != size || DmLoadU32(data, 12) != kFontHeaderBytes)
    return false;
  const DWORD ifiBytes = DmLoadU32(data, 16);
  if (ifiBytes < kStoredIfiBytes || ifiBytes > size - kFontHeaderBytes) return false;
  const BYTE* ifi = data + kFontHeaderBytes;
  if (DmLoadU32(ifi, offsetof(IFIMETRICS, cjThis)) != ifiBytes) return false;
  const DWORD face = DmLoadU32(ifi, offsetof(IFIMETRICS, dpwszFaceName));
  if (face < kStoredIfiBytes || face >= ifiBytes || face % sizeof(WCHAR)) return false;
  for (DWORD at = face; at + 1 < ifiBytes; at += sizeof(WCHAR)) {
    if (DmLoadU16(ifi, at) == 0) return true;
  }
  return false;
}

// Copies metrics resource `id` to the allocation list; null when it is missing or damaged.
BYTE* CopyMetrics(RenderPdev* pdev, HMODULE module, WORD id) {
  DWORD size = 0;
  const BYTE* data = ResourceBytes(module, kFontMetricsResourceType, id, &size);
  if (!MetricsResourceSound(data, size)) return nullptr;
  // At least a whole IFIMETRICS behind the header, whatever the resource's own size.
  const size_t bytes = size > kFontHeaderBytes + sizeof(IFIMETRICS) ? size : kFontHeaderBytes + sizeof(IFIMETRICS);
  auto* copy = static_cast<BYTE*>(PdevMemAlloc(pdev->allocations, bytes));
  if (!copy) return nullptr;
  std::memset(copy, 0, bytes);
  std::memcpy(copy, data, size);
  return copy;
}

bool MatchesTemplate(const BYTE* header, const BYTE* templ) {
  for (const auto& range : kSharedFormat) {
    if (std::memcmp(header + range[0], templ + range[0], range[1]) != 0) return false;
  }
  return true;
}

// Builds the glyph set of resource `id`: runs {u16 first, u16 count}, then the u16 handles.
FD_GLYPHSET* LoadGlyphSet(RenderPdev* pdev, HMODULE module, WORD id) {
  DWORD size = 0;
  const BYTE* data = ResourceBytes(module, kGlyphSetResourceType, id, &size);
  if (!data || size < kGlyphSetHeaderBytes || std::memcmp(data, kGlyphSetMagic, 4) != 0 ||
      DmLoadU16(data, 4) != kFontFormatVersion || DmLoadU32(data, 8) != size)
    return nullptr;
  const DWORD glyphs = DmLoadU32(data, 12), runs = DmLoadU32(data, 16);
  if (runs == 0 || runs > (size - kGlyphSetHeaderBytes) / 4 ||
      glyphs > (size - kGlyphSetHeaderBytes - runs * 4) / 2)
    return nullptr;
  const size_t header = offsetof(FD_GLYPHSET, awcrun) + size_t{runs} * sizeof(WCRUN);
  const size_t bytes = header + size_t{glyphs} * sizeof(HGLYPH);
  auto* block = static_cast<BYTE*>(PdevMemAlloc(pdev->allocations, bytes));
  if (!block) return nullptr;
  std::memset(block, 0, bytes);
  auto* set = reinterpret_cast<FD_GLYPHSET*>(block);
  auto* handles = reinterpret_cast<HGLYPH*>(block + header);
  const BYTE* run = data + kGlyphSetHeaderBytes;
  const BYTE* handle = run + runs * 4;
  DWORD used = 0;
  for (DWORD i = 0; i < runs; ++i, run += 4) {
    const WORD count = DmLoadU16(run, 2);
    if (count == 0 || count > glyphs - used) {
      PdevMemFree(pdev->allocations, block);
      return nullptr;
    }
    set->awcrun[i] = WCRUN{static_cast<WCHAR>(DmLoadU16(run, 0)), count, handles + used};
    for (WORD k = 0; k < count; ++k, ++used) handles[used] = DmLoadU16(handle, used * 2);
  }
  set->cjThis = static_cast<ULONG>(bytes);
  set->cGlyphsSupported = used;
  set->cRuns = runs;
  return set;
}

}  // namespace

DWORD DevFontTableLoad(RenderPdev* pdev) {
  pdev->fonts = nullptr;
  auto* table = static_cast<DevFontTable*>(PdevMemAlloc(pdev->allocations, sizeof(DevFontTable)));
  if (!table) return 0;
  std::memset(static_cast<void*>(table), 0, sizeof(DevFontTable));
  table->module = SysProcessState().module;
  for (DWORD i = 0; i < kDeviceFontCount; ++i) {
    BYTE* copy = CopyMetrics(pdev, table->module, static_cast<WORD>(i + 1));
    if (copy && i == 0) std::memcpy(table->headerTemplate, copy, kFontHeaderBytes);
    if (!copy || !MatchesTemplate(copy, table->headerTemplate)) {
      PdevMemFree(pdev->allocations, copy);
      pdev->fonts = table;
      DevFontTableFree(pdev);
      return 0;
    }
    auto* metrics = reinterpret_cast<IFIMETRICS*>(copy + kFontHeaderBytes);
    const int index = DevFontFaceIndex(IfiFaceName(metrics));
    table->fonts[i] = DeviceFont{static_cast<BYTE>(index < 0 ? kFaceGothicVertical : index), metrics};
  }
  table->count = kDeviceFontCount;
  pdev->fonts = table;
  return table->count;
}

void DevFontTableFree(RenderPdev* pdev) {
  DevFontTable* table = pdev->fonts;
  pdev->fonts = nullptr;
  if (!table) return;
  for (const DeviceFont& font : table->fonts) {
    if (font.metrics) PdevMemFree(pdev->allocations, reinterpret_cast<BYTE*>(font.metrics) - kFontHeaderBytes);
  }
  for (FD_GLYPHSET* set : table->glyphSets) PdevMemFree(pdev->allocations, set);
  PdevMemFree(pdev->allocations, table);
}

const DeviceFont* DevFontAt(const RenderPdev* pdev, ULONG face) {
  if (!pdev->fonts || face < 1 || face > pdev->fonts->count) return nullptr;
  return &pdev->fonts->fonts[face - 1];
}

FD_GLYPHSET* DevFontGlyphSet(RenderPdev* pdev, BYTE kind) {
  if (!pdev->fonts) return nullptr;
  const bool vertical = kind >= kFaceGothicVertical;
  FD_GLYPHSET*& set = pdev->fonts->glyphSets[vertical ? 1 : 0];
  if (!set) set = LoadGlyphSet(pdev, pdev->fonts->module, vertical ? kVerticalGlyphSetId : kHorizontalGlyphSetId);
  return set;
}

int DevFontFaceIndex(const WCHAR* face) {
  if (!face) return -1;
  for (DWORD i = 0; i < kDeviceFontCount; ++i) {
    if (SameName(face, kDeviceFaces[i])) return static_cast<int>(i);
  }
  return -1;
}

const WCHAR* IfiFaceName(const IFIMETRICS* ifi) {
  if (!ifi || ifi->dpwszFaceName <= 0 || static_cast<ULONG>(ifi->dpwszFaceName) >= ifi->cjThis) return WSTR("");
  return reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(ifi) + ifi->dpwszFaceName);
}

LONG DevFontGlyphWidth(const IFIMETRICS* ifi, HGLYPH code) {
  const bool narrow = code < 256 || code == 0x8640 || (code >> 8) == 0x85;
  return narrow ? ifi->fwdAveCharWidth : ifi->fwdMaxCharInc;
}
