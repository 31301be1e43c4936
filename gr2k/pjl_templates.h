// The job-control text of a job: the model description's job-start, page-start and page-end
// templates run against the current settings. Each builder is a PjlBuilder (packets.h) over the
// PDEV's driver context: without a buffer it measures, with one it writes.
#pragma once

#include "gr2k/packets.h"

// Not built yet, together with the templates of the model description they run: each gives no
// text, so the packets go out with an empty body rather than with text the model never named.
int PjlBuildJobStart(void* context, char* buffer, DWORD capacity, DWORD* length);
int PjlBuildPageStart(void* context, char* buffer, DWORD capacity, DWORD* length);
int PjlBuildPageEnd(void* context, char* buffer, DWORD capacity, DWORD* length);
