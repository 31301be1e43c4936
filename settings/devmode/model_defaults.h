// The per-model constants from which a settings record is built: defaults of the public
// devmode fields, limits, the model tag and format version, and the names of the files and
// libraries the driver works with. One static instance; every driver context and the graphics
// library's device state hold a copy.
//
// The record never leaves the process, so it is a plain struct with named fields and native
// pointers; places that other code knew by a 32-bit byte offset are noted beside the field.
#pragma once

#include "win32.h"

struct ModelDefaults {
  SHORT specVersion;                // 0x401, the DEVMODEW version written into dmSpecVersion
  SHORT driverVersion;              // 0x400, dmDriverVersion
  const WCHAR* settingsIniName;     // "qnset.ini" (offset +4); absolute when its 2nd char is ':'
  const WCHAR* outputLibraryName;   // "qnoutlib.dll", the graphics library's output library
  DWORD publicFieldsMask;           // 0x7F03, dmFields bits the driver supports
  SHORT rangeScaleMax;              // 999, scale maximum answered by range queries
  SHORT reserved18;                 // 1, reserved: copied with the rest, read by nothing
  DWORD reserved20;                 // 4, reserved: copied with the rest, read by nothing
  DWORD capabilityWord;             // 90 (offset +24); non-zero enables a capability query
  DWORD defaultResolution;          // 600 dpi
  DWORD reserved32;                 // 0

  // Defaults of the thirteen s16 public fields, in DEVMODEW order.
  SHORT defaultOrientation;         // 1
  SHORT defaultPaperSize;           // 9 (A4)
  SHORT defaultPaperLength;         // 0
  SHORT defaultPaperWidth;          // 0
  SHORT defaultScale;               // 100
  SHORT defaultCopies;              // 1
  SHORT defaultDefaultSource;       // 7 (auto)
  SHORT defaultPrintQuality;        // 600
  SHORT defaultColor;               // 2
  SHORT defaultDuplex;              // 1
  SHORT defaultYResolution;         // 600
  SHORT defaultTTOption;            // 3
  SHORT defaultCollate;             // 0
  SHORT reserved62;                 // 0

  const WCHAR* defaultFormName;     // "A4"
  DWORD defaultIcmMethod;           // 1
  DWORD defaultIcmIntent;           // 1
  DWORD defaultMediaType;           // 1
  DWORD defaultDitherType;          // 1
  DWORD scaleMin;                   // 1
  DWORD scaleMax;                   // 1000 (validation range; differs from rangeScaleMax on purpose)
  DWORD copiesMin;                  // 1
  DWORD copiesMax;                  // 999
  DWORD modelTag;                   // the bytes "priv" read as a little-endian u32
  DWORD reserved104;                // 0
  DWORD formatVersion;              // 0x00030003; compatibility compares the low 16 bits
  BYTE item35To38Defaults[4];       // 0,0,0,0 (offset +112): defaults of items 35..38
  BYTE machineId;                   // 130, item 39; also called the model class
  BYTE modelVariant;                // 0; devmode byte 857 must agree

  // Item defaults used by the item-default handlers. The block was thirteen s16
  // (600, 600, 9, 9, 9, 9, 0, 0x900, 0, 16, 0, 32, 0); its zero entries hold the single-byte
  // defaults of items 177, 178, 179 and 182, and the 0x900 entry's high byte is an unnamed 9.
  SHORT item42Default;              // 600, destination resolution
  SHORT item43Default;              // 600
  SHORT trayPaperDefaults[4];       // 9, 9, 9, 9: items 132, 139, 143, 147
  BYTE languageDefault;             // 0, item 177 (a value of the language table)
  BYTE item178Default;              // 0
  BYTE item179Default;              // 0
  BYTE reservedByte9;               // 9, reserved: read by nothing
  BYTE item182Default;              // 0
  BYTE reservedByte0;               // 0
  SHORT item245Default;             // 16
  SHORT reservedShort0a;            // 0
  SHORT item441Default;             // 32
  SHORT reservedShort0b;            // 0

  const WCHAR* versionString1;      // "01.00" (offset +144), item 708
  const WCHAR* versionString2;      // "01.00" (offset +148), item 709
  const WCHAR* driverNameFallback;  // "JP", used when the driver name is still empty
  DWORD reserved156;                // 0
  const WCHAR* driverIniName;       // "qndrv.ini"
  const WCHAR* companionLibraryName;     // "qnauxa.dll"
  const WCHAR* ownLibraryName;           // "velmexc.dll"
  DWORD reserved172;                // 0
  const WCHAR* resourceDataLibraryName;  // "qnresdat.dll"
  DWORD reserved180;                // 0
  const WCHAR* descriptionVersion;  // "3.60"; must equal the description file's and image's
  DWORD settingsFileVersion;        // 200, written as "RstVersion"
  DWORD customWidthMin;             // 4250 (1/1200 inch)
  DWORD customWidthMax;             // 14408
  DWORD customLengthMin;            // 6992
  DWORD customLengthMax;            // 21590
};

// The model's constants. Contexts copy them; nothing writes through this reference.
extern const ModelDefaults kModelDefaults;

// The four bytes "priv" as the little-endian u32 the devmode header carries.
constexpr DWORD kModelTagPriv = 0x76697270u;
