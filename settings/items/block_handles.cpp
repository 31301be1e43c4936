#include "settings/items/block_handles.h"

#include <mutex>
#include <new>
#include <vector>

#include "settings/context/memory.h"

namespace {

// A handle is the slot's index + 1 in the low 20 bits and the slot's generation above, so a
// handle kept after its block was freed does not find the slot's next block.
constexpr DWORD kIndexBits = 20;
constexpr DWORD kIndexMask = (1u << kIndexBits) - 1;
constexpr DWORD kGenerationMask = (1u << (32 - kIndexBits)) - 1;

struct Slot {
  void* block = nullptr;
  SIZE_T bytes = 0;
  DWORD generation = 0;
};

struct Registry {
  std::mutex lock;
  std::vector<Slot> slots;
  std::vector<DWORD> freeSlots;
  DWORD live = 0;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

DWORD MakeHandle(DWORD index, DWORD generation) { return (generation << kIndexBits) | (index + 1); }

// The slot a handle names, or null. Called under the registry's lock.
Slot* FindSlot(Registry& registry, DWORD handle) {
  const DWORD index = (handle & kIndexMask);
  if (index == 0 || index > registry.slots.size()) return nullptr;
  Slot& slot = registry.slots[index - 1];
  if (!slot.block || slot.generation != (handle >> kIndexBits)) return nullptr;
  return &slot;
}

}  // namespace

void* SysBlockAlloc(SIZE_T bytes, DWORD* handle) {
  if (handle) *handle = 0;
  if (!handle || bytes == 0) return nullptr;
  void* block = SysAlloc(bytes);
  if (!block) return nullptr;
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  try {
    DWORD index;
    if (!registry.freeSlots.empty()) {
      index = registry.freeSlots.back();
      registry.freeSlots.pop_back();
    } else if (registry.slots.size() < kIndexMask) {
      registry.freeSlots.reserve(registry.slots.size() + 1);  // so that freeing never throws
      registry.slots.emplace_back();
      index = static_cast<DWORD>(registry.slots.size() - 1);
    } else {
      SysFree(block);
      return nullptr;
    }
    Slot& slot = registry.slots[index];
    slot.block = block;
    slot.bytes = bytes;
    ++registry.live;
    *handle = MakeHandle(index, slot.generation);
    return block;
  } catch (const std::bad_alloc&) {
    SysFree(block);
    return nullptr;
  }
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
    *slot = Slot{nullptr, 0, (slot->generation + 1) & kGenerationMask};
    registry.freeSlots.push_back(static_cast<DWORD>(slot - registry.slots.data()));
    --registry.live;
  }
  SysFree(block);
}

DWORD SysBlockCount() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  return registry.live;
}
