// The user code a printer's jobs carry: the last code used on each printer and the code used
// most recently on any printer, kept in "qndef.ini" of the shared settings folder and loaded
// into the option store.
//
// In "qndef.ini": the printer's section (its name made safe) holds "UserCode" (1 while a code is
// in use), "UserCodeString" (the code) and "UserCodeFIX" (1 when the code is fixed; read only);
// section "Quirn UserCode" holds "MRUUserCode". Loaded into items 10002 (in use), 10003 and
// 10273 (the code, cut to 8 characters) and the environment item vdmUserCodeFIX (724).
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// The model's switch in force (CfgUserCodeSwitch, off for this model family); tests put their
// own in. Null puts CfgUserCodeSwitch back. Only while no load runs.
using CfgUserCodeSwitchProc = int (*)(DriverContext* context);
void CfgSetUserCodeSwitch(CfgUserCodeSwitchProc proc);
// The switch in force, asked for `context`.
int CfgUserCodeSwitchOn(DriverContext* context);

// The switch off: 1, nothing read or written. On: CfgLoadUserCodeUnlessServer.
int CfgLoadUserCodeIfEnabled(DriverContext* context);
// A printer that is a connection to a server and whose item 10001 (the server publishes a user
// code) is set keeps its values: 1. Otherwise CfgReadUserCode.
int CfgLoadUserCodeUnlessServer(DriverContext* context);
// Reads the user code:
//   no "qndef.ini" yet: the printer's "UserCode" = "0" and "UserCodeString" = "" and
//   "MRUUserCode" = "" are written; not in use, no code;
//   the printer's "UserCode" present and not empty: in use = its number, code = "UserCodeString";
//   otherwise not in use, code = "MRUUserCode", written to the printer's section with
//   "UserCode" = "0";
// then "UserCodeFIX" (0 when absent), and the items are stored. 1; 0 when the file's path or the
// printer's name cannot be had (nothing is read, written or stored then).
int CfgReadUserCode(DriverContext* context);
