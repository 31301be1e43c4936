// The command exports of a session: the base block, single updates, the change list and the
// value lists of a command.
#include <cstring>

#include "exclude/command_engine.h"
#include "exclude/command_lines.h"
#include "exclude/exc_session.h"
#include "exclude/velmexc.h"
#include "settings/context/memory.h"
#include "settings/context/boundary.h"

namespace {

constexpr DWORD kMaxBlockBytes = kExcLineBufferMaxBytes;  // a base no buffer could rebuild is refused

bool IsWellFormed(const char* block) {
  char name[kExcTokenBytes];
  char value[kExcTokenBytes];
  for (const char* p = block;;) {
    const int used = ExcParseSetLine(p, name, value);
    if (used <= 0) return used == kExcLineEnd;
    p += used;
  }
}

bool RequiredCommandsSet(const ExcSession* session) {
  DWORD count = 0;
  const DWORD* items = ExcGetRequiredCommands(&count);
  for (DWORD i = 0; i < count; ++i)
    if (items[i] < 1 || items[i] > kExcSlotCount || !session->enabled[items[i] - 1]) return false;
  return true;
}

}  // namespace

DRIVER_EXPORT int32_t ExcSetCommandBase(EXCSESSION session, const char* block,
                                                                           uint32_t* changeSize) try {
  if (!session) return kExcFailed;
  ExcReportSize(changeSize, 0);
  // A block that cannot be read whole is refused before the session's base is given up.
  DWORD length = 0;
  if (block) {
    const void* end = std::memchr(block, 0, kMaxBlockBytes);
    if (!end || !IsWellFormed(block)) return kExcFailed;
    length = static_cast<DWORD>(static_cast<const char*>(end) - block);
  }
  if (ExcClearSession(session, TRUE) != kExcDone) return kExcFailed;
  if (!block) return kExcNoData;

  char name[kExcTokenBytes];
  char value[kExcTokenBytes];
  for (const char* p = block;;) {
    const int used = ExcParseSetLine(p, name, value);
    if (used <= 0) break;
    p += used;
    if (const ExcCommandRow* row = ExcFindCommand(session, name, kExcAccessJob | kExcAccessPrinterOption))
      ExcApplyCommand(session, row, name, value, FALSE);
  }
  if (length == 0 || !RequiredCommandsSet(session)) {
    ExcClearSession(session, TRUE);
    return kExcNoData;
  }
  session->base = static_cast<char*>(SysAlloc(length + 1));
  if (!session->base) return kExcFailed;
  std::memcpy(session->base, block, length + 1);
  session->baseLength = length + 1;
  const int result = ExcBuildChanges(session, nullptr);
  ExcReportSize(changeSize, session->changeLength);
  return result;
} catch (...) {
  return SysFailAtBoundary(int32_t{kExcFailed});
}

DRIVER_EXPORT int32_t ExcGetCommandBase(EXCSESSION session, uint32_t size,
                                                                           char* buffer, uint32_t* needed) try {
  if (!session) return kExcFailed;
  ExcReportSize(needed, session->baseLength);
  return ExcCopyOut(session->base, session->baseLength, size, buffer);
} catch (...) {
  return SysFailAtBoundary(int32_t{kExcFailed});
}

DRIVER_EXPORT int32_t ExcUpdateCommand(EXCSESSION session, const char* line,
                                                                          uint32_t* changeSize) try {
  if (!session) return kExcFailed;
  ExcReportSize(changeSize, 0);
  if (!line) return kExcDone;
  ExcClearChanges(session);
  char name[kExcTokenBytes];
  char value[kExcTokenBytes];
  const int used = ExcParseSetLine(line, name, value);
  if (used == kExcLineMalformed) return kExcFailed;
  if (used == kExcLineEnd) return kExcDone;
  const ExcCommandRow* row = ExcFindCommand(session, name, kExcAccessJob);
  if (!row || !ExcIsCommandAvailable(session, row)) return kExcDone;
  ExcApplyCommand(session, row, name, value, TRUE);
  const int result = ExcBuildChanges(session, line);
  ExcReportSize(changeSize, session->changeLength);
  return result;
} catch (...) {
  return SysFailAtBoundary(int32_t{kExcFailed});
}

DRIVER_EXPORT int32_t ExcGetCommandChange(EXCSESSION session, uint32_t size,
                                                                             char* buffer, uint32_t* needed) try {
  if (!session) return kExcFailed;
  ExcReportSize(needed, session->changeLength);
  const int32_t result = ExcCopyOut(session->changes, session->changeLength, size, buffer);
  if (result == kExcDone) ExcClearChanges(session);
  return result;
} catch (...) {
  return SysFailAtBoundary(int32_t{kExcFailed});
}

DRIVER_EXPORT int32_t ExcGetCommandValue(EXCSESSION session, const char* command,
                                                                            int32_t acceptableOnly, uint32_t size,
                                                                            char* buffer, uint32_t* needed) try {
  if (!session) return kExcFailed;
  ExcReportSize(needed, 0);
  const ExcCommandRow* row = ExcFindCommand(session, command, kExcAccessJob);
  if (!row || (acceptableOnly && !ExcIsCommandAvailable(session, row))) return kExcDone;
  ExcLineBuffer list{};
  if (!ExcLineBufferInit(&list)) return kExcFailed;
  int32_t result = kExcFailed;
  if (ExcListCommandValues(session, row, command, acceptableOnly ? TRUE : FALSE, &list)) {
    result = ExcHandOut(list.text, list.length, size, buffer, needed);
  }
  ExcLineBufferFree(&list);
  return result;
} catch (...) {
  return SysFailAtBoundary(int32_t{kExcFailed});
}
