#include "core/memory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/winerror.h"

namespace velm::platform {
namespace {

// Every block carries this header, so sizes are known and handles can be told from pointers.
constexpr uint32_t kDataMagic = 0x4B4C4256;    // the caller's bytes
constexpr uint32_t kHandleMagic = 0x444E4856;  // a moveable object's handle record
struct alignas(16) BlockHeader {
  uint32_t magic;
  uint32_t reserved;
  size_t size;  // bytes the caller asked for
  void* owner;  // the handle record of a moveable object's data, else null
};
static_assert(sizeof(BlockHeader) % 16 == 0);
constexpr size_t kMaxBlock = (SIZE_MAX >> 1) - sizeof(BlockHeader);

struct HandleRecord {
  void* data;
  std::atomic<uint32_t> locks;
};

std::atomic<uint64_t> g_allocations{0};
std::atomic<uint64_t> g_live{0};
std::atomic<uint64_t> g_faultAt{0};  // absolute allocation number that fails, 0 for none

// Counts one allocating call; false when it is the one chosen to fail. Each call draws its own
// number, so exactly one call fails even when threads race.
bool TakeAllocation() {
  const uint64_t n = g_allocations.fetch_add(1, std::memory_order_relaxed) + 1;
  uint64_t target = n;
  return !g_faultAt.compare_exchange_strong(target, 0);
}

BlockHeader* HeaderOf(const void* payload) {
  return reinterpret_cast<BlockHeader*>(const_cast<void*>(payload)) - 1;
}

void* RawAlloc(uint32_t magic, size_t bytes, bool zero) {
  if (bytes > kMaxBlock) return nullptr;
  void* raw = zero ? std::calloc(1, sizeof(BlockHeader) + bytes) : std::malloc(sizeof(BlockHeader) + bytes);
  if (!raw) return nullptr;
  BlockHeader* header = new (raw) BlockHeader{magic, 0, bytes, nullptr};
  return header + 1;
}

void RawFree(void* payload) {
  BlockHeader* header = HeaderOf(payload);
  header->magic = 0;
  std::free(header);
}

void* Fail(DWORD error) {
  SetLastError(error);
  return nullptr;
}

// What a handle or pointer names: the data block and, for a moveable object, its handle record.
struct Object {
  void* data = nullptr;
  HandleRecord* record = nullptr;
  explicit operator bool() const { return data != nullptr; }
  void* Handle() const { return record ? static_cast<void*>(record) : data; }
};

// Resolves a handle, or the data pointer of a block, to its object. Anything that is not one
// of ours (wrong alignment or header) resolves to nothing.
Object Resolve(const void* mem) {
  if (!mem || reinterpret_cast<uintptr_t>(mem) % alignof(BlockHeader) != 0) return {};
  const BlockHeader* header = HeaderOf(mem);
  if (header->magic == kHandleMagic) {
    auto* record = static_cast<HandleRecord*>(const_cast<void*>(mem));
    return {record->data, record};
  }
  if (header->magic == kDataMagic)
    return {const_cast<void*>(mem), static_cast<HandleRecord*>(header->owner)};
  return {};
}

void* AllocObject(bool moveable, size_t bytes, bool zero) {
  if (!TakeAllocation()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  void* data = RawAlloc(kDataMagic, bytes, zero);
  if (!data) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  if (!moveable) {
    g_live.fetch_add(1, std::memory_order_relaxed);
    return data;
  }
  void* raw = RawAlloc(kHandleMagic, sizeof(HandleRecord), true);
  if (!raw) {
    RawFree(data);
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  auto* record = new (raw) HandleRecord{data, {0}};
  HeaderOf(data)->owner = record;
  g_live.fetch_add(1, std::memory_order_relaxed);
  return record;
}

void FreeObject(const Object& object) {
  RawFree(object.data);
  if (object.record) {
    object.record->~HandleRecord();
    RawFree(object.record);
  }
  g_live.fetch_sub(1, std::memory_order_relaxed);
}

// Gives the object `bytes` of data, keeping what fits; returns the object's (possibly new)
// handle. A block that may not move can only shrink, which it does where it stands.
void* ReallocObject(Object object, size_t bytes, bool zero, bool mayMove) {
  BlockHeader* header = HeaderOf(object.data);
  const size_t old = header->size;
  if (!mayMove) {
    if (bytes > old) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    header->size = bytes;
    return object.Handle();
  }
  if (!TakeAllocation()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  void* data = RawAlloc(kDataMagic, bytes, false);
  if (!data) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  std::memcpy(data, object.data, old < bytes ? old : bytes);
  if (zero && bytes > old) std::memset(static_cast<char*>(data) + old, 0, bytes - old);
  HeaderOf(data)->owner = object.record;
  RawFree(object.data);
  if (!object.record) return data;
  object.record->data = data;
  return object.record;
}

HANDLE MemAlloc(UINT flags, SIZE_T bytes, UINT validFlags) {
  if (flags & ~validFlags) return Fail(ERROR_INVALID_PARAMETER);
  return AllocObject((flags & GMEM_MOVEABLE) != 0, bytes, (flags & GMEM_ZEROINIT) != 0);
}

HANDLE MemReAlloc(HANDLE mem, SIZE_T bytes, UINT flags, UINT validFlags) {
  if (flags & ~(validFlags | GMEM_MODIFY)) return Fail(ERROR_INVALID_PARAMETER);
  const Object object = Resolve(mem);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  if (flags & GMEM_MODIFY) {
    // Only the attributes change; turning a fixed block moveable gives it a handle of its own.
    if (!(flags & GMEM_MOVEABLE) || object.record) return object.Handle();
    if (!TakeAllocation()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    void* raw = RawAlloc(kHandleMagic, sizeof(HandleRecord), true);
    if (!raw) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    auto* record = new (raw) HandleRecord{object.data, {0}};
    HeaderOf(object.data)->owner = record;
    return record;
  }
  const bool locked = object.record && object.record->locks.load() > 0;
  return ReallocObject(object, bytes, (flags & GMEM_ZEROINIT) != 0, !locked || (flags & GMEM_MOVEABLE));
}

HANDLE MemFree(HANDLE mem) {
  if (!mem) return nullptr;
  const Object object = Resolve(mem);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return mem;
  }
  FreeObject(object);
  return nullptr;
}

SIZE_T MemSize(HANDLE mem) {
  const Object object = Resolve(mem);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return HeaderOf(object.data)->size;
}

LPVOID MemLock(HANDLE mem) {
  const Object object = Resolve(mem);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  if (object.record) object.record->locks.fetch_add(1);
  return object.data;
}

BOOL MemUnlock(HANDLE mem) {
  const Object object = Resolve(mem);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!object.record) return TRUE;  // fixed blocks are never locked
  uint32_t locks = object.record->locks.load();
  do {
    if (locks == 0) {
      SetLastError(ERROR_NOT_LOCKED);
      return FALSE;
    }
  } while (!object.record->locks.compare_exchange_weak(locks, locks - 1));
  if (locks - 1 > 0) return TRUE;
  SetLastError(NO_ERROR);
  return FALSE;
}

HANDLE MemHandle(LPCVOID pointer) {
  const Object object = Resolve(pointer);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  return object.Handle();
}

int g_processHeap;

bool IsProcessHeap(HANDLE heap) { return heap == &g_processHeap; }

// Heap and COM blocks are fixed blocks of the same allocator.
Object ResolveFixed(LPCVOID mem) {
  const Object object = Resolve(mem);
  return object && !object.record && object.data == mem ? object : Object{};
}

}  // namespace

void SetAllocationFault(uint64_t nth) {
  g_faultAt.store(nth == 0 ? 0 : g_allocations.load() + nth);
}

uint64_t AllocationCount() { return g_allocations.load(); }

uint64_t LiveAllocationCount() { return g_live.load(); }

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) { return MemAlloc(flags, bytes, GMEM_VALID_FLAGS); }
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) { return MemReAlloc(mem, bytes, flags, GMEM_VALID_FLAGS); }
HGLOBAL GlobalFree(HGLOBAL mem) { return MemFree(mem); }
SIZE_T GlobalSize(HGLOBAL mem) { return MemSize(mem); }
LPVOID GlobalLock(HGLOBAL mem) { return MemLock(mem); }
BOOL GlobalUnlock(HGLOBAL mem) { return MemUnlock(mem); }
HGLOBAL GlobalHandle(LPCVOID pointer) { return MemHandle(pointer); }

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) { return MemAlloc(flags, bytes, LMEM_VALID_FLAGS); }
HLOCAL LocalReAlloc(HLOCAL mem, SIZE_T bytes, UINT flags) { return MemReAlloc(mem, bytes, flags, LMEM_VALID_FLAGS); }
HLOCAL LocalFree(HLOCAL mem) { return MemFree(mem); }
SIZE_T LocalSize(HLOCAL mem) { return MemSize(mem); }
LPVOID LocalLock(HLOCAL mem) { return MemLock(mem); }
BOOL LocalUnlock(HLOCAL mem) { return MemUnlock(mem); }
HLOCAL LocalHandle(LPCVOID pointer) { return MemHandle(pointer); }

HANDLE GetProcessHeap(void) { return &g_processHeap; }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  if (!IsProcessHeap(heap)) return Fail(ERROR_INVALID_HANDLE);
  return AllocObject(false, bytes, (flags & HEAP_ZERO_MEMORY) != 0);
}

LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID mem, SIZE_T bytes) {
  if (!IsProcessHeap(heap)) return Fail(ERROR_INVALID_HANDLE);
  const Object object = ResolveFixed(mem);
  if (!object) return Fail(ERROR_INVALID_PARAMETER);
  return ReallocObject(object, bytes, (flags & HEAP_ZERO_MEMORY) != 0, !(flags & HEAP_REALLOC_IN_PLACE_ONLY));
}

BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID mem) {
  if (!IsProcessHeap(heap)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!mem) return TRUE;
  const Object object = ResolveFixed(mem);
  if (!object) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  FreeObject(object);
  return TRUE;
}

SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID mem) {
  const Object object = IsProcessHeap(heap) ? ResolveFixed(mem) : Object{};
  if (!object) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<SIZE_T>(-1);
  }
  return HeaderOf(object.data)->size;
}

LPVOID CoTaskMemAlloc(SIZE_T bytes) { return AllocObject(false, bytes, false); }

LPVOID CoTaskMemRealloc(LPVOID mem, SIZE_T bytes) {
  if (!mem) return CoTaskMemAlloc(bytes);
  const Object object = ResolveFixed(mem);
  if (!object) return Fail(ERROR_INVALID_PARAMETER);
  if (bytes == 0) {
    FreeObject(object);
    return nullptr;
  }
  return ReallocObject(object, bytes, false, true);
}

void CoTaskMemFree(LPVOID mem) {
  if (const Object object = ResolveFixed(mem)) FreeObject(object);
}

}  // extern "C"
