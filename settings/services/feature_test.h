// Whether a companion feature of the maker is installed on the machine.
#pragma once

#include "win32.h"

// The only feature the library asks about: the companion whose installer counts its installs.
constexpr DWORD kFeatureCountedCompanion = 2;

// For kFeatureCountedCompanion: the DWORD "INSTALL_COUNT" of HKLM
// "Software\QUIRN\Fusebay\VodEduduv" is present and not 0. Every other kind answers FALSE.
BOOL SysIsFeatureInstalled(DWORD kind);
