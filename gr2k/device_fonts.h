// The device-font table: the printer's resident fonts that GDI may choose by name (their
// metrics and glyph sets, copied into the PDEV's allocation list).
#pragma once

#include "win32.h"

struct RenderPdev;
struct DevFontTable;

// Builds the PDEV's device-font table (pdev->fonts) and answers its font count. Not built yet,
// together with the text hooks that use it: no table, 0 fonts, so GDI offers none.
DWORD DevFontTableLoad(RenderPdev* pdev);
// Frees what DevFontTableLoad kept; nothing without a table.
void DevFontTableFree(RenderPdev* pdev);
