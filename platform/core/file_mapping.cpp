// File mapping: mapping objects over open files or zeroed memory, and the views of them.
#include <cerrno>
#include <map>
#include <mutex>
#include <utility>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/files_internal.h"
#include "core/winerror.h"

namespace velm::platform {

namespace {

constexpr uint64_t kAllocationGranularity = 64 * 1024;

class MappingObject : public KernelObject {
 public:
  ~MappingObject() override {
    if (memoryFd >= 0) ::close(memoryFd);
  }
  int fd() const { return file ? file->fd : memoryFd; }

  std::shared_ptr<FileObject> file;  // keeps the file open (and its sharing) while the mapping lives
  int memoryFd = -1;                 // zeroed memory when there is no file
  uint64_t size = 0;
  DWORD protect = 0;
};

struct View {
  size_t length;
  std::shared_ptr<MappingObject> mapping;
};

std::mutex g_mappingMutex;
std::map<std::u16string, std::weak_ptr<MappingObject>> g_names;
std::map<uintptr_t, View> g_views;
std::map<std::pair<dev_t, ino_t>, int> g_mappedFiles;

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return nullptr;
}

// A new handle to the live mapping of that name (with ERROR_ALREADY_EXISTS), else null.
HANDLE OpenNamedMapping(LPCWSTR name) {
  if (!name) return nullptr;
  std::shared_ptr<MappingObject> existing;
  {
    std::lock_guard lock(g_mappingMutex);
    const auto it = g_names.find(name);
    if (it != g_names.end()) existing = it->second.lock();
  }
  if (!existing) return nullptr;
  HANDLE handle = RegisterHandle(std::move(existing));
  SetLastError(ERROR_ALREADY_EXISTS);
  return handle;
}

}  // namespace

void NoteMappedView(dev_t device, ino_t inode, int delta) {
  std::lock_guard lock(g_mappingMutex);
  int& count = g_mappedFiles[{device, inode}];
  count += delta;
  if (count <= 0) g_mappedFiles.erase({device, inode});
}

bool HasMappedViews(dev_t device, ino_t inode) {
  std::lock_guard lock(g_mappingMutex);
  return g_mappedFiles.count({device, inode}) != 0;
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

HANDLE CreateFileMappingW(HANDLE fileHandle, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name) {
  const DWORD page = protect & 0xFF;
  if ((protect & ~(0xFFu | SEC_COMMIT)) ||
      (page != PAGE_READONLY && page != PAGE_READWRITE && page != PAGE_WRITECOPY))
    return Fail(ERROR_INVALID_PARAMETER);
  uint64_t size = (static_cast<uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;

  if (HANDLE existing = OpenNamedMapping(name)) return existing;

  auto mapping = std::make_shared<MappingObject>();
  mapping->protect = page;
  if (fileHandle == INVALID_HANDLE_VALUE) {
    if (size == 0) return Fail(ERROR_INVALID_PARAMETER);
    mapping->memoryFd = ::memfd_create("velm-mapping", MFD_CLOEXEC);
    if (mapping->memoryFd < 0 || ::ftruncate(mapping->memoryFd, static_cast<off_t>(size)) != 0)
      return Fail(ERROR_NOT_ENOUGH_MEMORY);
  } else {
    mapping->file = LookupFile(fileHandle);
    if (!mapping->file) return nullptr;
    if (mapping->file->directory || !(mapping->file->access & kAccessRead) ||
        (page == PAGE_READWRITE && !(mapping->file->access & kAccessWrite)))
      return Fail(ERROR_ACCESS_DENIED);
    struct stat st;
    if (::fstat(mapping->file->fd, &st) != 0) return Fail(ErrnoToError(errno));
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (size == 0) {
      if (fileSize == 0) return Fail(ERROR_FILE_INVALID);
      size = fileSize;
    } else if (size > fileSize) {
      // Only a writable mapping may grow its file; a read-only one past the end would map nothing.
      if (page != PAGE_READWRITE) return Fail(ERROR_NOT_ENOUGH_MEMORY);
      if (::ftruncate(mapping->file->fd, static_cast<off_t>(size)) != 0) return Fail(ErrnoToError(errno));
    }
  }
  mapping->size = size;

  if (name) {
    std::unique_lock lock(g_mappingMutex);
    std::erase_if(g_names, [](const auto& entry) { return entry.second.expired(); });
    if (g_names.count(name)) {
      // Another thread made the name meanwhile: the first one made wins.
      lock.unlock();
      if (HANDLE existing = OpenNamedMapping(name)) return existing;
      lock.lock();
    }
    g_names[name] = mapping;
  }
  HANDLE handle = RegisterHandle(std::move(mapping));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

LPVOID MapViewOfFile(HANDLE mappingHandle, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
  auto mapping = LookupHandleAs<MappingObject>(mappingHandle);
  if (!mapping) return Fail(ERROR_INVALID_HANDLE);
  const uint64_t offset = (static_cast<uint64_t>(offsetHigh) << 32) | offsetLow;
  if (offset % kAllocationGranularity) return Fail(ERROR_MAPPED_ALIGNMENT);
  if (offset >= mapping->size || bytes > mapping->size - offset) return Fail(ERROR_ACCESS_DENIED);
  const size_t length = bytes ? bytes : static_cast<size_t>(mapping->size - offset);

  // FILE_MAP_COPY alone asks for copy-on-write (its bit is also part of FILE_MAP_ALL_ACCESS).
  const bool copy = desiredAccess == FILE_MAP_COPY || ((desiredAccess & FILE_MAP_WRITE) && mapping->protect == PAGE_WRITECOPY);
  const bool write = (desiredAccess & FILE_MAP_WRITE) || copy;
  if (!(desiredAccess & (FILE_MAP_READ | FILE_MAP_WRITE | FILE_MAP_COPY))) return Fail(ERROR_INVALID_PARAMETER);
  if (write && mapping->protect == PAGE_READONLY) return Fail(ERROR_ACCESS_DENIED);

  void* address = ::mmap(nullptr, length, PROT_READ | (write ? PROT_WRITE : 0), copy ? MAP_PRIVATE : MAP_SHARED,
                         mapping->fd(), static_cast<off_t>(offset));
  if (address == MAP_FAILED) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  if (mapping->file) NoteMappedView(mapping->file->device, mapping->file->inode, 1);
  std::lock_guard lock(g_mappingMutex);
  g_views[reinterpret_cast<uintptr_t>(address)] = View{length, std::move(mapping)};
  return address;
}

BOOL UnmapViewOfFile(LPCVOID baseAddress) {
  View view;
  {
    std::lock_guard lock(g_mappingMutex);
    const auto it = g_views.find(reinterpret_cast<uintptr_t>(baseAddress));
    if (it == g_views.end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    view = std::move(it->second);
    g_views.erase(it);
  }
  ::munmap(const_cast<void*>(baseAddress), view.length);
  if (view.mapping->file) NoteMappedView(view.mapping->file->device, view.mapping->file->inode, -1);
  return TRUE;
}

BOOL FlushViewOfFile(LPCVOID baseAddress, SIZE_T bytes) {
  const auto at = reinterpret_cast<uintptr_t>(baseAddress);
  uintptr_t start = 0;
  size_t length = 0;
  {
    std::lock_guard lock(g_mappingMutex);
    auto it = g_views.upper_bound(at);
    if (it == g_views.begin() || at >= std::prev(it)->first + std::prev(it)->second.length) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    --it;
    const uintptr_t end = it->first + it->second.length;
    const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    start = at & ~(page - 1);
    length = (bytes == 0 || bytes > end - at ? end : at + bytes) - start;
  }
  if (::msync(reinterpret_cast<void*>(start), length, MS_SYNC) != 0) {
    SetLastError(ErrnoToError(errno));
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
