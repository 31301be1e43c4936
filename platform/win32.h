// The Win32 services the driver calls, as this platform stands them in.
#pragma once

#include "core/wintypes.h"
#include "core/winerror.h"
#include "core/devmode.h"
#include "core/handles.h"
#include "core/memory.h"
#include "core/strings.h"
#include "core/codepage.h"
#include "core/files.h"
#include "core/profile.h"
#include "core/registry.h"
#include "core/modules.h"
#include "core/resources.h"
#include "core/sync.h"
#include "core/system.h"
#include "spool/winspool.h"
#include "eng/winddi.h"
