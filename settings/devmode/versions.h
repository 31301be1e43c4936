// Copying a devmode of another DEVMODE version or size into one of this driver's layout (or a
// caller's), keeping the target's own size and version fields.
//
// Both devmodes are read and written as bytes through their header: the public part is dmSize
// bytes, the private part dmDriverExtra bytes right after it, and each buffer must hold both.
// A devmode whose dmSize does not reach past dmFields (76 bytes) has no header to speak of and is
// refused. Only the NT (wide) layout is read: the Windows 9x devmode keeps its header elsewhere.
#pragma once

#include "win32.h"

constexpr SHORT kDmSpecVersion320 = 0x320;   // dmSize 188
constexpr SHORT kDmSpecVersion400 = 0x400;   // dmSize 212
constexpr SHORT kDmSpecVersion401 = 0x401;   // dmSize 220

// The DEVMODE version of `devmode` by its dmSize (188, 212, 220), else its own dmSpecVersion; 0
// for a null devmode or one too short to have a header.
SHORT DmGetSpecVersion(const DEVMODEW* devmode);

// Copies `source` into `target` across versions: the public part for the smaller dmSize, then
// the private part (from each one's dmSize on) for the smaller dmDriverExtra. The target keeps
// its dmSpecVersion (that of its own size), dmDriverVersion, dmSize and dmDriverExtra. Answers
// the bytes copied; -1 for a null devmode, either dmSpecVersion 0, or a source that is neither of
// this layout's public size (220) nor of version 0x320.
LONG DmCopyAcrossVersions(const DEVMODEW* source, DEVMODEW* target);

// Converts `source` into `target`: a 0x320 source goes through DmCopyAcrossVersions; any other
// gives the target its public part (the target keeping its own version and size fields as above)
// and then its private part only when the source's dmDriverExtra is this driver's private size
// (1040) and its dmDriverVersion the target's. Answers the bytes copied, or -1 for a null
// devmode and for a private part not taken, in which case the public part has been taken
// already: a merge keeps an application's public fields whatever its private part.
LONG DmConvert(const DEVMODEW* source, DEVMODEW* target);

// DmConvert over byte buffers of known size: -1 as DmConvert, and also when either buffer is
// shorter than its header or than the dmSize + dmDriverExtra its header claims, so that no byte
// past either buffer is read or written.
LONG DmConvertBytes(const BYTE* source, size_t sourceBytes, BYTE* target, size_t targetBytes);
