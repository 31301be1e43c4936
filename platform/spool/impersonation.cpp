// The spooler runs a driver's code as the driver's client. A driver that needs its own rights
// for a moment reverts to the spooler's identity and later takes the client's back up.
#include <mutex>

#include "core/winerror.h"
#include "spool/spool_internal.h"

namespace velm::platform {
namespace {

thread_local bool t_revertedToSelf = false;

std::mutex g_identityLock;
std::vector<std::string> g_identityCalls;
bool g_revertFails = false;

void NoteIdentityCall(const char* call) {
  std::lock_guard lock(g_identityLock);
  g_identityCalls.emplace_back(call);
}

bool RevertFails() {
  std::lock_guard lock(g_identityLock);
  return g_revertFails;
}

// The client's identity while the thread runs as the spooler itself.
class PrinterClientToken : public KernelObject {};

}  // namespace

bool IsImpersonatingPrinterClient() { return !t_revertedToSelf; }

std::vector<std::string> PrinterIdentityCalls() {
  std::lock_guard lock(g_identityLock);
  return g_identityCalls;
}

void ClearPrinterIdentityCalls() {
  std::lock_guard lock(g_identityLock);
  g_identityCalls.clear();
}

void SetRevertToPrinterSelfFails(bool fails) {
  std::lock_guard lock(g_identityLock);
  g_revertFails = fails;
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" HANDLE RevertToPrinterSelf(void) {
  NoteIdentityCall("RevertToPrinterSelf");
  if (RevertFails()) return nullptr;
  t_revertedToSelf = true;
  return RegisterHandle(std::make_shared<PrinterClientToken>());
}

extern "C" BOOL ImpersonatePrinterClient(HANDLE hToken) {
  NoteIdentityCall("ImpersonatePrinterClient");
  if (!LookupHandleAs<PrinterClientToken>(hToken)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ReleaseHandle(hToken);
  t_revertedToSelf = false;
  return TRUE;
}
