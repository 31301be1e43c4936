// The answers to the spooler's and applications' device-capability queries (DC_*).
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Entry widths of the name lists, in characters.
constexpr DWORD kDevCapsBinNameChars = 24;
constexpr DWORD kDevCapsPaperNameChars = 64;
constexpr DWORD kDevCapsPersonalityChars = 32;

// The context a query is answered on: creation flags that search the reuse cache's table 1, and
// the flags the caller's devmode is merged with.
constexpr DWORD kDevCapsCreationFlags = kCreateCacheTable1;
constexpr DWORD kDevCapsMergeFlags = 0x1000008;

// Answers `capability` for `printer` (the spooler's handle; `deviceName` is not read).
//   output   null: only the count or value is answered. Otherwise the list is written there
//            without a size: the caller sized it from the count query first.
//   devmode  the caller's devmode, merged into the context (null: the printer's settings).
// The constants of the model (DC_SIZE, DC_EXTRA, DC_VERSION, DC_DRIVER, DC_ORIENTATION,
// DC_COPIES, DC_FILEDEPENDENCIES, DC_BINADJUST, DC_EMF_COMPLIANT, DC_DATATYPE_PRODUCED,
// DC_PRINTRATEUNIT, DC_NUP, DC_PERSONALITY) and the custom extents are answered without the
// printer; every other query on a context of the printer, -1 when its stored settings are not
// ready, the context cannot be opened or the devmode not merged. An unknown index answers -1.
DWORD UiDeviceCapabilities(HANDLE printer, WCHAR* deviceName, WORD capability, void* output, DEVMODEW* devmode);

// The papers loaded in the trays: for tray slots 0..31 whose saved presence (items 10111+j) and
// paper (items 10175+j) are both non-zero, each paper once, in slot order. With `names` (count x
// kDevCapsPaperNameChars characters, zero-filled first) a free-size paper is named by its slot,
// any other by its paper name. The count.
int DevCapsListMediaReady(DriverContext* context, WCHAR* names);

// The model's print rate: the integer "PPM" in the driver's section of the driver INI (the
// driver folder + the model's driver-INI name, or that name alone when it is a drive path); 0
// when it is missing.
DWORD DevCapsPrintRate(DriverContext* context);
