// The graphics driver interface as this platform stands it in: types, engine objects and the
// engine's callbacks.
#pragma once

#include "eng/ddi_objects.h"
#include "eng/ddi_types.h"
#include "eng/engine.h"
#include "eng/gdi_types.h"
#include "eng/icm.h"
