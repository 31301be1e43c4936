#include "settings/context_open_steps.h"

#include <atomic>

// The steps live with the parts that own them: DescLoad and DescRelease with the description
// cache (description_cache.cpp), CondAllocStack and CondFreeStack with the constraint evaluator
// (constraint_eval.cpp), DmBuildForContext with the record's construction (record_build.cpp),
// DmCopyDeviceConfig with the device configuration (device_config.cpp), CfgLoadOnOpen with option
// persistence (option_persistence.cpp), CfgFreeFontBlobs with the font lists (font_lists.cpp),
// ResFreeDlls with the resource strings (resource_strings.cpp) and LstPresetSlots with the user
// lists (user_lists_presets.cpp).

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
