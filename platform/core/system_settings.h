// Typed reads of the machine settings behind the system answers (internal to the stand-in).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velm::platform {

// The setting as a decimal integer (optional sign); empty when absent or not a number.
std::optional<int64_t> IntegerMachineSetting(std::string_view key);

// True only when the setting reads "1": a missing or garbled switch is off.
bool MachineSwitchIsOn(std::string_view key);

}  // namespace velm::platform
