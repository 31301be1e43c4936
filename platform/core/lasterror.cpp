#include "core/winerror.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

extern "C" void SetLastError(DWORD code) { t_lastError = code; }
extern "C" DWORD GetLastError(void) { return t_lastError; }
