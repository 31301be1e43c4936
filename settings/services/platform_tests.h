// What kind of Windows the library runs on, whether the session is a terminal-server session,
// and whether the user is an administrator.
#pragma once

#include "win32.h"

// Version tests: each reads the version afresh; a failed query answers FALSE.
BOOL SysIsNt5OrLater();   // major > 4
BOOL SysIsAfterXp();      // NT 5.2 or later: major > 4 and not 5.0 and not 5.1
BOOL SysIsNt6OrLater();   // major > 5
BOOL SysIsWin9x();        // the 9x platform
BOOL SysIsWin9xMinor();   // the 9x platform with a minor version other than 0

// After XP and with a printer: the answer of the terminal-server test library "qntsetst.dll" in
// the printer's driver folder (yes only when its export answers 1; a missing library or export
// answers no). Otherwise the system's terminal-server suite.
BOOL SysIsTerminalServer(HANDLE printer);
// The first answer of SysIsTerminalServer, kept for the process, whatever printer later calls ask for.
BOOL SysIsTerminalServerCached(HANDLE printer);
// Forgets the kept answer (tests).
void SysResetTerminalServerCache();

// Whether the user's token passes an access check against a descriptor that allows only the
// administrators group (S-1-5-32-544). The thread impersonates itself for the check and
// reverts on every path.
BOOL SysIsAdministrator();
