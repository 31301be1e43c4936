// The spooler runs a driver's code as the driver's client. A driver that needs its own rights
// for a moment reverts to the spooler's identity and later takes the client's back up.
#include "core/winerror.h"
#include "spool/spool_internal.h"

namespace velm::platform {
namespace {

thread_local bool t_revertedToSelf = false;

// The client's identity while the thread runs as the spooler itself.
class PrinterClientToken : public KernelObject {};

}  // namespace

bool IsImpersonatingPrinterClient() { return !t_revertedToSelf; }

}  // namespace velm::platform

using namespace velm::platform;

extern "C" HANDLE RevertToPrinterSelf(void) {
  t_revertedToSelf = true;
  return RegisterHandle(std::make_shared<PrinterClientToken>());
}

extern "C" BOOL ImpersonatePrinterClient(HANDLE hToken) {
  if (!LookupHandleAs<PrinterClientToken>(hToken)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ReleaseHandle(hToken);
  t_revertedToSelf = false;
  return TRUE;
}
