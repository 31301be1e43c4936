#include "core/path_records.h"

#include <cerrno>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "core/machine_root.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

fs::path StoreFile(const char* name) {
  const fs::path machine = MachineStore("");
  return machine.empty() ? fs::path() : machine / name;
}

}  // namespace

std::string PathRecordKey(const fs::path& host) { return host.lexically_relative(MachineRoot()).generic_string(); }

bool PathKeyIsUnder(const std::string& key, const std::string& base) {
  return key == base || (key.size() > base.size() && key.compare(0, base.size(), base) == 0 && key[base.size()] == '/');
}

PathRecords ReadPathRecords(const char* name) {
  PathRecords records;
  const fs::path file = StoreFile(name);
  if (file.empty()) return records;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const size_t blank = line.find(' ');
    if (blank == 0 || blank == std::string::npos || blank + 1 == line.size()) continue;
    records[line.substr(blank + 1)] = line.substr(0, blank);
  }
  return records;
}

void EditPathRecords(const char* name, const std::function<bool(PathRecords&)>& edit) {
  const fs::path file = StoreFile(name);
  if (file.empty()) return;
  {
    PathRecords probe = ReadPathRecords(name);
    if (!edit(probe)) return;  // most edits find nothing to do; spare them the lock
  }
  const int lock = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0) return;
  while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
  }
  PathRecords records = ReadPathRecords(name);
  if (edit(records)) {
    std::ostringstream text;
    for (const auto& [key, value] : records) text << value << ' ' << key << '\n';
    const fs::path temp = file.string() + ".tmp" + std::to_string(::getpid());
    bool ok;
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      out << text.str();
      ok = static_cast<bool>(out.flush());
    }
    if (!ok || ::rename(temp.c_str(), file.c_str()) != 0) ::unlink(temp.c_str());
  }
  ::flock(lock, LOCK_UN);
  ::close(lock);
}

void ForgetPathRecords(const fs::path& host) {
  const std::string key = PathRecordKey(host);
  for (const char* store : {kAttributeStore, kSecurityStore}) {
    EditPathRecords(store, [&](PathRecords& records) {
      return std::erase_if(records, [&](const auto& e) { return PathKeyIsUnder(e.first, key); }) > 0;
    });
  }
}

void MovePathRecords(const fs::path& from, const fs::path& to) {
  const std::string source = PathRecordKey(from);
  const std::string target = PathRecordKey(to);
  for (const char* store : {kAttributeStore, kSecurityStore}) {
    EditPathRecords(store, [&](PathRecords& records) {
      PathRecords moved;
      bool changed = std::erase_if(records, [&](const auto& e) { return PathKeyIsUnder(e.first, target); }) > 0;
      for (auto it = records.begin(); it != records.end();) {
        if (PathKeyIsUnder(it->first, source)) {
          moved[target + it->first.substr(source.size())] = it->second;
          it = records.erase(it);
          changed = true;
        } else {
          ++it;
        }
      }
      records.merge(moved);
      return changed;
    });
  }
}

}  // namespace velm::platform
