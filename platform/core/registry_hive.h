// One registry hive: a tree of keys with typed values, and its byte-exact stored form.
//
// Stored form (little-endian):
//   hive   = "VELMREG1" nextId:u64 key(root)
//   key    = id:u64 lastWrite:u64 nameLength:u16 name:u16[nameLength]
//            valueCount:u32 value[valueCount] subkeyCount:u32 key[subkeyCount]
//   value  = nameLength:u16 name:u16[nameLength] type:u32 dataLength:u32 data:u8[dataLength]
// Subkeys are kept sorted without regard to ASCII case (the order RegEnumKeyEx gives);
// values keep the order in which they were first set.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/wintypes.h"

namespace velm::platform {

constexpr size_t kMaxRegistryKeyName = 255;
constexpr size_t kMaxRegistryValueName = 16383;
constexpr size_t kMaxRegistryDepth = 512;
constexpr size_t kMaxHiveBytes = 64u << 20;

struct RegistryValue {
  std::u16string name;
  DWORD type = 0;
  std::string data;  // the bytes exactly as set
};

struct RegistryKey {
  uint64_t id = 0;         // unique in the hive and never reused, so a re-created key is a new key
  uint64_t lastWrite = 0;  // FILETIME
  std::u16string name;
  std::vector<RegistryValue> values;
  std::vector<RegistryKey> subkeys;

  RegistryKey* FindSubkey(std::u16string_view name);
  const RegistryKey* FindSubkey(std::u16string_view name) const;
  RegistryValue* FindValue(std::u16string_view name);
  const RegistryValue* FindValue(std::u16string_view name) const;
  // Inserts a new subkey in order; the name must not exist yet.
  RegistryKey& AddSubkey(std::u16string_view name, uint64_t id, uint64_t now);
  bool RemoveSubkey(std::u16string_view name);
};

struct RegistryHive {
  uint64_t nextId = 1;
  RegistryKey root;
};

std::string SerializeHive(const RegistryHive& hive);

// False when `bytes` are not a well-formed hive: wrong signature, a length past the end,
// trailing bytes, a key name empty, too long or holding '\', duplicate names, unsorted
// subkeys, or keys nested deeper than kMaxRegistryDepth.
bool ParseHive(std::string_view bytes, RegistryHive& hive);

}  // namespace velm::platform
