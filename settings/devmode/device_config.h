// The printer configuration (section 2 of the settings record) and its copy inside the private
// devmode, which lets a devmode that leaves the driver carry the installed options, trays and
// user code with it.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// One field of the copy: `length` bytes at devmode offset `offset`, taken from section 2 at
// offset - 892 (record byte offset + 368).
struct DmConfigField {
  WORD offset;
  WORD length;
};

// The copied fields in devmode order; `count` receives their number. The alignment gaps between
// them (903, 906..907, ..., 941..943, 1174..1175) are no part of the copy.
const DmConfigField* DmGetDeviceConfigFields(int* count);

// DmCopyDeviceConfig (context/open_steps.h): copies the fields above from section 2 onto their
// mirror at devmode bytes 892..1240, leaving the gaps as they are. Nothing without a record.
