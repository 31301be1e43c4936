// The settings library's process state: set up when a driver library is loaded into a
// process and torn down when it is unloaded.
#pragma once

#include "win32.h"

// Process attach of the library that carries the settings library.
void SysLibraryAttach(HINSTANCE instance);
// Process detach: releases everything the process state holds.
void SysLibraryDetach();
