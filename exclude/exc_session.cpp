#include "exclude/exc_session.h"

#include <cstring>

#include "data/item_ids.h"
#include "exclude/api_contexts.h"
#include "exclude/velmexc.h"
#include "settings/services/bidi_query.h"
#include "settings/context/cache.h"
#include "settings/items/store.h"
#include "settings/services/job_credentials.h"
#include "settings/context/memory.h"
#include "settings/context/boundary.h"

namespace {


void ReleaseContext(ExcSession* session) {
  if (!session->context) return;
  CtxDestroy(session->context);
  session->context = nullptr;
  CtxFlushCache(1);
}

// The service's user code for the printer into item 216; a code the service does not give
// leaves the item as the context has it. The item's field cuts it to 8 bytes and its NUL.
void ReadUserCode(ExcSession* session) {
  WCHAR code[kJcItemMap[0].bufferBytes / sizeof(WCHAR)] = {};
  if (!JcReadItemDirect(session->printer, velm::jobcr::kItemUserCode, velm::jobcr::kKindText, code)) return;
  OptSetString(session->context, OptFindItem(session->context->itemTable, kItemUserCode), code);
}

}  // namespace

void ExcClearChanges(ExcSession* session) {
  SysFree(session->changes);
  session->changes = nullptr;
  session->changeLength = 0;
}

int ExcResetSession(ExcSession* session, BOOL firstOpen) {
  ReleaseContext(session);
  DriverContext* context = CtxCreate(session->printer, reinterpret_cast<ULONG_PTR>(session->printer), kCreateExclusive);
  if (!context) return kExcFailed;
  if (!context->settings || !context->work) {
    CtxDestroyEx(context, kReleaseDestroy);
    return kExcFailed;
  }
  session->context = context;
  BidiRefreshOnOpen(context, firstOpen);
  ReadUserCode(session);
  return kExcDone;
}

int ExcClearSession(ExcSession* session, BOOL reopen) {
  // A session whose open failed may have no slots yet.
  if (session->enabled) std::memset(session->enabled, 0, session->slotCount);
  if (session->values) std::memset(session->values, 0, session->slotCount * sizeof(DWORD));
  ExcClearChanges(session);
  SysFree(session->base);
  session->base = nullptr;
  session->baseLength = 0;
  return reopen ? ExcResetSession(session, FALSE) : kExcDone;
}

ExcSession* ExcOpenSession(const char* printerName) {
  WCHAR name[kApiNameChars];
  if (!ApiWidenPrinterName(printerName, name)) return nullptr;
  auto* session = static_cast<ExcSession*>(SysAlloc(sizeof(ExcSession)));
  if (!session) return nullptr;
  if (!OpenPrinterW(name, &session->printer, nullptr) || ExcResetSession(session, TRUE) != kExcDone) {
    ExcCloseSession(session);
    return nullptr;
  }
  session->enabled = static_cast<BYTE*>(SysAlloc(kExcSlotCount));
  session->values = static_cast<DWORD*>(SysAlloc(kExcSlotCount * sizeof(DWORD)));
  if (!session->enabled || !session->values) {
    ExcCloseSession(session);
    return nullptr;
  }
  session->slotCount = kExcSlotCount;
  return session;
}

void ExcCloseSession(ExcSession* session) {
  if (!session) return;
  ExcClearSession(session, FALSE);
  SysFree(session->enabled);
  SysFree(session->values);
  ReleaseContext(session);
  if (session->printer) ClosePrinter(session->printer);
  SysFree(session);
}

DRIVER_EXPORT EXCSESSION ExcGetExclusive(const char* printerName) try {
  return ExcOpenSession(printerName);
} catch (...) {
  return SysFailAtBoundary(EXCSESSION{});
}

DRIVER_EXPORT void ExcFreeExclusive(EXCSESSION session) try {
  ExcCloseSession(session);
} catch (...) {
  SysFailAtBoundary();
}

int ExcCopyOut(const char* text, DWORD length, uint32_t size, char* buffer) {
  if (size < length || (length && !buffer)) return kExcMore;
  if (length) std::memcpy(buffer, text, length);
  return kExcDone;
}
