// A fresh machine root for one test, removed again when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace velm::test {

class TempMachineRoot {
 public:
  TempMachineRoot();
  ~TempMachineRoot();
  TempMachineRoot(const TempMachineRoot&) = delete;
  TempMachineRoot& operator=(const TempMachineRoot&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The host path of a file on drive C: ("Windows/x.ini" -> <root>/c/Windows/x.ini).
  std::filesystem::path OnDriveC(const std::string& relative) const { return path_ / "c" / relative; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

// Reads and writes whole host files, for fixtures and byte-exact checks.
std::string ReadHostFile(const std::filesystem::path& file);
void WriteHostFile(const std::filesystem::path& file, const std::string& bytes);

// The build's folders (VELM_BUILD_DIR / VELM_SOURCE_DIR in the environment override them).
std::filesystem::path BuildDir();
std::filesystem::path ModuleDir();
std::filesystem::path SourceDir();

}  // namespace velm::test
