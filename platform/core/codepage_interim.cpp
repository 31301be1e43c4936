// INTERIM: Latin-1 only, removed when the code page work is merged.
#include "core/codepage_interim.h"
namespace velm::platform {
std::u16string AnsiToWide(std::string_view text) {
  std::u16string out;
  for (char c : text) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}
std::string WideToAnsi(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 256 ? static_cast<char>(c) : '?';
  return out;
}
}
