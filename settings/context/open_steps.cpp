#include "settings/context/open_steps.h"

#include <atomic>

// The steps live with the parts that own them: DescLoad and DescRelease with the description
// cache (description/cache.cpp), CondAllocStack and CondFreeStack with the constraint evaluator
// (constraints/eval.cpp), DmBuildForContext with the record's construction (devmode/record_build.cpp),
// DmCopyDeviceConfig with the device configuration (devmode/device_config.cpp), CfgLoadOnOpen with option
// persistence (persistence/options.cpp), CfgFreeFontBlobs with the font lists (persistence/font_lists.cpp),
// ResFreeDlls with the resource strings (services/resource_strings.cpp) and LstPresetSlots with the user
// lists (persistence/user_lists_presets.cpp).

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
