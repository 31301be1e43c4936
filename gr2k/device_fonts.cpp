#include "gr2k/device_fonts.h"

#include "gr2k/pdev.h"

DWORD DevFontTableLoad(RenderPdev* pdev) {
  pdev->fonts = nullptr;
  return 0;
}

void DevFontTableFree(RenderPdev* pdev) { pdev->fonts = nullptr; }
