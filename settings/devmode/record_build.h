// How a context's settings record comes to be: taken from the printer's stored devmode when that
// is this driver's own, else built from the model's defaults; and the test a devmode must pass
// before its private part counts as this model's.
//
// Every devmode copied into a record gets the record's own section bases back at once: the item
// store addresses sections 2 and 3 through them, so they are never taken from outside.
#pragma once

#include "settings/context/driver_context.h"
#include "settings/items/settings_record.h"
#include "win32.h"

// The private header a devmode must carry whole before its private part can be judged: from the
// signature at 220 to the end of the section bases at 367.
constexpr WORD kDmPrivateHeaderBytes = 147;

// ---- Compatibility ----------------------------------------------------------------------------

// Whether `devmode` was written for this model: its model tag, its private size (the header's,
// 1040), the low 16 bits of its format version, its machine identifier (byte 372) and its variant
// byte (857: 0 for model variant 0, 1 for variant 1) agree with `defaults`. FALSE for null.
BOOL DmIsCompatible(const PrivateDevmode* devmode, const ModelDefaults& defaults = kModelDefaults);
// DmIsCompatible, and the signature "VELM" at 220: the private part is this driver's own.
BOOL DmHasOwnPrivatePart(const PrivateDevmode* devmode, const ModelDefaults& defaults = kModelDefaults);
// Puts this layout's section bases (0, 1260, 1768) back at 361, 363 and 365.
void DmRestoreSectionBases(PrivateDevmode* devmode);

// ---- Building ---------------------------------------------------------------------------------

// DmBuildForContext (context/open_steps.h): builds into the context's record, which it zeroes
// first (the font-list items 10004..10009 keep their blocks). Unless `kind` is 3, a printer
// devmode that DmLoadFromPrinter takes stands, and kind 1 then re-syncs the items derived from
// the public fields. Otherwise the record gets the defaults (DmSetDefaults) and then the printer's
// devmode when it matches (DmTakePrinterDevmode). FALSE only without a record.

// A record of defaults, in this order: every item to its model default (DmResetAllToDefaults);
// the driver version item; the public fields validated; the item default table (fix mode), the
// items that follow the public fields, the header's names; the environment bytes; items 177 and
// 178 from the help language; the job actions reset without storing them.
void DmSetDefaults(DriverContext* context);

// The devmode's frame first: the private header, the machine identifier (byte 372), the variant
// byte (857) and the public dmSpecVersion, dmDriverVersion, dmSize and dmDriverExtra, all from
// the model defaults. Then every item row in table order takes its model default
// (OptResetToDefault: byte and string items are emptied), except the frame's items 2..5 and 39
// and the font lists 10004..10009. A record reset here always passes DmIsCompatible.
void DmResetAllToDefaults(DriverContext* context);

// Item 905 := the model defaults' description version ("3.60").
void DmSetDriverVersionItem(DriverContext* context);

// Takes the printer's devmode (PRINTER_INFO_2) into the record when it has a known DEVMODEW
// version, dmSize 220, dmDriverExtra 1040 and this driver's own private part
// (DmHasOwnPrivatePart). TRUE when taken; FALSE, with the record untouched, otherwise.
BOOL DmLoadFromPrinter(DriverContext* context);

// Copies the printer's devmode over the record when its dmDriverExtra, dmDriverVersion and dmSize
// are non-zero and equal to the record's (which are this layout's) and its private part is this
// driver's own. Nothing happens otherwise.
void DmTakePrinterDevmode(DriverContext* context);

// ---- Shorthands -------------------------------------------------------------------------------

// dmPrintQuality (item 14), signed: -4..-1 are the draft levels.
LONG DmGetPrintQuality(DriverContext* context);
BOOL DmSetPrintQuality(DriverContext* context, LONG quality);
// The destination resolution across (item 42) and along (item 43) the page, dpi.
DWORD DmGetDstResolutionW(DriverContext* context);
DWORD DmGetDstResolutionH(DriverContext* context);
BOOL DmSetDstResolution(DriverContext* context, DWORD across, DWORD along);
