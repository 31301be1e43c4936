// The settings record of a context and the private devmode at its start.
//
// The devmode leaves the driver (spooler, GDI, applications, the other two libraries), so its
// layout is a byte format: little-endian, several fields at odd offsets. It is read and written
// only through the offset accessors below, never through a cast to a packed structure. Only the
// NT layout is built; the Windows 9x sizes are answered for callers that ask.
#pragma once

#include <cstddef>

#include "settings/devmode/model_defaults.h"
#include "win32.h"

// ---- Sizes ---------------------------------------------------------------------------------

enum class DmPlatform { kNt, kWin9x };

constexpr WORD kDmPublicSize = 220;        // dmSize
constexpr WORD kDmPrivateSize = 1040;      // dmDriverExtra
constexpr DWORD kDmSize = 1260;            // every copy of a devmode has this size
constexpr DWORD kDmConfigSize = 508;       // section 2
constexpr DWORD kDmWorkSize = 2040;        // section 3
constexpr DWORD kDmSectionSize[4] = {0, kDmSize, kDmConfigSize, kDmWorkSize};  // by section 1..3
constexpr DWORD kDmRecordSize = 3808;
constexpr WORD kDm9xPublicSize = 148;
constexpr WORD kDm9xPrivateSize = 1048;
constexpr DWORD kDm9xSize = 1196;
constexpr DWORD kDm9xRecordSize = 3744;

// The sizes by platform; the caller asks the platform services which one it runs on.
WORD DmGetPublicSize(DmPlatform platform);
WORD DmGetPrivateSize(DmPlatform platform);
DWORD DmGetSize(DmPlatform platform);
DWORD DmGetConfigSize();
DWORD DmGetRecordSize(DmPlatform platform);

// ---- The records ---------------------------------------------------------------------------

struct PrivateDevmode {
  BYTE bytes[kDmSize];
};

struct SettingsRecord {
  PrivateDevmode devmode;   // section 1: item offsets are devmode offsets
  BYTE config[kDmConfigSize];
  BYTE work[kDmWorkSize];
};

static_assert(sizeof(PrivateDevmode) == kDmSize);
static_assert(sizeof(SettingsRecord) == kDmRecordSize);
static_assert(offsetof(SettingsRecord, config) == kDmSize);
static_assert(offsetof(SettingsRecord, work) == kDmSize + kDmConfigSize);

// Byte offsets within the devmode (NT layout).
constexpr size_t kDmOffSize = 68;              // u16 dmSize
constexpr size_t kDmOffDriverExtra = 70;       // u16 dmDriverExtra
constexpr size_t kDmOffFields = 72;            // u32 dmFields
constexpr size_t kDmOffSignature = 220;        // "VELM", then a NUL in byte 224
constexpr size_t kDmOffJobBinder = 224;        // u32, item 714
constexpr size_t kDmOffIniName = 228;          // char[16], item 707
constexpr size_t kDmOffVersion1 = 244;         // char[16], item 708
constexpr size_t kDmOffVersion2 = 260;         // char[16], item 709
constexpr size_t kDmOffCommonTag = 276;        // char[8], item 710
constexpr size_t kDmOffCommonVersion = 284;    // u8, item 711
constexpr size_t kDmOffSummary = 285;          // 32 bytes, item 712
constexpr size_t kDmOffCapabilities = 317;     // 32 bytes, item 713
constexpr size_t kDmOffModelTag = 349;         // u32
constexpr size_t kDmOffPrivateSize = 353;      // u32
constexpr size_t kDmOffFormatVersion = 357;    // u32
constexpr size_t kDmOffSectionBase = 361;      // three u16: sections 1, 2, 3
constexpr size_t kDmOffMachineId = 372;        // u8, item 39
constexpr size_t kDmOffModelVariant = 857;     // u8
constexpr size_t kDmOffStateFlags = 858;       // u32
constexpr size_t kDmOffConfigCopy = 892;       // copy of section-2 bytes 0..348
constexpr size_t kDmOffEnvironment = 1241;     // sixteen bytes, items 715..730

constexpr size_t kDmHeaderNameSize = 16;

// State flags (the u32 at 858); both live in its second byte.
constexpr DWORD kDmStateConstraintPassDone = 0x0400;
constexpr DWORD kDmStateItem394Default = 0x2000;

// ---- Little-endian access ------------------------------------------------------------------

inline BYTE DmLoadU8(const BYTE* base, size_t offset) { return base[offset]; }
inline WORD DmLoadU16(const BYTE* base, size_t offset) {
  return static_cast<WORD>(base[offset] | (base[offset + 1] << 8));
}
inline DWORD DmLoadU32(const BYTE* base, size_t offset) {
  return static_cast<DWORD>(base[offset]) | (static_cast<DWORD>(base[offset + 1]) << 8) |
         (static_cast<DWORD>(base[offset + 2]) << 16) | (static_cast<DWORD>(base[offset + 3]) << 24);
}
inline void DmStoreU8(BYTE* base, size_t offset, BYTE value) { base[offset] = value; }
inline void DmStoreU16(BYTE* base, size_t offset, WORD value) {
  base[offset] = static_cast<BYTE>(value);
  base[offset + 1] = static_cast<BYTE>(value >> 8);
}
inline void DmStoreU32(BYTE* base, size_t offset, DWORD value) {
  for (int i = 0; i < 4; ++i) base[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

// ---- Header and sections -------------------------------------------------------------------

// The private part: devmode + dmSize. Null when dmSize leaves no private part inside the
// devmode. The private header starts at the same address.
BYTE* DmGetPrivatePart(PrivateDevmode* devmode);
BYTE* DmGetPrivateHeader(PrivateDevmode* devmode);

// The base of item section 1, 2 or 3: the record plus the u16 at byte 361, 363 or 365.
// Null for any other section, and when the stored base would put the section outside the
// record (the bases travel inside devmodes that come from outside).
BYTE* DmGetSection(SettingsRecord* record, int section);
const BYTE* DmGetSection(const SettingsRecord* record, int section);
// Section 2, the printer configuration: DmGetSection(record, 2).
BYTE* DmGetConfigSection(SettingsRecord* record);

// Writes the header fields of an NT devmode: "VELM" and its NUL at 220, the job-binder word 0
// at 224, the model tag, private size and format version at 349/353/357 and the section bases
// 0, 1260, 1768 at 361/363/365. Every other byte is left as it is.
void DmWritePrivateHeader(PrivateDevmode* devmode, const ModelDefaults& defaults);

// Fills the three name fields of the header with the settings INI name and the two version
// strings, narrowed to the ANSI code page: at most 16 bytes each, the rest zero (a 16-byte name
// has no NUL; a double-byte character that does not fit whole is left out). Empties item 710,
// sets byte 284 to 0 and zeroes the two 32-byte records (items 712, 713).
void DmFillHeaderNames(PrivateDevmode* devmode, const ModelDefaults& defaults);

// The state flags word at 858.
DWORD DmGetStateFlags(const PrivateDevmode* devmode);
void DmSetStateFlags(PrivateDevmode* devmode, DWORD flags);
