// The machine root: the host folder that stands for the whole Windows machine.
// Drive C: is <root>/c, UNC paths live under <root>/unc, and <root>/machine holds the
// stand-in's own stores (settings, registry, spooler, locks, process log).
// Only the stand-in and the tools use this; driver code sees Windows paths.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace velm::platform {

// The root in force: the one set by SetMachineRoot, else $VELM_ROOT; empty when neither.
std::filesystem::path MachineRoot();

// A number that changes whenever the root in force may have (set again, or $VELM_ROOT changed),
// for caches of what was read from one root.
uint64_t MachineRootVersion();

// Makes `root` the root of this process and of the processes it starts (VELM_ROOT).
void SetMachineRoot(const std::filesystem::path& root);

// Lays out a new root (drive C with its system folders, the user's profile, the stores)
// and writes the default machine settings. Keeps what an existing root already holds.
bool CreateMachineRoot(const std::filesystem::path& root, std::string* error = nullptr);

// <root>/machine/<area>: the folder of one of the stand-in's stores ("registry", "spool", "locks"),
// or a file in one ("spool/spooler"); built once per root and area.
std::filesystem::path MachineStore(std::string_view area);

// The machine's answers, kept as "key=value" lines in <root>/machine/settings.
// Keys used by the stand-in:
//   os              "nt10" (default), "nt6", "2003", "xp", "2000", "nt4", "9x", "me", "95"
//   codepage        ANSI code page, "1252" (default) or "932"
//   user, computer  user and computer names
//   userlang, systemlang  language identifiers, decimal ("1033")
//   country         LOCALE_ICOUNTRY of the user locale ("1")
//   administrator   "1" when the user is in the administrators group
//   terminal_server "1" in a terminal-server session
//   session         the terminal-services session id (default 1 in a terminal-server session, else 0)
//   clock_ms        when present, GetTickCount answers this (tests set and advance it; Sleep advances it)
//   clock_local     when present, the local time (= UTC) as "YYYY-MM-DD hh:mm:ss[.mmm]"
//   process_exit    the exit code CreateProcessW's children report
// CreateProcessW appends its records to <root>/machine/processes.log.
std::string MachineSetting(std::string_view key, std::string_view fallback = {});
bool SetMachineSetting(std::string_view key, std::string_view value);
bool EraseMachineSetting(std::string_view key);
// How many times this process changed the machine settings, so that what is read from them
// once per machine (the code page) is read again after a change.
uint64_t MachineSettingsEdits();

}  // namespace velm::platform
