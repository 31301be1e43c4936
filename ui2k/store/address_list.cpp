#include "ui2k/store/address_list.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

#include "settings/context/global_allocator.h"
#include "settings/context/memory.h"

namespace {

// The joined text of a list field at its longest: every value full, with a separator between.
constexpr DWORD kListTextLimit = kCsvMaxListValues * kCsvMaxValueLength + kCsvMaxListValues - 1;
// Fields after the 13th are skipped; each may be as long as a value.
constexpr DWORD kExtraFieldLimit = kCsvMaxValueLength;
constexpr DWORD kReadChunk = 64 * 1024;

struct FieldLayout {
  size_t offset;
  DWORD limit;  // characters
  bool list;
};

constexpr FieldLayout kFields[kCsvFieldCount] = {
    {offsetof(CsvRecord, field1), 64, false},  {offsetof(CsvRecord, field2), 64, false},
    {offsetof(CsvRecord, field3), 64, false},  {offsetof(CsvRecord, field4), 64, false},
    {offsetof(CsvRecord, field5), 64, false},  {offsetof(CsvRecord, field6), 32, false},
    {offsetof(CsvRecord, field7), kListTextLimit, true}, {offsetof(CsvRecord, field8), kListTextLimit, true},
    {offsetof(CsvRecord, field9), 4, false},   {offsetof(CsvRecord, field10), 8, false},
    {offsetof(CsvRecord, field11), 1, false},  {offsetof(CsvRecord, field12), 1, false},
    {offsetof(CsvRecord, field13), 1, false},
};

const FieldLayout* SpecOf(DWORD field) { return field >= 1 && field <= kCsvFieldCount ? &kFields[field - 1] : nullptr; }

WCHAR* FixedField(CsvRecord* record, const FieldLayout& layout) {
  return reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(record) + layout.offset);
}
WCHAR** ListField(CsvRecord* record, const FieldLayout& layout) {
  return reinterpret_cast<WCHAR**>(reinterpret_cast<BYTE*>(record) + layout.offset);
}

bool IsNamed(const CsvRecord* record) { return record->field1[0] != 0; }

// Whether `text` fits the field: its length, and for a list field the count and length of its values.
bool Fits(const FieldLayout& layout, WStringView text) {
  if (text.size() > layout.limit) return false;
  if (!layout.list) return true;
  DWORD values = 0;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(kCsvValueSeparator, start);
    const size_t length = (end == WStringView::npos ? text.size() : end) - start;
    if (++values > kCsvMaxListValues || length > kCsvMaxValueLength) return false;
    if (end == WStringView::npos) return true;
    start = end + 1;
  }
}

// Stores text that fits the field. False only when a list field cannot get its memory.
bool Store(CsvRecord* record, const FieldLayout& layout, WStringView text) {
  if (!layout.list) {
    WCHAR* field = FixedField(record, layout);
    std::memcpy(field, text.data(), text.size() * sizeof(WCHAR));
    field[text.size()] = 0;
    return true;
  }
  WCHAR** field = ListField(record, layout);
  WCHAR* grown = nullptr;
  if (!text.empty()) {
    grown = static_cast<WCHAR*>(SysAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (!grown) return false;
    std::memcpy(grown, text.data(), text.size() * sizeof(WCHAR));
  }
  SysFree(*field);
  *field = grown;
  return true;
}

void FreeListFields(CsvRecord* record) {
  for (const FieldLayout& layout : kFields) {
    if (!layout.list) continue;
    SysFree(*ListField(record, layout));
    *ListField(record, layout) = nullptr;
  }
}

// --- the ring -----------------------------------------------------------------------------------

CsvNode* TakeNode(CsvList* list) {
  CsvNode* node = list->freeNodes;
  if (!node) return nullptr;
  list->freeNodes = node->next;
  std::memset(node->record, 0, sizeof(CsvRecord));
  node->prev = node->next = nullptr;
  return node;
}

void GiveBack(CsvList* list, CsvNode* node) {
  FreeListFields(node->record);
  std::memset(node->record, 0, sizeof(CsvRecord));
  node->prev = nullptr;
  node->next = list->freeNodes;
  list->freeNodes = node;
}

// Links `node` in before `at`, or at the end when `at` is null.
void LinkBefore(CsvList* list, CsvNode* node, CsvNode* at) {
  if (!list->head) {
    node->prev = node->next = node;
    list->head = list->tail = node;
  } else {
    CsvNode* next = at ? at : list->head;
    node->next = next;
    node->prev = next->prev;
    next->prev->next = node;
    next->prev = node;
    if (!at) list->tail = node;
    else if (at == list->head) list->head = node;
  }
  ++list->count;
  if (!IsNamed(node->record)) ++list->unnamedCount;
}

void Unlink(CsvList* list, CsvNode* node) {
  if (list->count == 1) {
    list->head = list->tail = nullptr;
  } else {
    node->prev->next = node->next;
    node->next->prev = node->prev;
    if (node == list->head) list->head = node->next;
    if (node == list->tail) list->tail = node->prev;
  }
  --list->count;
  if (!IsNamed(node->record)) --list->unnamedCount;
}

void Renumber(CsvList* list) {
  CsvNode* node = list->head;
  for (DWORD i = 1; i <= list->count; ++i, node = node->next) node->record->number = i;
}

// The n-th node (1-based) counting every record or only named ones; null past the last.
CsvNode* NthNode(const CsvList* list, DWORD n, bool namedOnly) {
  CsvNode* node = list->head;
  for (DWORD i = 0; i < list->count; ++i, node = node->next) {
    if (namedOnly && !IsNamed(node->record)) continue;
    if (--n == 0) return node;
  }
  return nullptr;
}

void EmptyRing(CsvList* list) {
  while (list->head) {
    CsvNode* node = list->head;
    Unlink(list, node);
    GiveBack(list, node);
  }
}

// --- reading ------------------------------------------------------------------------------------

DWORD OpenStatus(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return kCsvStatusNotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return kCsvStatusSharing;
    default:
      return kCsvStatusReadFailed;
  }
}

// The file's bytes in chunks, '\r' dropped.
class ByteReader {
 public:
  explicit ByteReader(HANDLE file) : file_(file) {}
  // The next byte, or -1 at the end of the file or after a read failure (failed() tells which).
  int Next() {
    for (;;) {
      if (at_ == size_ && !Fill()) return -1;
      const BYTE b = chunk_[at_++];
      if (b != '\r') return b;
    }
  }
  bool failed() const { return failed_; }

 private:
  bool Fill() {
    DWORD read = 0;
    if (failed_ || !ReadFile(file_, chunk_, kReadChunk, &read, nullptr)) {
      failed_ = true;
      return false;
    }
    at_ = 0;
    size_ = read;
    return read > 0;
  }
  HANDLE file_;
  BYTE chunk_[kReadChunk];
  DWORD at_ = 0;
  DWORD size_ = 0;
  bool failed_ = false;
};

enum class Ends { kComma, kLine, kFile };

// One field's bytes up to its separator; a byte after a lead byte always belongs to its
// character. Reading stops once the field has more than `maxBytes` bytes (*tooLong).
Ends ReadField(ByteReader& in, const bool* lead, size_t maxBytes, CountedString& bytes, bool* tooLong) {
  bytes.clear();
  *tooLong = false;
  for (;;) {
    const int b = in.Next();
    if (b < 0) return Ends::kFile;
    if (b == ',') return Ends::kComma;
    if (b == '\n') return Ends::kLine;
    bytes += static_cast<char>(b);
    if (lead[b]) {
      const int trail = in.Next();
      if (trail < 0) return Ends::kFile;
      bytes += static_cast<char>(trail);
    }
    if (bytes.size() > maxBytes) {
      *tooLong = true;
      return Ends::kComma;
    }
  }
}

CountedWString Widen(const CountedString& bytes) {
  CountedWString text;
  if (bytes.empty()) return text;
  const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (units <= 0) return text;
  text.resize(static_cast<size_t>(units));
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), units);
  return text;
}

// Reads the records of an open file into the empty ring; the status of how it ended.
DWORD ReadRecords(CsvList* list, HANDLE file) {
  bool lead[256];
  for (int b = 0; b < 256; ++b) lead[b] = IsDBCSLeadByte(static_cast<BYTE>(b)) != FALSE;
  void* readerBlock = SysAlloc(sizeof(ByteReader));
  if (!readerBlock) return kCsvStatusNoMemory;
  const struct Owner {
    void* block;
    ~Owner() { SysFree(block); }
  } owner{readerBlock};
  ByteReader* reader = new (readerBlock) ByteReader(file);
  static_assert(std::is_trivially_destructible_v<ByteReader>);
  CountedString bytes;
  bool tooLong = false;
  for (;;) {
    Ends ends = ReadField(*reader, lead, 2 * kFields[0].limit, bytes, &tooLong);
    if (reader->failed()) return kCsvStatusReadFailed;
    if (ends == Ends::kFile && bytes.empty()) return kCsvStatusOk;
    if (ends == Ends::kLine && bytes.empty()) continue;
    if (list->count == kCsvMaxRecords) return kCsvStatusTooManyRecords;
    CsvNode* node = TakeNode(list);
    DWORD status = kCsvStatusOk;
    for (DWORD field = 1;; ++field) {
      // Character limits: a field of more than twice its limit in bytes is too long in any code page.
      const FieldLayout* layout = SpecOf(field);
      const CountedWString text = Widen(bytes);
      if (tooLong || !(layout ? Fits(*layout, text) : text.size() <= kExtraFieldLimit)) {
        status = kCsvStatusFieldTooLong;
      } else if (layout && !Store(node->record, *layout, text)) {
        status = kCsvStatusNoMemory;
      }
      if (status != kCsvStatusOk || ends != Ends::kComma) break;
      const DWORD limit = field < kCsvFieldCount ? kFields[field].limit : kExtraFieldLimit;
      ends = ReadField(*reader, lead, 2 * static_cast<size_t>(limit), bytes, &tooLong);
    }
    if (reader->failed()) status = kCsvStatusReadFailed;
    if (status != kCsvStatusOk) {
      GiveBack(list, node);
      return status;
    }
    LinkBefore(list, node, nullptr);
    node->record->number = list->count;
    if (ends == Ends::kFile) return kCsvStatusOk;
  }
}

// --- writing ------------------------------------------------------------------------------------

bool RefusesSave(DWORD loadStatus) { return loadStatus != kCsvStatusOk && loadStatus != kCsvStatusNotFound; }

// A field's text in the code page; ',', CR and LF become blanks so a value never adds fields or records.
void AppendAnsi(CountedString& out, const WCHAR* text) {
  CountedWString safe(text);
  for (WCHAR& c : safe)
    if (c == WCH(',') || c == WCH('\r') || c == WCH('\n')) c = WCH(' ');
  if (safe.empty()) return;
  const int bytes = WideCharToMultiByte(CP_ACP, 0, safe.data(), static_cast<int>(safe.size()), nullptr, 0, nullptr,
                                        nullptr);
  if (bytes <= 0) return;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_ACP, 0, safe.data(), static_cast<int>(safe.size()), out.data() + at, bytes, nullptr,
                      nullptr);
}

bool WriteAll(HANDLE file, const CountedString& bytes) {
  DWORD written = 0;
  return bytes.empty() ||
         (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
}

// Writes the ring into a new, unshared file; 0 or the system error.
DWORD WriteRecords(const CsvList* list, const WCHAR* path) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  CountedString out;
  bool ok = true;
  const CsvNode* node = list->head;
  for (DWORD i = 0; ok && i < list->count; ++i, node = node->next) {
    for (DWORD field = 1; field <= kCsvFieldCount; ++field) {
      AppendAnsi(out, CsvFieldText(node->record, field));
      out += field < kCsvFieldCount ? "," : "\r\n";
    }
    if (out.size() >= kReadChunk) {
      ok = WriteAll(file, out);
      out.clear();
    }
  }
  ok = ok && WriteAll(file, out) && FlushFileBuffers(file);
  const DWORD error = ok ? 0 : GetLastError();
  CloseHandle(file);
  return ok ? 0 : (error ? error : ERROR_WRITE_FAULT);
}

}  // namespace

DWORD CsvFieldLimit(DWORD field) {
  const FieldLayout* layout = SpecOf(field);
  return layout ? layout->limit : 0;
}

const WCHAR* CsvFieldText(const CsvRecord* record, DWORD field) {
  const FieldLayout* layout = SpecOf(field);
  if (!record || !layout) return WSTR("");
  auto* r = const_cast<CsvRecord*>(record);
  if (!layout->list) return FixedField(r, *layout);
  const WCHAR* text = *ListField(r, *layout);
  return text ? text : WSTR("");
}

BOOL CsvLoadList(const WCHAR* path, CsvList** list, DWORD* status) {
  if (!list || !status) return FALSE;
  *list = nullptr;
  auto* store = static_cast<CsvList*>(SysAlloc(sizeof(CsvList)));
  if (store) {
    store->records = static_cast<CsvRecord*>(SysAlloc(kCsvMaxRecords * sizeof(CsvRecord)));
    store->pool = static_cast<CsvNode*>(SysAlloc(kCsvMaxRecords * sizeof(CsvNode)));
  }
  if (!store || !store->records || !store->pool) {
    CsvFreeList(store);
    *status = kCsvStatusNoMemory;
    return FALSE;
  }
  for (DWORD i = kCsvMaxRecords; i-- > 0;) {
    store->pool[i].record = &store->records[i];
    store->pool[i].next = store->freeNodes;
    store->freeNodes = &store->pool[i];
  }
  DWORD result = kCsvStatusReadFailed;
  HANDLE file = path ? CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                     : INVALID_HANDLE_VALUE;
  if (file == INVALID_HANDLE_VALUE) {
    if (path) result = OpenStatus(GetLastError());
  } else {
    try {
      result = ReadRecords(store, file);
    } catch (const std::bad_alloc&) {
      result = kCsvStatusNoMemory;
    }
    CloseHandle(file);
  }
  if (result == kCsvStatusNoMemory) {
    CsvFreeList(store);
    *status = kCsvStatusNoMemory;
    return FALSE;
  }
  if (result == kCsvStatusReadFailed) EmptyRing(store);
  store->loadStatus = store->status = *status = result;
  *list = store;
  return TRUE;
}

BOOL CsvSaveList(CsvList* list, const WCHAR* path) {
  if (!list || !path) return FALSE;
  if (RefusesSave(list->loadStatus)) {
    list->status = list->loadStatus;
    return FALSE;
  }
  const WStringView whole(path);
  const size_t slash = whole.rfind(WCH('\\'));
  WCHAR temp[MAX_PATH];
  BOOL named = FALSE;
  try {
    const CountedWString folder(slash == WStringView::npos ? WSTR(".") : whole.substr(0, slash));
    named = GetTempFileNameW(folder.c_str(), WSTR("csv"), 0, temp);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (!named) {
    list->status = GetLastError();
    return FALSE;
  }
  DWORD error = 0;
  try {
    error = WriteRecords(list, temp);
  } catch (const std::bad_alloc&) {
    error = ERROR_NOT_ENOUGH_MEMORY;
  }
  if (error == 0 && !MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = GetLastError();
  if (error) {
    DeleteFileW(temp);
    list->status = error;
    SetLastError(error);
    return FALSE;
  }
  list->status = kCsvStatusOk;
  return TRUE;
}

void CsvFreeList(CsvList* list) {
  if (!list) return;
  if (list->records) {
    for (DWORD i = 0; i < kCsvMaxRecords; ++i) FreeListFields(&list->records[i]);
  }
  SysFree(list->records);
  SysFree(list->pool);
  SysFree(list);
}

CsvRecord* CsvAddRecord(CsvList* list, DWORD before, DWORD counting) {
  if (!list) return nullptr;
  CsvNode* node = TakeNode(list);
  if (!node) return nullptr;
  CsvNode* at = before ? NthNode(list, before, counting == kCsvCountNamed) : nullptr;
  LinkBefore(list, node, at);
  Renumber(list);
  return node->record;
}

BOOL CsvRemoveRecord(CsvList* list, DWORD named) {
  CsvNode* node = list && named ? NthNode(list, named, true) : nullptr;
  if (!node) return FALSE;
  Unlink(list, node);
  GiveBack(list, node);
  Renumber(list);
  return TRUE;
}

CsvRecord* CsvFindNamed(const CsvList* list, DWORD named) {
  CsvNode* node = list && named ? NthNode(list, named, true) : nullptr;
  return node ? node->record : nullptr;
}

BOOL CsvSetField(CsvList* list, CsvRecord* record, DWORD field, const WCHAR* text) {
  const FieldLayout* layout = SpecOf(field);
  if (!list || !record || !layout) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const WStringView value(text ? text : WSTR(""));
  if (!Fits(*layout, value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const bool wasNamed = IsNamed(record);
  if (!Store(record, *layout, value)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  if (wasNamed && !IsNamed(record)) ++list->unnamedCount;
  if (!wasNamed && IsNamed(record)) --list->unnamedCount;
  return TRUE;
}

BOOL CsvSetListValues(CsvList* list, CsvRecord* record, DWORD field, const WCHAR* const* values, DWORD count) {
  const FieldLayout* layout = SpecOf(field);
  if (!layout || !layout->list || (count && !values) || count > kCsvMaxListValues) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  CountedWString joined;
  try {
    for (DWORD i = 0; i < count; ++i) {
      CountedWString value(values[i] ? values[i] : WSTR(""));
      for (WCHAR& c : value)
        if (c == kCsvValueSeparator) c = WCH(' ');
      if (i) joined += kCsvValueSeparator;
      joined += value;
    }
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return CsvSetField(list, record, field, joined.c_str());
}
