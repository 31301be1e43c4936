// Keeping the public DEVMODEW fields and the private items that stand for the same choices in
// step: duplex (dmDuplex and items 61, 102), media type (dmMediaType and item 378), resolution
// (dmPrintQuality, dmYResolution and items 42, 43) and paper (dmPaperSize, dmPaperLength,
// dmPaperWidth and the geometry items of devmode/paper_geometry.h).
//
// Every routine works on the context's own settings record and does nothing for a context
// without one. The merge carries the public fields into the items (DmApplyPublicToItems); a
// change of items is carried back into the public fields (DmResync).
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Call types of the re-sync: 1 a record built, 2 a merge, 3 and 4 the property sheets' commits.
// Types 1, 3 and 4 rebuild the model code text.
constexpr int kResyncBuild = 1;
constexpr int kResyncMerge = 2;

// After a merge: carries the public fields that both the record and `incoming` (the caller's
// devmode; null: the record itself) mark in dmFields into the items, in this order: duplex,
// media type (its low 16 bits, sign-extended), the current stamp reloaded, the resolution (not
// under merge flag 0x10000000), the source paper (from the custom size or the paper value; when
// neither is marked but the orientation is, from the record's own dmFields), the output paper,
// the environment bytes of present-UI mode, bidi support and server connection, the model code
// text when empty; then item 880 := 0 and the item default handlers in test mode.
void DmApplyPublicToItems(DriverContext* context, const PrivateDevmode* incoming);

// After a change of items: DmSyncItemsFromPublic, DmSetPublicDuplex, DmSetPublicMediaType and
// the device configuration's copy in the devmode.
void DmResync(DriverContext* context, int callType);
// The items that follow the public fields: resolution from item 42, source paper from
// dmPaperSize, output paper from item 50, the three environment bytes, the model code text
// (call types 1, 3, 4) and item 880 := 0.
void DmSyncItemsFromPublic(DriverContext* context, int callType);

// dmDuplex from items 61, 102 and the orientation: 1 when duplex is off or the binding is 0;
// the top family (1, 17, 20) 2 in landscape and 3 in portrait, any other binding the reverse.
// With item 916 set a dmDuplex other than 2 or 3 stays.
void DmSetPublicDuplex(DriverContext* context);
// dmMediaType := item 378.
void DmSetPublicMediaType(DriverContext* context);

// dmPrintQuality into dmYResolution and items 42 and 43; a print quality of 0 or below (the
// draft levels) gives the items the model's default resolution instead.
void DmSyncResolutionFromPublic(DriverContext* context);
// Item 42 into item 43, dmPrintQuality and dmYResolution.
void DmSyncResolutionFromItems(DriverContext* context);

// Reloads the current stamp (item 120) when the watermark is on (item 63) and of kind 1, 2, 3
// or 128 (item 109).
void DmReselectStamp(DriverContext* context);

