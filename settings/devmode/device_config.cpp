#include "settings/devmode/device_config.h"

#include <cstring>

#include "settings/context/open_steps.h"
#include "settings/items/settings_record.h"

namespace {

// Field by field, so that the devmode's own bytes in the gaps between them survive.
constexpr DmConfigField kFields[] = {
    {892, 1},   {893, 1},   {894, 9},   {904, 2},   {908, 4},   {912, 2},   {916, 4},   {920, 2},
    {924, 4},   {928, 2},   {932, 4},   {936, 4},   {940, 1},   {944, 24},  {968, 128}, {1096, 4},
    {1100, 16}, {1116, 16}, {1132, 9},  {1141, 33}, {1176, 4},  {1180, 2},  {1182, 2},  {1184, 57},
};

static_assert(kDmOffConfigCopy == 892);
constexpr size_t kLastField = sizeof kFields / sizeof kFields[0] - 1;
static_assert(kFields[kLastField].offset + kFields[kLastField].length == kDmOffEnvironment,
              "the copy ends where the environment bytes begin");

}  // namespace

const DmConfigField* DmGetDeviceConfigFields(int* count) {
  if (count) *count = static_cast<int>(kLastField + 1);
  return kFields;
}

void DmCopyDeviceConfig(DriverContext* context) {
  if (!context || !context->settings) return;
  SettingsRecord& record = *context->settings;
  for (const DmConfigField& field : kFields)
    std::memcpy(record.devmode.bytes + field.offset, record.config + (field.offset - kDmOffConfigCopy), field.length);
}
