// The velm command: sets up a machine root and drives the driver on it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/machine_root.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: velm setup [ROOT]   make a machine root (default: $VELM_ROOT)\n");
  return 2;
}

std::string RootArgument(int argc, char** argv, int index) {
  if (index < argc) return argv[index];
  const char* env = std::getenv("VELM_ROOT");
  return env ? env : "";
}

int Setup(const std::string& root) {
  if (root.empty()) {
    std::fprintf(stderr, "velm setup: name a root folder or set VELM_ROOT\n");
    return 2;
  }
  std::string error;
  if (!velm::platform::CreateMachineRoot(root, &error)) {
    std::fprintf(stderr, "velm setup: %s\n", error.c_str());
    return 1;
  }
  velm::platform::SetMachineRoot(root);
  std::printf("machine root ready: %s\n", root.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "setup") return Setup(RootArgument(argc, argv, 2));
  return Usage();
}
