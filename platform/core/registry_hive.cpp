#include "core/registry_hive.h"

#include <algorithm>
#include <cstring>

#include "core/unicode.h"

namespace velm::platform {

namespace {

constexpr char kSignature[8] = {'V', 'E', 'L', 'M', 'R', 'E', 'G', '1'};

bool SubkeyLess(const RegistryKey& key, std::u16string_view name) { return CompareNoCase(key.name, name) < 0; }

template <class Key>
auto FindSubkeyIn(Key& key, std::u16string_view name) -> decltype(&key.subkeys[0]) {
  const auto it = std::lower_bound(key.subkeys.begin(), key.subkeys.end(), name, SubkeyLess);
  return it != key.subkeys.end() && EqualsNoCase(it->name, name) ? &*it : nullptr;
}

template <class Key>
auto FindValueIn(Key& key, std::u16string_view name) -> decltype(&key.values[0]) {
  for (auto& value : key.values)
    if (EqualsNoCase(value.name, name)) return &value;
  return nullptr;
}

// --- writing ---

template <class T>
void Put(std::string& out, T value) {
  char bytes[sizeof(T)];
  for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<char>((static_cast<uint64_t>(value) >> (8 * i)) & 0xFF);
  out.append(bytes, sizeof(T));
}

void PutName(std::string& out, std::u16string_view name) {
  Put<uint16_t>(out, static_cast<uint16_t>(name.size()));
  for (char16_t c : name) Put<uint16_t>(out, c);
}

void PutKey(std::string& out, const RegistryKey& key) {
  Put<uint64_t>(out, key.id);
  Put<uint64_t>(out, key.lastWrite);
  PutName(out, key.name);
  Put<uint32_t>(out, static_cast<uint32_t>(key.values.size()));
  for (const RegistryValue& value : key.values) {
    PutName(out, value.name);
    Put<uint32_t>(out, value.type);
    Put<uint32_t>(out, static_cast<uint32_t>(value.data.size()));
    out += value.data;
  }
  Put<uint32_t>(out, static_cast<uint32_t>(key.subkeys.size()));
  for (const RegistryKey& subkey : key.subkeys) PutKey(out, subkey);
}

// --- reading, every length checked against what is left ---

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool AtEnd() const { return pos_ == bytes_.size(); }
  size_t Left() const { return bytes_.size() - pos_; }

  template <class T>
  bool Get(T& value) {
    if (Left() < sizeof(T)) return false;
    uint64_t v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(bytes_[pos_ + i])) << (8 * i);
    value = static_cast<T>(v);
    pos_ += sizeof(T);
    return true;
  }
  bool GetName(std::u16string& name, size_t maxLength) {
    uint16_t length = 0;
    if (!Get(length) || length > maxLength || Left() / 2 < length) return false;
    name.resize(length);
    for (char16_t& c : name) Get(c);
    return true;
  }
  bool GetBytes(std::string& data, size_t length) {
    if (Left() < length) return false;
    data.assign(bytes_.substr(pos_, length));
    pos_ += length;
    return true;
  }
  bool Skip(std::string_view expected) {
    if (bytes_.substr(pos_, expected.size()) != expected) return false;
    pos_ += expected.size();
    return true;
  }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

bool NamesUnique(const std::vector<RegistryValue>& values) {
  std::vector<std::u16string> folded;
  folded.reserve(values.size());
  for (const RegistryValue& value : values) {
    std::u16string name = value.name;
    for (char16_t& c : name) c = FoldAscii(c);
    folded.push_back(std::move(name));
  }
  std::sort(folded.begin(), folded.end());
  return std::adjacent_find(folded.begin(), folded.end()) == folded.end();
}

bool GetKey(Reader& in, RegistryKey& key, size_t depth) {
  if (depth > kMaxRegistryDepth) return false;
  if (!in.Get(key.id) || !in.Get(key.lastWrite) || !in.GetName(key.name, kMaxRegistryKeyName)) return false;
  if ((depth > 0 && key.name.empty()) || key.name.find(u'\\') != std::u16string::npos) return false;
  uint32_t count = 0;
  if (!in.Get(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    RegistryValue value;
    uint32_t length = 0;
    if (!in.GetName(value.name, kMaxRegistryValueName) || !in.Get(value.type) || !in.Get(length) ||
        !in.GetBytes(value.data, length))
      return false;
    key.values.push_back(std::move(value));
  }
  if (!NamesUnique(key.values) || !in.Get(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    RegistryKey subkey;
    if (!GetKey(in, subkey, depth + 1)) return false;
    if (!key.subkeys.empty() && CompareNoCase(key.subkeys.back().name, subkey.name) >= 0) return false;
    key.subkeys.push_back(std::move(subkey));
  }
  return true;
}

}  // namespace

RegistryKey* RegistryKey::FindSubkey(std::u16string_view name) { return FindSubkeyIn(*this, name); }
const RegistryKey* RegistryKey::FindSubkey(std::u16string_view name) const { return FindSubkeyIn(*this, name); }
RegistryValue* RegistryKey::FindValue(std::u16string_view name) { return FindValueIn(*this, name); }
const RegistryValue* RegistryKey::FindValue(std::u16string_view name) const { return FindValueIn(*this, name); }

RegistryKey& RegistryKey::AddSubkey(std::u16string_view name, uint64_t id, uint64_t now) {
  const auto it = std::lower_bound(subkeys.begin(), subkeys.end(), name, SubkeyLess);
  RegistryKey key;
  key.id = id;
  key.lastWrite = now;
  key.name = name;
  return *subkeys.insert(it, std::move(key));
}

bool RegistryKey::RemoveSubkey(std::u16string_view name) {
  const auto it = std::lower_bound(subkeys.begin(), subkeys.end(), name, SubkeyLess);
  if (it == subkeys.end() || !EqualsNoCase(it->name, name)) return false;
  subkeys.erase(it);
  return true;
}

std::string SerializeHive(const RegistryHive& hive) {
  std::string out(kSignature, sizeof kSignature);
  Put<uint64_t>(out, hive.nextId);
  PutKey(out, hive.root);
  return out;
}

bool ParseHive(std::string_view bytes, RegistryHive& hive) {
  Reader in(bytes);
  RegistryHive parsed;
  if (!in.Skip(std::string_view(kSignature, sizeof kSignature)) || !in.Get(parsed.nextId) ||
      !GetKey(in, parsed.root, 0) || !in.AtEnd())
    return false;
  hive = std::move(parsed);
  return true;
}

}  // namespace velm::platform
