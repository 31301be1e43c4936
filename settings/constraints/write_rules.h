// The model's rules that hold on every write of an item, whoever writes it: while the scale type
// (item 90) is 1, the along scale (item 93) is the across scale (item 92).
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Called by the item store after item `id` took `value`: writes the items that follow it.
void CondFollowItemWrite(DriverContext* context, WORD id, DWORD value);
