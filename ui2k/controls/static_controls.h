// Static texts and pictures: the text of an item's value, the pictures of its values and the
// click that steps a picture to the next value.
#pragma once

#include "ui2k/controls/control_handler.h"

// `format` with `value` in its one integer conversion (%d, %i, %u, %x, %X, with an optional l):
// at most one conversion is taken, "%%" is a percent sign, any other '%' stands as it is. The
// result is cut to `capacity` characters with its NUL.
void CtlFormatOneValue(const WCHAR* format, LONG value, WCHAR* out, size_t capacity);

// The text of the item's last listed value as a format for its current value.
LRESULT CtlStaticShowValue(CTL_HANDLER_PARAMS);
// Picture refresh: repainted without erasing (the preview painter draws it).
LRESULT CtlPictureInvalidate(CTL_HANDLER_PARAMS);
// Picture messages: WM_PAINT with the DC in wParam draws the control's page preview, when it
// has a preview description.
LRESULT CtlPictureMessage(CTL_HANDLER_PARAMS);
// Picture of values: repainted by the value-picture painter.
LRESULT CtlPictureShowValues(CTL_HANDLER_PARAMS);
// A click on a value picture: the next listed value that is not disabled, wrapping to the
// first, is committed. 0 when the current value is not listed.
LRESULT CtlPictureStep(CTL_HANDLER_PARAMS);
