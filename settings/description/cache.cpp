#include "settings/description/cache.h"

#include <mutex>

#include "settings/context/open_steps.h"
#include "settings/description/compiler.h"
#include "settings/description/completeness.h"
#include "settings/description/parser.h"
#include "settings/persistence/file_primitives.h"
#include "settings/context/locks.h"
#include "settings/context/memory.h"
#include "settings/services/spooler_info.h"

namespace {

// ---- The process list ---------------------------------------------------------------------

struct DescCacheEntry {
  DescCacheEntry* next;
  ModelDescription* description;
  WCHAR* path;  // full path of the description file
};

// The settings mutex serialises loads; this lock keeps the list whole for a caller that says it
// holds the mutex without doing so, and for the detach.
std::mutex g_listLock;
DescCacheEntry* g_head = nullptr;
DescCacheEntry* g_tail = nullptr;
DWORD g_count = 0;

ModelDescription* ListFind(const WCHAR* path) {
  std::lock_guard guard(g_listLock);
  for (DescCacheEntry* entry = g_head; entry; entry = entry->next) {
    if (_wcsicmp(entry->path, path) == 0) return entry->description;
  }
  return nullptr;
}

// Adds `description` under `path`, or, when another thread added that path meanwhile, frees it
// and answers the one in the list. Null (the description freed) when memory runs out.
ModelDescription* ListAdd(const WCHAR* path, ModelDescription* description) {
  std::lock_guard guard(g_listLock);
  for (DescCacheEntry* entry = g_head; entry; entry = entry->next) {
    if (_wcsicmp(entry->path, path) == 0) {
      DescFreeImage(description);
      return entry->description;
    }
  }
  const size_t chars = wcslen(path) + 1;
  auto* entry = static_cast<DescCacheEntry*>(SysAlloc(sizeof(DescCacheEntry)));
  WCHAR* copy = entry ? static_cast<WCHAR*>(SysAlloc(chars * sizeof(WCHAR))) : nullptr;
  if (!copy) {
    SysFree(entry);
    DescFreeImage(description);
    return nullptr;
  }
  wcscpy(copy, path);
  *entry = DescCacheEntry{nullptr, description, copy};
  (g_tail ? g_tail->next : g_head) = entry;
  g_tail = entry;
  ++g_count;
  return description;
}

// ---- Files ------------------------------------------------------------------------------

// Whether `path` is a drive path in the form GetFullPathNameW gives back (up to case): no '/',
// and no component that is empty, "." or "..", or ends with '.' or a blank.
bool IsFullPath(const WCHAR* path) {
  if (!PathIsAbsolute(path) || path[0] == WCH('\\')) return false;
  for (const WCHAR* component = path + 3;;) {
    const WCHAR* end = component;
    while (*end && *end != WCH('\\') && *end != WCH('/')) ++end;
    if (*end == WCH('/') || end == component || end[-1] == WCH('.') || end[-1] == WCH(' ')) return false;
    if (!*end) return true;
    component = end + 1;
  }
}

// The full path of `path` into `full`: the path itself when it is full already (the file system
// need not be asked), else GetFullPathNameW's. False when it has none or it does not fit
// MAX_PATH, as no path of the driver does.
bool FullPath(LPCWSTR path, WCHAR (&full)[MAX_PATH]) {
  if (IsFullPath(path)) {
    if (wcslen(path) >= MAX_PATH) return false;
    wcscpy(full, path);
    return true;
  }
  const DWORD length = GetFullPathNameW(path, MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH;
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  void Close() {
    if (ok()) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE h_;
};

HANDLE OpenForReading(LPCWSTR path) {
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

ULONGLONG TimeValue(const FILETIME& time) { return (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

// The size and last-write time of an open file.
bool StampOf(HANDLE file, DescSourceStamp* stamp) {
  LARGE_INTEGER size{};
  FILETIME written{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 || !GetFileTime(file, nullptr, nullptr, &written)) return false;
  stamp->size = ULONGLONG(size.QuadPart);
  stamp->lastWrite = TimeValue(written);
  return true;
}

bool SameVersion(const WCHAR* a, const WCHAR* b) { return a && b && _wcsicmp(a, b) == 0; }

const WCHAR* DefaultsVersion(const DriverContext* context) {
  const WCHAR* version = ContextModelDefaults(context).descriptionVersion;
  return version ? version : WSTR("");
}

// Writes the block to a temporary file beside the cache file and renames it over it, so that a
// reader finds the old file, the new one, or none, never a part.
bool WriteCacheFile(const WCHAR* cachePath, const ModelDescription* description) {
  const size_t folderLength = size_t(PathGetFileName(cachePath) - cachePath);
  WCHAR folder[MAX_PATH];
  WCHAR temp[MAX_PATH];
  if (folderLength < 2 || folderLength > MAX_PATH) return false;
  wcsncpy(folder, cachePath, folderLength - 1);  // without the final backslash
  folder[folderLength - 1] = 0;
  if (!GetTempFileNameW(folder, WSTR("bcs"), 0, temp)) return false;
  FileHandle file(CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  bool ok = file.ok() && PathWriteWhole(file.get(), description->bytes, description->size) >= 0 &&
            FlushFileBuffers(file.get());
  file.Close();
  ok = ok && MoveFileExW(temp, cachePath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temp);
  return ok;
}

// The cache file's block when every check passes, else null; a cache file that was read and
// failed a check is deleted. The stamp ties the block to this very description file, so the
// block's version text is the description's `*FileVersion`: it must be the model defaults'.
ModelDescription* ReadCacheFile(const WCHAR* path, const WCHAR* cachePath, const DriverContext* context) {
  FileHandle source(OpenForReading(path));
  FileHandle cache(source.ok() ? OpenForReading(cachePath) : INVALID_HANDLE_VALUE);
  DescSourceStamp stamp{};
  FILETIME cacheTime{};
  LARGE_INTEGER cacheSize{};
  if (!cache.ok() || !StampOf(source.get(), &stamp) || !GetFileTime(cache.get(), nullptr, nullptr, &cacheTime) ||
      !GetFileSizeEx(cache.get(), &cacheSize))
    return nullptr;
  source.Close();

  BYTE* bytes = nullptr;
  const ULONGLONG size = ULONGLONG(cacheSize.QuadPart);
  bool usable = TimeValue(cacheTime) >= stamp.lastWrite && size > kDescFirstPartOffset && size <= kDescMaxImageBytes;
  if (usable) {
    bytes = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED, SIZE_T(size)));
    if (!bytes || PathReadWhole(cache.get(), bytes, DWORD(size)) < 0) {
      GlobalFree(bytes);  // memory or the disk failed us, not the file: leave it
      return nullptr;
    }
  }
  cache.Close();
  usable = usable && DescLoadU32(bytes + kDescOffImageSize) == size &&
           DescLoadU32(bytes + kDescOffStampMagic) == kDescStampMagic &&
           DescLoadU32(bytes + kDescOffStampLayout) == kDescLayoutVersion &&
           DescLoadU64(bytes + kDescOffStampSymbols) == DescSymbolTablesHash() &&
           DescLoadU64(bytes + kDescOffStampSourceSize) == stamp.size &&
           DescLoadU64(bytes + kDescOffStampSourceTime) == stamp.lastWrite &&
           DescLoadU64(bytes + kDescOffStampChecksum) == DescImageChecksum(bytes, DWORD(size)) &&
           DescValidateImage(bytes, DWORD(size)) &&
           SameVersion(reinterpret_cast<const WCHAR*>(bytes + kDescOffVersion), DefaultsVersion(context));
  if (!usable) {
    GlobalFree(bytes);
    DeleteFileW(cachePath);
    return nullptr;
  }
  return DescAdoptImage(bytes, DWORD(size));
}

}  // namespace

// ---- Names ------------------------------------------------------------------------------------

BOOL DescCacheFileName(LPCWSTR path, LPWSTR buffer, DWORD capacity) {
  if (!buffer || capacity == 0) return FALSE;
  buffer[0] = 0;
  if (!path) return FALSE;
  const size_t length = wcslen(path);
  DWORD extensionLength = 0;
  const WCHAR* extension = PathGetExtension(path, &extensionLength);
  // Up to and with the name's last '.', or the whole path and a '.'.
  const size_t keep = extension ? size_t(extension - path) : length;
  const size_t total = keep + (extension ? 0 : 1) + 3;
  if (total + 1 > capacity) return FALSE;
  wcsncpy(buffer, path, keep);
  buffer[keep] = 0;
  wcscat(buffer, extension ? WSTR("BCS") : WSTR(".BCS"));
  return TRUE;
}

// ---- Loading -----------------------------------------------------------------------------------

ModelDescription* DescCompile(const DriverContext* context, LPCWSTR path, BOOL mayWrite) {
  DescSourceStamp stamp{};
  {
    // The stamp is taken before the parse: a file changed meanwhile leaves a stamp that no longer
    // matches, so the next load compiles again.
    FileHandle source(path ? OpenForReading(path) : INVALID_HANDLE_VALUE);
    if (!source.ok() || !StampOf(source.get(), &stamp)) return nullptr;
  }
  DescParseResult* result = DescParseFile(path);
  if (!result) return nullptr;
  // A statement lost to a lack of memory would leave a description that is not the file's, in
  // this process and, through the cache file, in every other: none is better. So would one
  // that lacks what a job needs (DescCheckFile reports what).
  const bool whole = result->outOfMemoryCount == 0 && DescMissingParts(result) == 0;
  ModelDescription* description = whole ? DescBuildImage(result, stamp) : nullptr;
  DescFreeParseResult(result);
  if (!whole) SetLastError(ERROR_INVALID_DATA);
  if (description && mayWrite && SameVersion(DefaultsVersion(context), DescImageVersion(description))) {
    WCHAR cachePath[MAX_PATH];
    if (DescCacheFileName(path, cachePath, MAX_PATH)) WriteCacheFile(cachePath, description);
  }
  return description;
}

ModelDescription* DescLoadFile(LPCWSTR path, const DriverContext* context, DescOrigin* origin) {
  if (origin) *origin = DescOrigin::kNone;
  if (!path || !path[0]) return nullptr;
  WCHAR full[MAX_PATH];
  WCHAR cachePath[MAX_PATH];
  if (!FullPath(path, full) || !DescCacheFileName(full, cachePath, MAX_PATH)) return nullptr;

  // A description already loaded needs neither the settings mutex nor the files.
  DescOrigin from = DescOrigin::kProcessList;
  ModelDescription* description = ListFind(full);
  if (!description) {
    const BOOL locked = SysLockGlobalMutex(context);
    description = ListFind(full);  // another thread may have loaded it meanwhile
    if (!description) {
      description = ReadCacheFile(full, cachePath, context);
      from = DescOrigin::kCacheFile;
      if (!description) {
        description = DescCompile(context, full, TRUE);
        from = DescOrigin::kCompiled;
      }
      if (description) description = ListAdd(full, description);
    }
    if (locked) SysUnlockGlobalMutex(context);
  }
  if (origin && description) *origin = from;
  return description;
}

BOOL DescLoad(DriverContext* context) {
  if (!context) return FALSE;
  context->description = nullptr;
  auto* info = static_cast<DRIVER_INFO_2W*>(PrnGetDriverInfo(context->printer, 2));
  // The description is the process's; a context only borrows it.
  context->description = info ? DescLoadFile(info->pDataFile, context) : nullptr;
  SysFree(info);
  return context->description != nullptr;
}

void DescRelease(DriverContext* context) {
  if (context) context->description = nullptr;
}

void DescFreeAll() {
  std::lock_guard guard(g_listLock);
  for (DescCacheEntry* entry = g_head; entry;) {
    DescCacheEntry* next = entry->next;
    DescFreeImage(entry->description);
    SysFree(entry->path);
    SysFree(entry);
    entry = next;
  }
  g_head = g_tail = nullptr;
  g_count = 0;
}

DWORD DescLoadedCount() {
  std::lock_guard guard(g_listLock);
  return g_count;
}
