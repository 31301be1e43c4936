#include "settings/items/block_handles.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "settings/context/memory.h"

namespace {

// A handle is the slot's index + 1 in the low 20 bits and the slot's generation above, so a
// handle kept after its block was freed does not find the slot's next block.
constexpr DWORD kIndexBits = 20;
constexpr DWORD kIndexMask = (1u << kIndexBits) - 1;
constexpr DWORD kGenerationMask = (1u << (32 - kIndexBits)) - 1;
constexpr DWORD kFirstSlots = 16;
constexpr DWORD kNoSlot = ~DWORD{0};

// A free slot has no block and links the next free slot.
struct Slot {
  void* block;
  SIZE_T bytes;
  DWORD generation;
  DWORD nextFree;
};

// The slots are one block of the settings library's allocator, grown by doubling and given back
// when the last registered block is freed, so that a registry left empty holds no memory.
struct Registry {
  std::mutex lock;
  Slot* slots = nullptr;
  DWORD capacity = 0;  // slots allocated
  DWORD used = 0;      // slots ever handed out since the storage was allocated
  DWORD firstFree = kNoSlot;
  DWORD live = 0;
  DWORD freshGeneration = 0;  // the generation of a slot used for the first time
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

DWORD MakeHandle(DWORD index, DWORD generation) { return (generation << kIndexBits) | (index + 1); }

// The slot a handle names, or null. Called under the registry's lock.
Slot* FindSlot(Registry& registry, DWORD handle) {
  const DWORD index = (handle & kIndexMask);
  if (index == 0 || index > registry.used) return nullptr;
  Slot& slot = registry.slots[index - 1];
  if (!slot.block || slot.generation != (handle >> kIndexBits)) return nullptr;
  return &slot;
}

// An unused slot's index, growing the storage when none is free; kNoSlot when the storage cannot
// grow (the last error says why). Called under the registry's lock.
DWORD TakeSlot(Registry& registry) {
  if (registry.firstFree != kNoSlot) {
    const DWORD index = registry.firstFree;
    registry.firstFree = registry.slots[index].nextFree;
    return index;
  }
  if (registry.used == registry.capacity) {
    if (registry.capacity >= kIndexMask) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return kNoSlot;
    }
    const DWORD grown = registry.capacity == 0 ? kFirstSlots : std::min(registry.capacity * 2, kIndexMask);
    auto* slots = static_cast<Slot*>(SysAlloc(SIZE_T(grown) * sizeof(Slot)));
    if (!slots) return kNoSlot;
    if (registry.used > 0) std::memcpy(slots, registry.slots, SIZE_T(registry.used) * sizeof(Slot));
    SysFree(registry.slots);
    registry.slots = slots;
    registry.capacity = grown;
  }
  registry.slots[registry.used] = Slot{nullptr, 0, registry.freshGeneration, kNoSlot};
  return registry.used++;
}

// Gives the storage back once no block is registered; later slots start past every generation
// handed out, so an old handle finds nothing in the new storage.
void ReleaseIfEmpty(Registry& registry) {
  if (registry.live != 0 || !registry.slots) return;
  DWORD next = registry.freshGeneration;
  for (DWORD i = 0; i < registry.used; ++i) {
    if (((registry.slots[i].generation - registry.freshGeneration) & kGenerationMask) >
        ((next - registry.freshGeneration) & kGenerationMask)) {
      next = registry.slots[i].generation;
    }
  }
  SysFree(registry.slots);
  registry.slots = nullptr;
  registry.capacity = registry.used = 0;
  registry.firstFree = kNoSlot;
  registry.freshGeneration = (next + 1) & kGenerationMask;
}

}  // namespace

void* SysBlockAlloc(SIZE_T bytes, DWORD* handle) {
  if (handle) *handle = 0;
  if (!handle || bytes == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* block = SysAlloc(bytes);
  if (!block) return nullptr;
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  const DWORD index = TakeSlot(registry);
  if (index == kNoSlot) {
    SysFree(block);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Slot& slot = registry.slots[index];
  slot.block = block;
  slot.bytes = bytes;
  ++registry.live;
  *handle = MakeHandle(index, slot.generation);
  return block;
}

void* SysBlockGet(DWORD handle, SIZE_T* bytes) {
  if (bytes) *bytes = 0;
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  const Slot* slot = FindSlot(registry, handle);
  if (!slot) return nullptr;
  if (bytes) *bytes = slot->bytes;
  return slot->block;
}

void SysBlockFree(DWORD handle) {
  void* block = nullptr;
  {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    Slot* slot = FindSlot(registry, handle);
    if (!slot) return;
    block = slot->block;
    const DWORD index = static_cast<DWORD>(slot - registry.slots);
    *slot = Slot{nullptr, 0, (slot->generation + 1) & kGenerationMask, registry.firstFree};
    registry.firstFree = index;
    --registry.live;
    ReleaseIfEmpty(registry);
  }
  SysFree(block);
}

DWORD SysBlockCount() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  return registry.live;
}
