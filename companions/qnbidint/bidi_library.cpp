// Stand-in for the maker's bidirectional device-query libraries (built twice: "qnbidint.dll"
// and "qnbidi9x.dll"). The device it talks to is described by the machine root's file
// <root>/machine/bidi/device.txt, read afresh by every open, so a test sets up the device it
// needs by writing that file. Without the file no device answers: open fails with
// ERROR_TIMEOUT. Every call appends a line to <root>/machine/bidi/calls.log
// ("qnbidint open Velm Printer", "qnbidint query 0x2011c", ...).
//
// The device file, one directive a line ('#' starts a comment; numbers decimal or 0x hex):
//   model TEXT             the model name slot 4 answers (default "VELM")
//   tray ID PAPER MEDIA ATTRIBUTES   a tray: its entry of records 1, 20, 21 and 23
//   option CODE...         installed options (record 2)
//   memory BYTES           record 11
//   memorytype N           class record 258
//   system TEXT            record 8;  emulation TEXT: class record 2;  other TEXT: class record 259
//   openstatus N           the status open gives (default 1)
//   record CODE HEX...     record CODE is these bytes instead (hex digits, in as many groups
//                          as wanted); classrecord SUB HEX... likewise for class 15
//   size CALL N            the size query of CALL (record:N or classrecord:N) answers N bytes
//                          whatever the record holds
//   claim CALL N           the read of CALL reports N bytes copied (and needed) whatever it copied
//   fail CALL [ERROR]      CALL fails with ERROR as the last error (default ERROR_GEN_FAILURE)
//   timeout CALL           CALL fails with ERROR_TIMEOUT
// CALL names: init, open, close, query, class, model, record:N, classrecord:N (size query and
// read), classsize:N (the size query only, which still gives the size). A query or class query
// made to fail with error 102 still hands out its result (the device answered from what it
// kept). A line the file cannot be read by makes the device absent.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

#include "bidi_interface.h"
#include "companions/companion_host.h"
#include "win32.h"

#ifndef VELM_BIDI_LIBRARY
#define VELM_BIDI_LIBRARY "qnbidint"
#endif

namespace {

using namespace velm::bidi;
namespace vp = velm::companion;

constexpr size_t kMaxDeviceFileBytes = 1u << 20;

struct Device {
  vp::WText model = WSTR("VELM");
  vp::Vector<DWORD> trayIds, trayPaper, trayMedia, trayAttributes, options;
  bool hasMemory = false, hasMemoryType = false;
  DWORD memory = 0, memoryType = 0;
  vp::WText system, emulation, other;
  DWORD openStatus = 1;
  vp::Map<DWORD, vp::String> records, classRecords;  // raw answers that replace the built ones
  vp::Map<vp::String, DWORD> sizes, claims, failures;
};

struct Session {
  Device device;
  vp::Vector<uintptr_t> results;
};

struct Result {
  uintptr_t session = 0;
  bool classResult = false;
};

std::mutex g_lock;
vp::Map<uintptr_t, Session> g_sessions;
vp::Map<uintptr_t, Result> g_results;
uintptr_t g_next = 0x1000;

// ---- the log ----

void Log(std::string_view line) {
  const DWORD error = GetLastError();
  const vp::StorePath store = vp::StoreFolder("bidi");
  if (!store.empty()) {
    vp::String text(VELM_BIDI_LIBRARY " ");
    text.append(line.data(), line.size());
    text += '\n';
    vp::AppendToFile(store / "calls.log", text);
  }
  SetLastError(error);
}

// ---- the device file ----

bool ParseNumber(std::string_view text, DWORD& value) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

vp::Vector<std::string_view> Split(std::string_view line) {
  vp::Vector<std::string_view> words;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    const size_t start = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
    if (at > start) words.push_back(line.substr(start, at - start));
  }
  return words;
}

// The text after the first word, without blanks at either end.
vp::WText RestOfLine(std::string_view line) {
  size_t at = line.find_first_not_of(" \t");
  at = line.find_first_of(" \t", at);
  if (at == std::string_view::npos) return {};
  at = line.find_first_not_of(" \t", at);
  const size_t end = line.find_last_not_of(" \t");
  return at == std::string_view::npos ? vp::WText() : vp::FromUtf8(line.substr(at, end - at + 1));
}

bool ParseHex(const vp::Vector<std::string_view>& words, size_t first, vp::String& bytes) {
  vp::String digits;
  for (size_t i = first; i < words.size(); ++i) digits += words[i];
  if (digits.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < digits.size(); i += 2) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data() + i, digits.data() + i + 2, value, 16);
    if (ec != std::errc() || end != digits.data() + i + 2) return false;
    bytes += static_cast<char>(value);
  }
  return true;
}

bool ParseLine(std::string_view line, Device& device) {
  const vp::Vector<std::string_view> w = Split(line);
  if (w.empty()) return true;
  const std::string_view kind = w[0];
  DWORD a = 0, b = 0, c = 0, d = 0;
  if (kind == "model") {
    device.model = RestOfLine(line);
  } else if (kind == "system") {
    device.system = RestOfLine(line);
  } else if (kind == "emulation") {
    device.emulation = RestOfLine(line);
  } else if (kind == "other") {
    device.other = RestOfLine(line);
  } else if (kind == "tray") {
    if (w.size() != 5 || !ParseNumber(w[1], a) || !ParseNumber(w[2], b) || !ParseNumber(w[3], c) ||
        !ParseNumber(w[4], d))
      return false;
    device.trayIds.push_back(a);
    device.trayPaper.push_back(b);
    device.trayMedia.push_back(c);
    device.trayAttributes.push_back(d);
  } else if (kind == "option") {
    for (size_t i = 1; i < w.size(); ++i) {
      if (!ParseNumber(w[i], a)) return false;
      device.options.push_back(a);
    }
  } else if (kind == "memory" || kind == "memorytype" || kind == "openstatus") {
    if (w.size() != 2 || !ParseNumber(w[1], a)) return false;
    if (kind == "memory") device.hasMemory = true, device.memory = a;
    if (kind == "memorytype") device.hasMemoryType = true, device.memoryType = a;
    if (kind == "openstatus") device.openStatus = a;
  } else if (kind == "record" || kind == "classrecord") {
    vp::String bytes;
    if (w.size() < 2 || !ParseNumber(w[1], a) || !ParseHex(w, 2, bytes)) return false;
    (kind == "record" ? device.records : device.classRecords)[a] = bytes;
  } else if (kind == "size" || kind == "claim") {
    if (w.size() != 3 || !ParseNumber(w[2], a)) return false;
    (kind == "size" ? device.sizes : device.claims)[vp::String(w[1])] = a;
  } else if (kind == "fail") {
    if (w.size() < 2 || w.size() > 3 || (w.size() == 3 && !ParseNumber(w[2], a))) return false;
    device.failures[vp::String(w[1])] = w.size() == 3 ? a : ERROR_GEN_FAILURE;
  } else if (kind == "timeout") {
    if (w.size() != 2) return false;
    device.failures[vp::String(w[1])] = ERROR_TIMEOUT;
  } else {
    return false;
  }
  return true;
}

// The device of the machine root; false when there is none (no file, or one it cannot read).
bool LoadDevice(Device& device) {
  const vp::StorePath store = vp::StoreFolder("bidi");
  vp::String text;
  if (store.empty() || vp::ReadWholeFile(store / "device.txt", kMaxDeviceFileBytes, text) != ERROR_SUCCESS)
    return false;
  size_t start = 0, number = 1;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == vp::String::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!ParseLine(line, device)) {
      Log("device.txt: cannot read line " + vp::Decimal(number));
      return false;
    }
    start = end + 1;
    ++number;
  }
  return true;
}

// Whether the device file makes `call` fail; if so the last error is set.
bool Fails(const Device& device, const vp::String& call) {
  const auto found = device.failures.find(call);
  if (found == device.failures.end()) return false;
  SetLastError(found->second);
  return true;
}

// ---- records ----

vp::String Numbers(const vp::Vector<DWORD>& values) {
  return vp::String(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(DWORD));
}

vp::String Text(const vp::WText& text) {
  if (text.empty()) return {};
  return vp::String(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(WCHAR));
}

vp::String RecordBytes(const Device& device, DWORD code) {
  if (const auto raw = device.records.find(code); raw != device.records.end()) return raw->second;
  switch (code) {
    case kRecordTrayIds: return Numbers(device.trayIds);
    case kRecordTrayPaper: return Numbers(device.trayPaper);
    case kRecordTrayMedia: return Numbers(device.trayMedia);
    case kRecordTrayAttributes: return Numbers(device.trayAttributes);
    case kRecordOptions: return Numbers(device.options);
    case kRecordMemory: return device.hasMemory ? Numbers({device.memory}) : vp::String();
    case kRecordSystemVersion: return Text(device.system);
    default: return {};
  }
}

vp::String ClassRecordBytes(const Device& device, DWORD subCode) {
  if (const auto raw = device.classRecords.find(subCode); raw != device.classRecords.end()) return raw->second;
  switch (subCode) {
    case kClassMemoryType: return device.hasMemoryType ? Numbers({device.memoryType}) : vp::String();
    case kClassEmulationVersion: return Text(device.emulation);
    case kClassOtherDevice: return Text(device.other);
    default: return {};
  }
}

// The session a handle or result belongs to, copied out under the lock.
bool FindSession(uintptr_t handle, Device& device) {
  std::lock_guard guard(g_lock);
  const auto found = g_sessions.find(handle);
  if (found == g_sessions.end()) return false;
  device = found->second.device;
  return true;
}

bool FindResult(uintptr_t result, bool classResult, Device& device) {
  std::lock_guard guard(g_lock);
  const auto found = g_results.find(result);
  if (found == g_results.end() || found->second.classResult != classResult) return false;
  device = g_sessions.at(found->second.session).device;
  return true;
}

uintptr_t NewResult(uintptr_t session, bool classResult) {
  std::lock_guard guard(g_lock);
  const uintptr_t result = g_next++;
  g_results[result] = Result{session, classResult};
  g_sessions.at(session).results.push_back(result);
  return result;
}

DWORD Override(const vp::Map<vp::String, DWORD>& values, const vp::String& call, DWORD fallback) {
  const auto found = values.find(call);
  return found == values.end() ? fallback : found->second;
}

// The read protocol of slots 6 and 7: a size query with a null buffer, then the copy.
LONG Answer(const Device& device, const vp::String& call, const vp::String& bytes, void* buffer, DWORD size,
            DWORD* needed) {
  const DWORD actual = static_cast<DWORD>(bytes.size());
  if (!buffer) {
    *needed = Override(device.sizes, call, actual);
    return static_cast<LONG>(*needed);
  }
  if (size < actual) {
    *needed = actual;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return -1;
  }
  std::memcpy(buffer, bytes.data(), actual);
  *needed = Override(device.claims, call, actual);
  return static_cast<LONG>(*needed);
}

// ---- the slots ----

BOOL Open(BidiInterface* table, LPCWSTR printerName, BidiHandle* handle, DWORD* status) try {
  if (!table || !printerName || !handle || !status) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *handle = nullptr;
  *status = 0;
  Log("open " + vp::ToUtf8(printerName));
  Device device;
  if (!LoadDevice(device)) {
    SetLastError(ERROR_TIMEOUT);
    return FALSE;
  }
  if (Fails(device, "open")) return FALSE;
  std::lock_guard guard(g_lock);
  const uintptr_t session = g_next++;
  g_sessions[session] = Session{device, {}};
  *handle = reinterpret_cast<BidiHandle>(session);
  *status = device.openStatus;
  return TRUE;
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return FALSE;
}

BOOL Close(BidiInterface*, BidiHandle handle) try {
  Log("close");
  std::lock_guard guard(g_lock);
  const auto found = g_sessions.find(reinterpret_cast<uintptr_t>(handle));
  if (found == g_sessions.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const bool fails = Fails(found->second.device, "close");
  for (const uintptr_t result : found->second.results) g_results.erase(result);
  g_sessions.erase(found);
  return fails ? FALSE : TRUE;
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return FALSE;
}

// Slots 2 and 3: a failure with kErrorAnswerKept still hands out the result.
BOOL Ask(BidiHandle handle, BidiResult* result, const vp::String& call, bool classResult) {
  if (!result) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *result = nullptr;
  Device device;
  const uintptr_t session = reinterpret_cast<uintptr_t>(handle);
  if (!FindSession(session, device)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const bool fails = Fails(device, call);
  if (fails && GetLastError() != kErrorAnswerKept) return FALSE;
  *result = reinterpret_cast<BidiResult>(NewResult(session, classResult));
  if (fails) SetLastError(kErrorAnswerKept);
  return fails ? FALSE : TRUE;
}

BOOL Query(BidiInterface*, BidiHandle handle, BidiResult* result, DWORD flags, void*) try {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%#x", static_cast<unsigned>(flags));
  Log(vp::String("query ") + hex);
  return Ask(handle, result, "query", false);
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return FALSE;
}

BOOL QueryClass(BidiHandle handle, BidiResult* result, DWORD recordClass, DWORD) try {
  Log("class " + vp::Decimal(recordClass));
  return Ask(handle, result, "class", true);
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return FALSE;
}

BOOL ModelName(BidiInterface*, BidiHandle handle, WCHAR* name) try {
  Log("model");
  Device device;
  if (!name || !FindSession(reinterpret_cast<uintptr_t>(handle), device)) {
    SetLastError(name ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Fails(device, "model")) return FALSE;
  const size_t chars = std::min<size_t>(device.model.size(), kModelNameChars - 1);
  std::memcpy(name, device.model.data(), chars * sizeof(WCHAR));
  name[chars] = 0;
  return TRUE;
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return FALSE;
}

BOOL Reserved(BidiHandle) try {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return FALSE;
}

LONG ReadRecord(BidiResult result, DWORD code, void* buffer, DWORD size, DWORD* needed) try {
  Log("record " + vp::Decimal(code) + (buffer ? "" : " size"));
  Device device;
  if (!needed || !FindResult(reinterpret_cast<uintptr_t>(result), false, device)) {
    SetLastError(needed ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return -1;
  }
  const vp::String call = "record:" + vp::Decimal(code);
  if (Fails(device, call)) return -1;
  return Answer(device, call, RecordBytes(device, code), buffer, size, needed);
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return -1;
}

BOOL ReadClassRecord(BidiResult result, DWORD recordClass, DWORD subCode, void* buffer, DWORD size, DWORD* needed) try {
  Log("classrecord " + vp::Decimal(recordClass) + " " + vp::Decimal(subCode) + (buffer ? "" : " size"));
  Device device;
  if (!needed || !FindResult(reinterpret_cast<uintptr_t>(result), true, device)) {
    SetLastError(needed ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const vp::String call = "classrecord:" + vp::Decimal(subCode);
  if (Fails(device, call)) return FALSE;
  const vp::String bytes = recordClass == kClassVersions ? ClassRecordBytes(device, subCode) : vp::String();
  const bool sizeFails = !buffer && device.failures.count("classsize:" + vp::Decimal(subCode)) != 0;
  if (Answer(device, call, bytes, buffer, size, needed) < 0) return FALSE;
  return sizeFails && Fails(device, "classsize:" + vp::Decimal(subCode)) ? FALSE : TRUE;
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return FALSE;
}

}  // namespace

DRIVER_EXPORT BOOL QuirnInitializeBidiApiW(BidiInterface* table) try {
  Log("init");
  if (!table) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Device device;
  if (LoadDevice(device) && Fails(device, "init")) return FALSE;
  *table = BidiInterface{Open, Close, Query, QueryClass, ModelName, Reserved, ReadRecord, ReadClassRecord};
  return TRUE;
} catch (...) {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return FALSE;
}
