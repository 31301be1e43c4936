// The run-length coding of downloaded glyph bitmaps.
#pragma once

#include "win32.h"

// Codes `count` bitmap bytes into at most `capacity` bytes of `out` as groups, each one control
// byte: bit 7 a repeated byte (else literal bytes); bits 3-6 the zero bytes skipped before the
// group; bits 0-2 the group's byte count less one. A field at its largest (15, 7) continues in
// the bytes after the control byte, the zero count first: each 255 adds 255 and reads on, any
// other byte adds itself and ends the field. Then the repeated byte once, or the literals. Zero
// bytes at the end are left out. Answers the bytes written; 0 when the input is all zeros or
// the coded form does not fit, and the caller then sends the bitmap as it is.
DWORD GlyphCompress(const BYTE* bytes, DWORD count, BYTE* out, DWORD capacity);
