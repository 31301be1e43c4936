// The file fault switch that tests use to make opens, reads and writes fail.
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

#include "core/files_internal.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace velm::platform {

namespace {

struct ActiveFault {
  FileFault fault;
  uint64_t used = 0;
};

std::mutex g_faultMutex;
std::vector<ActiveFault> g_faults;

bool Matches(const FileFault& fault, std::u16string_view path) {
  const std::u16string_view suffix = fault.pathSuffix;
  return suffix.size() <= path.size() && EqualsNoCase(path.substr(path.size() - suffix.size()), suffix);
}

DWORD ErrorOf(const FileFault& fault) {
  if (fault.error) return fault.error;
  switch (fault.kind) {
    case FileFaultKind::kOpen: return ERROR_ACCESS_DENIED;
    case FileFaultKind::kRead: return ERROR_READ_FAULT;
    case FileFaultKind::kWrite: return ERROR_DISK_FULL;
  }
  return ERROR_GEN_FAILURE;
}

}  // namespace

void SetFileFault(const FileFault& fault) {
  std::lock_guard lock(g_faultMutex);
  g_faults.push_back(ActiveFault{fault, 0});
}

void ClearFileFaults() {
  std::lock_guard lock(g_faultMutex);
  g_faults.clear();
}

DWORD TakeOpenFault(std::u16string_view path) {
  std::lock_guard lock(g_faultMutex);
  for (auto it = g_faults.begin(); it != g_faults.end(); ++it) {
    if (it->fault.kind != FileFaultKind::kOpen || !Matches(it->fault, path)) continue;
    const DWORD error = ErrorOf(it->fault);
    g_faults.erase(it);
    return error;
  }
  return 0;
}

uint64_t FaultBudget(FileFaultKind kind, std::u16string_view path, DWORD& error) {
  std::lock_guard lock(g_faultMutex);
  uint64_t budget = UINT64_MAX;
  for (const ActiveFault& active : g_faults) {
    if (active.fault.kind != kind || !Matches(active.fault, path)) continue;
    const uint64_t left = active.fault.afterBytes > active.used ? active.fault.afterBytes - active.used : 0;
    if (left < budget) {
      budget = left;
      error = ErrorOf(active.fault);
    }
  }
  return budget;
}

void ChargeFaults(FileFaultKind kind, std::u16string_view path, uint64_t bytes) {
  std::lock_guard lock(g_faultMutex);
  for (ActiveFault& active : g_faults)
    if (active.fault.kind == kind && Matches(active.fault, path)) active.used += bytes;
}

}  // namespace velm::platform
