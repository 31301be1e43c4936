// The bidirectional installed-option query: asking the printer which trays, paper, media,
// options and memory it has, translating the answers into printer-configuration items, and
// keeping them (services/bidi_saved_info.h). The library that talks to the device is services/bidi_device.h; the
// translation tables are the model hooks' (devmode/model_hooks.h).
//
// Item vdmBiDirect (719) says whether the settings hold what the device reported: 1 after a
// successful query, or when the query is allowed and a saved flag says a query succeeded.
#pragma once

#include "data/item_ids.h"
#include "settings/services/bidi_device.h"
#include "settings/context/driver_context.h"
#include "settings/items/settings_record.h"
#include "win32.h"

// BidiQuery flags.
constexpr DWORD kBidiQueryShort = 0x2;   // only the versions and the memory type
// kBidiUse9xLibrary (services/bidi_device.h): the Windows 9x library on that platform.


// Queries the device of the context's printer into `record` (null: the context's own record).
//   - A build with a remote-management connector (feature bit 0 or 7) whose connector serves
//     the printer (BidiGetConnectorState 1) does not ask: TRUE, nothing changed.
//   - The query switch off (BidiIsEnabledInIni): TRUE, vdmBiDirect := 0.
//   - The queue must have bidirectional support and the device must open and close
//     (BidiTestConnection); then the device is read: with the model switch on its model name
//     must be the driver INI's (case aside); a full query clears the installed-option and
//     tray-present items and reads trays, options, memory, the system version and the class
//     of versions (memory type, emulation version); kBidiQueryShort reads only the versions and
//     the memory type. A full query saves the device information to printer data.
//   - Success: the configuration copy in the devmode is refreshed, printer data "BidiFlag" := 1,
//     vdmBiDirect := 1; then a caller that may write printer data clears what "qnuser.ini"
//     keeps for the printer, and one that may not (unless the printer is a client of a server
//     printer, item 723) saves the device information there instead.
//   - Failure: the record is as it was before the read, except vdmBiDirect := 0 and the version
//     items 10271 and 10272 emptied; nothing is saved. FALSE with the last error.
// ERROR_INVALID_PARAMETER for a context without a record.
BOOL BidiQuery(DriverContext* context, SettingsRecord* record, DWORD flags);
// The full query of the context's record with the Windows 9x library where that platform runs.
BOOL BidiQueryDevice(DriverContext* context);

// What a context that opens does about the device: when the printer is a client of a server
// printer (item 723), or "qnuser.ini" holds no "BidiFlag" for it, printer data "BidiFlag"
// decides, else the one of "qnuser.ini". Set: vdmBiDirect := the query switch. Clear: with
// `query` the device is queried (BidiQueryDevice, whose result is answered), else
// vdmBiDirect := 0. TRUE otherwise.
BOOL BidiRefreshOnOpen(DriverContext* context, BOOL query);

// Whether the device of the context's printer answers: the library (for `flags`) loads and the
// device opens; it is closed and the library freed again.
BOOL BidiTestConnection(DriverContext* context, DWORD flags);

// The switches of the language section of the settings INI: "bIsBIDISupportForVELM" (a query
// is allowed) and "bIsBIDISupportForVELMModel" (the device's model name must match). Each is on
// unless it holds a value other than 1; it is read only when the settings INI is at a drive path.
enum BidiIniSwitch : int { kBidiSwitchQuery = 0, kBidiSwitchModel = 1 };
BOOL BidiIsEnabledInIni(DriverContext* context, int which);

// Whether the build's remote-management connector is installed: for feature bit 7 the HKLM
// DWORD "TQBIDI_FLG" of "Software\QUIRN\Orvane Printer Driver" is 1 and "TQBIDISS.dll" is in the
// system folder; for feature bit 0 "TORBEL_FLG" and "TORBELSV.dll".
BOOL BidiIsConnectorInstalled();
// Connector states.
constexpr DWORD kBidiConnectorNone = 0;      // not a terminal server, or no connector
constexpr DWORD kBidiConnectorServes = 1;    // printer data "TorbelConnection" is 1
constexpr DWORD kBidiConnectorIdle = 2;
DWORD BidiGetConnectorState(DriverContext* context);
