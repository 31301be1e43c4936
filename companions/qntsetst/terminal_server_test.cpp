// Stand-in for the maker's terminal-server test library. Its one export answers 1 when the
// process runs in a terminal-server session. The session is the machine root's: the setting
// "terminal_server" ("1" in a session); a test that wants another answer (0, 2, ...) sets
// "qntsetst_answer" to it, and that answer wins.
#include <charconv>

#include "companions/companion_host.h"

// The export's name starts with an underscore and a capital, so the C++ name differs from it.
extern "C" DWORD TerminalServerAnswer(void) __asm__("_IsTSE_WMICOM_VELM_Printer_Driver");

DRIVER_EXPORT DWORD TerminalServerAnswer(void) try {
  const velm::companion::String forced = velm::companion::Setting("qntsetst_answer");
  if (!forced.empty()) {
    DWORD answer = 0;
    const auto [end, ec] = std::from_chars(forced.data(), forced.data() + forced.size(), answer);
    return ec == std::errc() && end == forced.data() + forced.size() ? answer : 0;
  }
  return velm::companion::Setting("terminal_server") == "1" ? 1 : 0;
} catch (...) {
  return 0;
}
