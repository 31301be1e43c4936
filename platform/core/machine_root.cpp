#include "core/machine_root.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

std::mutex g_rootMutex;
fs::path g_root;
bool g_rootSet = false;
uint64_t g_rootVersion = 0;  // counts the changes of the root in force

using SettingsMap = std::map<std::string, std::string, std::less<>>;

fs::path SettingsFile() { return MachineStore("settings"); }

SettingsMap ReadSettings(const fs::path& file) {
  SettingsMap map;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq == std::string::npos || line.empty() || line[0] == '#') continue;
    map[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return map;
}

std::atomic<uint64_t> g_settingsEdits{0};

// Rewrites the settings file under an exclusive lock so that two processes never lose
// each other's changes.
template <class Edit>
bool EditSettings(Edit edit) {
  g_settingsEdits.fetch_add(1);
  const fs::path file = SettingsFile();
  if (file.empty()) return false;
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  const fs::path lockPath = file.parent_path() / "settings.lock";
  const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0) return false;
  ::flock(lock, LOCK_EX);
  SettingsMap map = ReadSettings(file);
  edit(map);
  std::ostringstream text;
  for (const auto& [k, v] : map) text << k << '=' << v << '\n';
  const fs::path temp = file.parent_path() / ("settings.tmp" + std::to_string(::getpid()));
  bool ok = false;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text.str();
    ok = static_cast<bool>(out.flush());
  }
  if (ok) ok = ::rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) fs::remove(temp, ec);
  ::flock(lock, LOCK_UN);
  ::close(lock);
  return ok;
}

}  // namespace

namespace {

// The root's path under g_rootMutex: the one set, or the environment's, parsed once per text.
const fs::path& RootLocked() {
  static const fs::path none;
  if (g_rootSet) return g_root;
  const char* env = std::getenv("VELM_ROOT");
  if (!env) env = "";
  static std::string seen;
  static fs::path parsed;
  if (seen != env) {
    seen = env;
    parsed = fs::path(seen);
    ++g_rootVersion;
  }
  return *env ? parsed : none;
}

}  // namespace

fs::path MachineRoot() {
  std::lock_guard lock(g_rootMutex);
  return RootLocked();
}

void SetMachineRoot(const fs::path& root) {
  std::lock_guard lock(g_rootMutex);
  g_root = root;
  g_rootSet = true;
  ++g_rootVersion;
  ::setenv("VELM_ROOT", root.c_str(), 1);
}

uint64_t MachineRootVersion() {
  std::lock_guard lock(g_rootMutex);
  RootLocked();
  return g_rootVersion;
}

fs::path MachineStore(std::string_view area) {
  std::lock_guard lock(g_rootMutex);
  const fs::path& root = RootLocked();
  if (root.empty()) return {};
  // Each area's folder is built once per root.
  static std::string storesOf;
  static std::map<std::string, fs::path, std::less<>> stores;
  if (storesOf != root.native() || stores.size() >= 64) {
    storesOf = root.native();
    stores.clear();
  }
  auto it = stores.find(area);
  if (it == stores.end()) {
    fs::path folder = area.empty() ? root / "machine" : root / "machine" / fs::path(std::string(area));
    it = stores.emplace(std::string(area), std::move(folder)).first;
  }
  return it->second;
}

bool CreateMachineRoot(const fs::path& root, std::string* error) {
  std::error_code ec;
  const std::string user = "user";
  const fs::path folders[] = {
      "c/Windows/System32/spool/drivers/w32x86/3",
      "c/Windows/System32/spool/drivers/w32x86/2",
      "c/Windows/Temp",
      "c/Windows/Fonts",
      "c/Program Files",
      "c/ProgramData",
      "c/Users/" + user + "/AppData/LocalLow",
      "c/Users/" + user + "/AppData/Local/Temp",
      "c/Users/" + user + "/AppData/Roaming",
      "machine/registry",
      "machine/spool",
      "machine/locks",
  };
  for (const fs::path& folder : folders) {
    fs::create_directories(root / folder, ec);
    if (ec) {
      if (error) *error = "cannot create " + (root / folder).string() + ": " + ec.message();
      return false;
    }
  }
  const fs::path file = root / "machine" / "settings";
  if (!fs::exists(file)) {
    g_settingsEdits.fetch_add(1);
    std::ofstream out(file, std::ios::binary);
    out << "administrator=1\n"
           "codepage=1252\n"
           "computer=VELMHOST\n"
           "country=1\n"
           "os=nt10\n"
           "process_exit=0\n"
           "systemlang=1033\n"
           "terminal_server=0\n"
           "user=" << user << "\n"
           "userlang=1033\n";
    if (!out.flush()) {
      if (error) *error = "cannot write " + file.string();
      return false;
    }
  }
  return true;
}

namespace {

// The settings as last read, kept until the file changes: every rewrite renames a new file
// into place, so a change of inode, size or time means a new text.
struct SettingsCache {
  std::mutex mutex;
  fs::path file;
  struct stat seen {};
  SettingsMap map;
};

SettingsCache& Cache() {
  static auto* cache = new SettingsCache();
  return *cache;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

std::string MachineSetting(std::string_view key, std::string_view fallback) {
  const fs::path file = SettingsFile();
  if (file.empty()) return std::string(fallback);
  struct stat now {};
  if (::stat(file.c_str(), &now) != 0) return std::string(fallback);
  SettingsCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  if (cache.file != file || !SameFile(cache.seen, now)) {
    cache.map = ReadSettings(file);
    cache.file = file;
    cache.seen = now;
  }
  const auto it = cache.map.find(key);
  return it == cache.map.end() ? std::string(fallback) : it->second;
}

bool SetMachineSetting(std::string_view key, std::string_view value) {
  if (key.empty() || key.find_first_of("=\n\r") != std::string_view::npos ||
      value.find_first_of("\n\r") != std::string_view::npos)
    return false;
  return EditSettings([&](SettingsMap& map) { map[std::string(key)] = std::string(value); });
}

uint64_t MachineSettingsEdits() { return g_settingsEdits.load(); }

bool EraseMachineSetting(std::string_view key) {
  return EditSettings([&](SettingsMap& map) {
    if (auto it = map.find(key); it != map.end()) map.erase(it);
  });
}

}  // namespace velm::platform
