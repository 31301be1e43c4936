#include "core/system_settings.h"

#include <charconv>
#include <string>

#include "core/machine_root.h"

namespace velm::platform {

std::optional<int64_t> IntegerMachineSetting(std::string_view key) {
  const std::string text = MachineSetting(key);
  int64_t value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (first == last || ec != std::errc() || end != last) return std::nullopt;
  return value;
}

bool MachineSwitchIsOn(std::string_view key) { return MachineSetting(key) == "1"; }

}  // namespace velm::platform
