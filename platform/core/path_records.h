// Records that the machine keeps per file or folder where the host has no place for them (the
// attributes beyond read-only, security descriptors): one text store per kind in
// <root>/machine, one "value relative/host/path" line per path, the value free of blanks.
// A path's records go with it when it is deleted or renamed.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace velm::platform {

using PathRecords = std::map<std::string, std::string, std::less<>>;

// The key of a host path below the machine root.
std::string PathRecordKey(const std::filesystem::path& host);
// Whether `key` is `base` or lies below it.
bool PathKeyIsUnder(const std::string& key, const std::string& base);

// Every record of the store `name` (empty without a machine root).
PathRecords ReadPathRecords(const char* name);
// Applies `edit` to the store under a lock, rewriting it (temporary file and rename) only when
// the edit changed something. `edit` returns whether it did.
void EditPathRecords(const char* name, const std::function<bool(PathRecords&)>& edit);

// The records of every store, for the path and everything below it.
void ForgetPathRecords(const std::filesystem::path& host);
void MovePathRecords(const std::filesystem::path& from, const std::filesystem::path& to);

// The stores.
inline constexpr char kAttributeStore[] = "attributes";
inline constexpr char kSecurityStore[] = "security";

}  // namespace velm::platform
