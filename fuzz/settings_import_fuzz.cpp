// libFuzzer target for settings-file imports (see settings_import_fuzz.h for the input's form).
//   build/fuzz/bin/fuzz_settings_import <new-inputs-folder> fuzz/corpus/settings_import -runs=1000000
#include "fuzz/settings_import_fuzz.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/machine_root.h"
#include "settings/context/open_steps.h"
#include "settings/context/process_state.h"
#include "settings/services/spooler_info.h"

namespace {

// No printer, so no description file: the open takes none.
const ContextOpenSteps kStepsWithoutDescription = [] {
  ContextOpenSteps steps = kContextOpenSteps;
  steps.descLoad = [](DriverContext*) -> BOOL { return TRUE; };
  return steps;
}();

// One context for the whole run, in a machine root of its own.
DriverContext* ImportContext() {
  static DriverContext* context = [] {
    const std::filesystem::path root = std::filesystem::temp_directory_path() / "velm-fuzz-settings-import";
    std::string error;
    if (!velm::platform::CreateMachineRoot(root, &error)) {
      std::fprintf(stderr, "machine root: %s\n", error.c_str());
      std::abort();
    }
    velm::platform::SetMachineRoot(root);
    SysLibraryAttach(nullptr);
    CtxSetOpenSteps(&kStepsWithoutDescription);
    DriverContext* c = CtxCreateEx(nullptr, 0, kKindNoDriverName, 0, 0, nullptr);
    if (!c) std::abort();
    lstrcpynW(c->work->printerName, velm::fuzz::kImportPrinterName, kNameChars);
    return c;
  }();
  return context;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure = velm::fuzz::CheckSettingsImport(ImportContext(), data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "settings import: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
