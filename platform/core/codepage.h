// (being written)
#pragma once

#include "core/wintypes.h"
