// Stand-in for the maker's job-credential service. It keeps each user's credential items per
// printer in one store of the machine root, <root>/machine/jobcr/credentials, so every process
// of the machine sees the same values. The store is read afresh by every call and rewritten
// whole (temporary file and rename) under a lock held across processes.
//
// Behaviour a test can change through machine settings, read on every call:
//   qnjobcr_versions      the interface versions granted, comma-separated (default "257,258";
//                         259 may be added)
//   qnjobcr_fail_interface, qnjobcr_fail_open, qnjobcr_fail_query, qnjobcr_fail_read,
//   qnjobcr_fail_user_read, qnjobcr_fail_write
//                         a status (decimal or 0x hex) that call answers instead of working
//                         (qnjobcr_fail_read covers both reads)
//   qnjobcr_short_buffer  "1": every read into a buffer answers the buffer is too small
//   qnjobcr_status0, qnjobcr_status1  what slots 0 and 1 answer (default 0)
//
// Every write that works and every notify is logged as a line of <root>/machine/jobcr/calls.log
// with the session's printer: "write <printer> <item>", "notify <printer> <code>" (and " <hex
// bytes>" of the data when there is any).
//
// Store format, little-endian: "VELMJCR1", u32 record count, then per record: u16 user length
// and the user's name (UTF-16, no terminator), u16 printer length and the printer's name, u32
// item, u32 kind, u32 value size and the value (text with its terminator, or 4 bytes).
#include "job_credentials.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>

#include "companions/companion_host.h"
#include "win32.h"

namespace {

using namespace velm::jobcr;
namespace vp = velm::companion;

constexpr char kMagic[8] = {'V', 'E', 'L', 'M', 'J', 'C', 'R', '1'};
constexpr size_t kMaxRecords = 4096;
constexpr size_t kMaxNameChars = 256;
constexpr size_t kMaxStoreBytes = 8u << 20;
// A text argument may come in a larger buffer than the text it holds; it is scanned this far.
constexpr DWORD kMaxArgumentBytes = 64u << 10;

struct Record {
  vp::WText user;
  vp::WText printer;
  DWORD item = 0;
  DWORD kind = 0;
  vp::String value;
};

struct Session {
  vp::WText user;
  vp::WText printer;
  DWORD version = 0;
};

std::mutex g_lock;
vp::Map<uintptr_t, Session> g_sessions;
uintptr_t g_nextSession = 1;
vp::Map<const JcInterface*, size_t> g_granted;  // interfaces handed out and not yet disposed

// ---- machine settings ----

bool ParseNumber(std::string_view text, DWORD& value) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// The status a fault switch forces on a call, or 0 when the call is to work.
DWORD ForcedFailure(const char* key) {
  DWORD status = 0;
  return ParseNumber(vp::Setting(key), status) ? status : 0;
}

bool VersionGranted(DWORD version) {
  const vp::String list = vp::Setting("qnjobcr_versions", "257,258");
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    DWORD granted = 0;
    if (ParseNumber(std::string_view(list).substr(start, comma - start), granted) && granted == version &&
        (version == kVersion257 || version == kVersion258 || version == kVersion259)) {
      return true;
    }
    start = comma + 1;
  }
  return false;
}

// ---- items ----

// The kind an item holds under an interface version, or 0 when that version does not carry it.
DWORD ItemKind(DWORD item, DWORD version) {
  if (item >= kItemUserCode && item <= kItemStoredPassword) return kKindText;
  if (version < kVersion258) return 0;
  if (item == kItemSignature || item == kItemVersionText) return kKindText;
  if (item == kItemLanguage) return kKindNumber;
  return 0;
}

bool ValidStoredValue(DWORD kind, const vp::String& value) {
  if (kind == kKindNumber) return value.size() == 4;
  if (value.size() < 2 || value.size() > kMaxValueBytes || value.size() % 2 != 0) return false;
  for (size_t at = 0; at + 2 < value.size(); at += 2) {
    if (value[at] == 0 && value[at + 1] == 0) return false;  // one terminator, at the end
  }
  return value[value.size() - 2] == 0 && value[value.size() - 1] == 0;
}

// ---- the store ----

vp::StorePath StoreFile() { return vp::StoreFolder("jobcr") / "credentials"; }
vp::StorePath LockFile() { return vp::StoreFolder("jobcr") / "credentials.lock"; }

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}
  bool Take(void* out, size_t size) {
    if (bytes_.size() - at_ < size) return false;
    std::memcpy(out, bytes_.data() + at_, size);
    at_ += size;
    return true;
  }
  bool U16(uint16_t& value) { return Take(&value, 2); }  // the build is little-endian
  bool U32(DWORD& value) { return Take(&value, 4); }
  bool Name(vp::WText& name) {
    uint16_t chars = 0;
    if (!U16(chars) || chars == 0 || chars > kMaxNameChars) return false;
    name.resize(chars);
    return Take(name.data(), chars * 2u) && name.find(WCH('\0')) == vp::WText::npos;
  }
  bool Bytes(vp::String& value, size_t size) {
    if (bytes_.size() - at_ < size) return false;
    value.assign(bytes_.data() + at_, size);
    at_ += size;
    return true;
  }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  size_t at_ = 0;
};

bool ParseStore(std::string_view bytes, vp::Vector<Record>& records) {
  ByteReader in(bytes);
  char magic[8];
  DWORD count = 0;
  if (!in.Take(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof magic) != 0 || !in.U32(count) ||
      count > kMaxRecords) {
    return false;
  }
  records.clear();
  for (DWORD i = 0; i < count; ++i) {
    Record r;
    DWORD size = 0;
    if (!in.Name(r.user) || !in.Name(r.printer) || !in.U32(r.item) || !in.U32(r.kind) || !in.U32(size) ||
        size > kMaxValueBytes || !in.Bytes(r.value, size)) {
      return false;
    }
    if (ItemKind(r.item, kVersion258) != r.kind || !ValidStoredValue(r.kind, r.value)) return false;
    records.push_back(std::move(r));
  }
  return in.AtEnd();
}

void AppendU16(vp::String& out, uint16_t value) { out.append(reinterpret_cast<const char*>(&value), 2); }
void AppendU32(vp::String& out, uint32_t value) { out.append(reinterpret_cast<const char*>(&value), 4); }
void AppendName(vp::String& out, const vp::WText& name) {
  AppendU16(out, static_cast<uint16_t>(name.size()));
  out.append(reinterpret_cast<const char*>(name.data()), name.size() * 2);
}

vp::String SerializeStore(const vp::Vector<Record>& records) {
  vp::String out(kMagic, sizeof kMagic);
  AppendU32(out, static_cast<uint32_t>(records.size()));
  for (const Record& r : records) {
    AppendName(out, r.user);
    AppendName(out, r.printer);
    AppendU32(out, r.item);
    AppendU32(out, r.kind);
    AppendU32(out, static_cast<uint32_t>(r.value.size()));
    out += r.value;
  }
  return out;
}

// Reads the store; an absent store is an empty one. The caller holds the store lock.
DWORD LoadStore(vp::Vector<Record>& records) {
  vp::String bytes;
  const DWORD error = vp::ReadWholeFile(StoreFile(), kMaxStoreBytes, bytes);
  if (error == ERROR_FILE_NOT_FOUND) {
    records.clear();
    return ERROR_SUCCESS;
  }
  if (error == ERROR_NOT_ENOUGH_MEMORY) return ERROR_BADDB;  // larger than any store we write
  if (error != ERROR_SUCCESS) return error;
  return ParseStore(bytes, records) ? ERROR_SUCCESS : ERROR_BADDB;
}

vp::Vector<Record>::iterator FindRecord(vp::Vector<Record>& records, WStringView user, const vp::WText& printer,
                                         DWORD item) {
  for (auto it = records.begin(); it != records.end(); ++it) {
    if (it->item == item && vp::EqualsNoCase(it->user, user) && vp::EqualsNoCase(it->printer, printer)) {
      return it;
    }
  }
  return records.end();
}

vp::Vector<Record>::iterator FindRecord(vp::Vector<Record>& records, const Session& session, DWORD item) {
  return FindRecord(records, session.user, session.printer, item);
}

// Runs `work` on the loaded store under the store lock.
template <class Work>
DWORD WithStore(Work work) {
  if (vp::StoreFolder("jobcr").empty()) return ERROR_PATH_NOT_FOUND;
  vp::StoreLock lock(LockFile());
  if (lock.error() != ERROR_SUCCESS) return lock.error();
  vp::Vector<Record> records;
  const DWORD error = LoadStore(records);
  return error != ERROR_SUCCESS ? error : work(records);
}

// ---- sessions ----

bool FindSession(JcSessionHandle handle, Session& out) {
  std::lock_guard guard(g_lock);
  const auto it = g_sessions.find(reinterpret_cast<uintptr_t>(handle));
  if (it == g_sessions.end()) return false;
  out = it->second;
  return true;
}

// A printer's or user's name: 1..kMaxNameChars characters.
bool ValidName(LPCWSTR name) {
  if (name == nullptr) return false;
  size_t chars = 0;
  while (chars <= kMaxNameChars && name[chars] != 0) ++chars;
  return chars > 0 && chars <= kMaxNameChars;
}

// The item check of query, read and write.
DWORD CheckItem(const Session& session, DWORD item) {
  return ItemKind(item, session.version) != 0 ? ERROR_SUCCESS : ERROR_NOT_SUPPORTED;
}

// The item and kind check of read and write: the kind is the item's own.
DWORD CheckItem(const Session& session, DWORD item, DWORD kind) {
  const DWORD itemKind = ItemKind(item, session.version);
  if (itemKind == 0) return ERROR_NOT_SUPPORTED;
  return kind == itemKind ? ERROR_SUCCESS : ERROR_INVALID_DATATYPE;
}

// Turns a caller's value into the stored form: text up to its first NUL, terminated; an
// empty text clears the item (empty `value`).
DWORD StoredValue(DWORD kind, const void* data, DWORD size, vp::String& value) {
  if (size > kMaxArgumentBytes || (data == nullptr && size != 0)) return ERROR_INVALID_PARAMETER;
  if (kind == kKindNumber) {
    if (size != 4) return ERROR_INVALID_PARAMETER;
    value.assign(static_cast<const char*>(data), 4);
    return ERROR_SUCCESS;
  }
  if (size % 2 != 0) return ERROR_INVALID_PARAMETER;
  const char* bytes = static_cast<const char*>(data);
  size_t chars = 0;
  while (chars < size / 2 && (bytes[chars * 2] != 0 || bytes[chars * 2 + 1] != 0)) ++chars;
  value.clear();
  if (chars == 0) return ERROR_SUCCESS;
  if ((chars + 1) * 2 > kMaxValueBytes) return ERROR_INVALID_PARAMETER;
  value.assign(bytes, chars * 2);
  value.append(2, '\0');
  return ERROR_SUCCESS;
}

// ---- the log ----

// The log is a convenience for tests: a line that cannot be written (or built, for want of
// memory) is lost without failing the call, whose work is done by then.
void Log(const Session& session, std::string_view what, DWORD number, const void* data = nullptr,
         DWORD size = 0) noexcept try {
  static constexpr char kHex[] = "0123456789abcdef";
  vp::String line(what);
  line += ' ';
  line += vp::ToUtf8(session.printer);
  line += ' ';
  line += vp::Decimal(number);
  if (size > 0) line += ' ';
  for (DWORD i = 0; i < size; ++i) {
    const auto byte = static_cast<const unsigned char*>(data)[i];
    line += kHex[byte >> 4];
    line += kHex[byte & 15];
  }
  line += '\n';
  vp::AppendToFile(vp::StoreFolder("jobcr") / "calls.log", line);
} catch (...) {
}

// ---- the interface's calls ----

template <int Slot>
DWORD Status(LPCWSTR printerName) try {
  if (!ValidName(printerName)) return ERROR_INVALID_PARAMETER;
  return ForcedFailure(Slot == 0 ? "qnjobcr_status0" : "qnjobcr_status1");
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

template <DWORD Version>
DWORD Open(LPCWSTR printerName, JcSessionHandle* session) try {
  if (session == nullptr) return ERROR_INVALID_PARAMETER;
  *session = nullptr;
  if (!ValidName(printerName)) return ERROR_INVALID_PARAMETER;
  if (const DWORD forced = ForcedFailure("qnjobcr_fail_open")) return forced;
  WCHAR user[kMaxNameChars + 1];
  DWORD userChars = kMaxNameChars + 1;
  if (!GetUserNameW(user, &userChars)) return GetLastError();
  Session opened{vp::WText(user, static_cast<size_t>(lstrlenW(user))), printerName, Version};
  if (opened.user.empty()) return ERROR_INVALID_PARAMETER;
  std::lock_guard guard(g_lock);
  const uintptr_t id = g_nextSession++;
  g_sessions.emplace(id, std::move(opened));
  *session = reinterpret_cast<JcSessionHandle>(id);
  return ERROR_SUCCESS;
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

DWORD Close(JcSessionHandle session) try {
  std::lock_guard guard(g_lock);
  return g_sessions.erase(reinterpret_cast<uintptr_t>(session)) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

DWORD Query(JcSessionHandle handle, DWORD item, DWORD* flags) try {
  Session session;
  if (flags == nullptr) return ERROR_INVALID_PARAMETER;
  *flags = 0;
  if (!FindSession(handle, session)) return ERROR_INVALID_HANDLE;
  if (const DWORD error = CheckItem(session, item)) return error;
  if (const DWORD forced = ForcedFailure("qnjobcr_fail_query")) return forced;
  return WithStore([&](vp::Vector<Record>& records) {
    if (FindRecord(records, session, item) != records.end()) *flags = kFlagHasValue;
    return ERROR_SUCCESS;
  });
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

// The read of the session's own user (`user` null) or of `user` (the user-keyed read).
DWORD ReadValue(JcSessionHandle handle, LPCWSTR user, DWORD item, DWORD kind, void* buffer, DWORD size,
                DWORD* needed) {
  Session session;
  if (needed == nullptr || (buffer == nullptr && size != 0)) return ERROR_INVALID_PARAMETER;
  *needed = 0;
  if (!FindSession(handle, session)) return ERROR_INVALID_HANDLE;
  if (user != nullptr && !ValidName(user)) return ERROR_INVALID_PARAMETER;
  if (const DWORD error = CheckItem(session, item, kind)) return error;
  if (const DWORD forced = ForcedFailure("qnjobcr_fail_read")) return forced;
  if (user != nullptr) {
    if (const DWORD forced = ForcedFailure("qnjobcr_fail_user_read")) return forced;
  }
  const vp::WText owner = user != nullptr ? vp::WText(user) : session.user;
  const bool shortBuffer = vp::Setting("qnjobcr_short_buffer") == "1";
  return WithStore([&](vp::Vector<Record>& records) -> DWORD {
    const auto it = FindRecord(records, owner, session.printer, item);
    if (it == records.end()) return ERROR_INVALID_DATA;
    const DWORD bytes = static_cast<DWORD>(it->value.size());
    *needed = bytes;
    if (buffer == nullptr) return ERROR_SUCCESS;
    if (size < bytes || shortBuffer) return kResultBufferTooSmall;
    std::memcpy(buffer, it->value.data(), bytes);
    return ERROR_SUCCESS;
  });
}

DWORD Read(JcSessionHandle handle, DWORD item, DWORD kind, void* buffer, DWORD size, DWORD* needed) try {
  return ReadValue(handle, nullptr, item, kind, buffer, size, needed);
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

DWORD ReadForUser(JcSessionHandle handle, LPCWSTR user, DWORD item, DWORD kind, void* buffer, DWORD size,
                  DWORD* needed) try {
  if (user == nullptr) return ERROR_INVALID_PARAMETER;
  return ReadValue(handle, user, item, kind, buffer, size, needed);
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

DWORD Write(JcSessionHandle handle, DWORD item, DWORD kind, const void* data, DWORD size) try {
  Session session;
  if (!FindSession(handle, session)) return ERROR_INVALID_HANDLE;
  if (const DWORD error = CheckItem(session, item, kind)) return error;
  vp::String value;
  if (const DWORD error = StoredValue(kind, data, size, value)) return error;
  if (const DWORD forced = ForcedFailure("qnjobcr_fail_write")) return forced;
  return WithStore([&](vp::Vector<Record>& records) -> DWORD {
    const auto it = FindRecord(records, session, item);
    if (value.empty()) {
      if (it == records.end()) return ERROR_SUCCESS;
      records.erase(it);
    } else if (it != records.end()) {
      it->value = value;
    } else {
      if (records.size() >= kMaxRecords) return ERROR_DISK_FULL;
      records.push_back({session.user, session.printer, item, kind, value});
    }
    if (const DWORD error = vp::MakeFolder(vp::StoreFolder("jobcr"))) return error;
    const DWORD error = vp::ReplaceWholeFile(StoreFile(), SerializeStore(records));
    if (error == ERROR_SUCCESS) Log(session, "write", item);
    return error;
  });
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

DWORD Notify(JcSessionHandle handle, DWORD code, const void* data, DWORD size) try {
  Session session;
  if (!FindSession(handle, session)) return ERROR_INVALID_HANDLE;
  if ((data == nullptr && size != 0) || size > kMaxArgumentBytes) return ERROR_INVALID_PARAMETER;
  if (code == kNotifyLanguage) {
    DWORD declared = 0;
    if (size != kLanguageRecordBytes) return ERROR_INVALID_PARAMETER;
    std::memcpy(&declared, data, sizeof declared);
    if (declared != kLanguageRecordBytes) return ERROR_INVALID_PARAMETER;
  }
  Log(session, "notify", code, data, size);
  return ERROR_SUCCESS;
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

template <DWORD Version>
constinit JcInterface kInterface = {&Status<0>, &Status<1>, &Open<Version>, &Close, &Query, &Read, &Write,
                                    Version >= kVersion259 ? &ReadForUser : nullptr, &Notify};

}  // namespace

// Hands out the interface of `version` (257, 258 or 259) in *table: 0, or a failure status
// with *table null. Every interface handed out is given back through JCDisposeInterface.
DRIVER_EXPORT DWORD JCGetInterface(DWORD version, velm::jobcr::JcInterface** table) try {
  if (table == nullptr) return ERROR_INVALID_PARAMETER;
  *table = nullptr;
  if (const DWORD forced = ForcedFailure("qnjobcr_fail_interface")) return forced;
  if (!VersionGranted(version)) return ERROR_NOT_SUPPORTED;
  velm::jobcr::JcInterface* granted = version == velm::jobcr::kVersion259   ? &kInterface<velm::jobcr::kVersion259>
                                      : version == velm::jobcr::kVersion258 ? &kInterface<velm::jobcr::kVersion258>
                                                                            : &kInterface<velm::jobcr::kVersion257>;
  std::lock_guard guard(g_lock);
  ++g_granted[granted];
  *table = granted;
  return ERROR_SUCCESS;
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}

// Gives back an interface; ERROR_INVALID_PARAMETER for one not handed out (or given back already).
// Sessions opened through it stay open until closed.
DRIVER_EXPORT DWORD JCDisposeInterface(velm::jobcr::JcInterface* table) try {
  std::lock_guard guard(g_lock);
  const auto it = g_granted.find(table);
  if (it == g_granted.end()) return ERROR_INVALID_PARAMETER;
  if (--it->second == 0) g_granted.erase(it);
  return ERROR_SUCCESS;
} catch (...) {
  return ERROR_NOT_ENOUGH_MEMORY;
}
