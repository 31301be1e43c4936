#include "support/temp_root.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "core/machine_root.h"

namespace velm::test {
namespace fs = std::filesystem;

TempMachineRoot::TempMachineRoot() : previous_(platform::MachineRoot()) {
  std::string pattern = (fs::temp_directory_path() / "velm-root-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  std::string error;
  if (!platform::CreateMachineRoot(path_, &error)) throw std::runtime_error(error);
  platform::SetMachineRoot(path_);
}

TempMachineRoot::~TempMachineRoot() {
  platform::SetMachineRoot(previous_);
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ReadHostFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteHostFile(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The folders this build was configured with; the environment may point elsewhere.
static fs::path FromEnvOr(const char* name, const char* configured) {
  const char* value = std::getenv(name);
  return value && *value ? fs::path(value) : fs::path(configured);
}

fs::path BuildDir() { return FromEnvOr("VELM_BUILD_DIR", VELM_BUILD_DIR); }
fs::path ModuleDir() { return BuildDir() / "modules"; }
fs::path SourceDir() { return FromEnvOr("VELM_SOURCE_DIR", VELM_SOURCE_DIR); }

}  // namespace velm::test
