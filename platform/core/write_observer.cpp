#include "core/write_observer.h"

#include <mutex>
#include <utility>

namespace velm::platform {
namespace {

std::mutex g_lock;
std::function<void(const ObservedWrite&)> g_observer;

}  // namespace

std::function<void(const ObservedWrite&)> SetWriteObserver(std::function<void(const ObservedWrite&)> observer) {
  std::lock_guard lock(g_lock);
  return std::exchange(g_observer, std::move(observer));
}

void ReportWrite(const ObservedWrite& write) {
  std::function<void(const ObservedWrite&)> observer;
  {
    std::lock_guard lock(g_lock);
    observer = g_observer;
  }
  if (observer) observer(write);
}

}  // namespace velm::platform
