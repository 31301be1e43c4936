// The sixteen environment bytes at the end of the private devmode (items 715..730): what kind of
// caller and system the settings were made under. Every new record gets them from the running
// system (DmSetEnvironment); the entry points set single bytes for their own calls.
//
// A record taken from the printer's stored devmode keeps the stored bytes until a caller sets
// them: callers that act on the administrator, terminal-server or server-client bytes set them
// first.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

constexpr WORD kEnvCallSrc = 715;           // 1: on behalf of the user default or on NT 5 and later
constexpr WORD kEnvOsKind = 716;            // kOsKind... below
constexpr WORD kEnvBatchInst = 717;
constexpr WORD kEnvPrintLog = 718;
constexpr WORD kEnvBiDirect = 719;          // 1: a bidirectional query succeeded
constexpr WORD kEnvNoPermission = 720;
constexpr WORD kEnvPresentUiMode = 721;     // 0 tab, 1 preset
constexpr WORD kEnvBidiSupport = 722;       // the queue has bidirectional support
constexpr WORD kEnvServerClientMode = 723;  // 1: the printer is a connection to a server
constexpr WORD kEnvUserCodeFix = 724;
constexpr WORD kEnvUserCodeGet = 725;
constexpr WORD kEnvJbInstalled = 726;       // the job-binding companion is installed
constexpr WORD kEnvPropertyType = 727;      // 0 document sheet, 1 device sheet
constexpr WORD kEnvUserCodeDll = 728;
constexpr WORD kEnvTse = 729;               // terminal server
constexpr WORD kEnvAdmin = 730;             // the caller is an administrator

constexpr BYTE kOsKind9x = 0;
constexpr BYTE kOsKindNt4 = 1;
constexpr BYTE kOsKindNt5 = 2;       // NT 5 and later
constexpr BYTE kOsKind9xMinor = 3;   // the 9x platform with a minor version

// Sets every environment byte for a new record: call source 1; the system kind (NT 5 or later,
// else older NT); terminal server from the uncached test on the context's printer; administrator
// 1 under kind flag 0x200, else the administrator test; batch install 1; print log, bidirectional
// query and no-permission 0; present-UI mode from item 40; bidi support from the queue; server
// client from the printer's server name; user code fixed from item 10002; the other four 0.
void DmSetEnvironment(DriverContext* context);

// One environment byte (`item` 715..730). The setter answers FALSE for any other item or a
// context without a record; the getter reads 0 then.
BOOL DmSetEnvironmentByte(DriverContext* context, WORD item, BYTE value);
BYTE DmGetEnvironmentByte(DriverContext* context, WORD item);

// On a terminal server (the uncached test on the context's printer) the job actions (items
// 224..239) are cleared; with `store` the cleared job-action word is also written to the
// settings INI as "vdmAction". Nothing happens elsewhere: a user's own machine keeps them.
void DmResetJobActions(DriverContext* context, BOOL store);
