// The velm command: sets up a machine root and drives the driver on it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/unicode.h"
#include "machine_setup.h"

namespace {

namespace fs = std::filesystem;

int Usage() {
  std::fprintf(stderr,
               "usage: velm setup [ROOT] [--modules DIR] [--data DIR]\n"
               "  make a machine root (default: $VELM_ROOT) with the driver and \"Velm Printer\";\n"
               "  modules default to ../modules beside this program, data to ../data\n");
  return 2;
}

fs::path ProgramDir() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : self.parent_path();
}

int Setup(int argc, char** argv) {
  std::string root;
  velm::tools::InstallSources sources{ProgramDir() / ".." / "modules", ProgramDir() / ".." / "data"};
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--modules" || arg == "--data") && i + 1 < argc) {
      (arg == "--modules" ? sources.moduleDir : sources.dataDir) = argv[++i];
    } else if (!arg.starts_with("--") && root.empty()) {
      root = arg;
    } else {
      return Usage();
    }
  }
#ifdef VELM_SOURCE_DATA_DIR
  if (!fs::is_directory(sources.dataDir)) sources.dataDir = VELM_SOURCE_DATA_DIR;
#endif
  if (root.empty()) {
    const char* env = std::getenv("VELM_ROOT");
    root = env ? env : "";
  }
  if (root.empty()) {
    std::fprintf(stderr, "velm setup: name a root folder or set VELM_ROOT\n");
    return 2;
  }
  std::string error;
  velm::tools::InstallReport report;
  if (!velm::tools::SetupMachine(root, sources, &error, &report)) {
    std::fprintf(stderr, "velm setup: %s\n", error.c_str());
    return 1;
  }
  for (const std::u16string& file : report.installed)
    std::printf("installed %s\n", velm::platform::Utf16ToUtf8(file).c_str());
  for (const std::u16string& file : report.missing)
    std::printf("not built yet: %s\n", velm::platform::Utf16ToUtf8(file).c_str());
  std::printf("machine root ready: %s (printer \"%s\")\n", root.c_str(),
              velm::platform::Utf16ToUtf8(velm::tools::kDefaultPrinterName).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "setup") return Setup(argc, argv);
  return Usage();
}
