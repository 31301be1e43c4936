// INTERIM until the code page work is merged: same declarations as core/codepage.h will give.
#pragma once
#include <string>
#include <string_view>
namespace velm::platform {
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);
}
