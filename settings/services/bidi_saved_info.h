// Device information kept between sessions, and the flags that say where it is.
//
// A successful device query sets the printer data value "BidiFlag" (REG_BINARY, 4 bytes, bit 0)
// and saves the device information to printer data. A caller that may not write printer data
// keeps it instead in the shared "qnuser.ini" (settings folder), in the printer's section: the
// device-information entries as one transfer section and "BidiFlag" = 1 beside them. The next
// caller that may write printer data moves them over (CfgLoadOnOpen) and clears them again.
// The same section also holds "BidiExFlag", which the interface library keeps there for
// printers a server manages; clearing the saved information leaves it and every other key.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

inline constexpr WCHAR kBidiUserIni[] = WSTR("qnuser.ini");
inline constexpr WCHAR kBidiFlagName[] = WSTR("BidiFlag");
inline constexpr WCHAR kBidiExFlagName[] = WSTR("BidiExFlag");
// What BidiReadSavedFlag answers when "qnuser.ini" has no "BidiFlag" for the printer; writers
// write only 0 and 1.
constexpr DWORD kBidiSavedFlagAbsent = 7;

// The path of "qnuser.ini" into `buffer` (MAX_PATH characters); its length, 0 when the shared
// settings folder cannot be built.
DWORD BidiGetUserIniPath(WCHAR* buffer);

// "BidiFlag" of the printer's section of "qnuser.ini": its number, kBidiSavedFlagAbsent when
// the key (or the file) is absent.
DWORD BidiReadSavedFlag(DriverContext* context);
// Whether the section holds saved device information: the flag is present and not 0.
BOOL BidiGetSavedFlag(DriverContext* context);
// Writes "BidiFlag" = `value` (0 or 1). TRUE on success.
BOOL BidiSetSavedFlag(DriverContext* context, DWORD value);

// Saves the context's device information into the printer's section of "qnuser.ini" and then
// sets "BidiFlag" = 1 there. FALSE (and no flag written) when the entries cannot be written.
BOOL BidiSaveSavedInfo(DriverContext* context);
// Loads the saved device information of "qnuser.ini" into the context's record. FALSE when it
// cannot be read.
BOOL BidiLoadSavedInfo(DriverContext* context);
// Removes "BidiFlag" and the saved device-information entries from the printer's section of
// "qnuser.ini"; the section's other keys ("BidiExFlag") stay, and a section left with none goes.
// TRUE when nothing saved is left (also when there was nothing).
BOOL BidiClearSavedSection(DriverContext* context);

// "BidiFlag" of the printer's data: bit 0 says a query succeeded. An absent value reads 0.
BOOL BidiGetPrinterDataFlag(DriverContext* context);
// Writes it (4 bytes, REG_BINARY). TRUE on success.
BOOL BidiSetPrinterDataFlag(DriverContext* context, DWORD value);
// Whether this caller may write the printer's data: "BidiFlag" is read (0 when absent) and
// written back as it was.
BOOL BidiCanWritePrinterData(DriverContext* context);
