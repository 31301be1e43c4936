#include "settings/context_open_steps.h"

#include <atomic>

// Not built yet: see the header. None of them touches the context. DescLoad and DescRelease
// live with the description cache (description_cache.cpp), CondAllocStack and CondFreeStack with
// the constraint evaluator (constraint_eval.cpp), CfgLoadOnOpen with option persistence
// (option_persistence.cpp), CfgFreeFontBlobs with the font lists (font_lists.cpp), ResFreeDlls
// with the resource strings (resource_strings.cpp) and LstPresetSlots with the user lists
// (user_lists_presets.cpp).

BOOL DmBuildForContext(DriverContext*, int) { return TRUE; }

void DmCopyDeviceConfig(DriverContext*) {}


const ContextOpenSteps kContextOpenSteps = {
    DescLoad,          DescRelease,   CondAllocStack,   CondFreeStack,   DmBuildForContext,
    DmCopyDeviceConfig, CfgLoadOnOpen, CfgFreeFontBlobs, LstPresetSlots, ResFreeDlls,
};

namespace {
std::atomic<const ContextOpenSteps*> g_steps{&kContextOpenSteps};
}  // namespace

const ContextOpenSteps& CtxOpenSteps() { return *g_steps.load(std::memory_order_acquire); }

void CtxSetOpenSteps(const ContextOpenSteps* steps) {
  g_steps.store(steps ? steps : &kContextOpenSteps, std::memory_order_release);
}
