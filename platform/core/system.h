// The machine's own answers: Windows version, clock, names and languages, security tokens and
// access checks, and processes. Each answer comes from the machine root's settings
// (core/machine_root.h), so a test states the machine it wants before it calls the driver.
#pragma once

#include "core/wintypes.h"
#include "core/version.h"
#include "core/clock.h"
#include "core/identity.h"
#include "core/security.h"
#include "core/process.h"
