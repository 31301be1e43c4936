// Shared set-up of the file tests: a fresh machine root and short ways to open, fill and read files.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/files.h"
#include "core/handles.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {

class FilesTest : public ::testing::Test {
 protected:
  void TearDown() override { ClearFileFaults(); }

  static HANDLE Open(const char16_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0) {
    return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
  }
  // The last error of an open that must fail.
  static DWORD OpenError(const char16_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0) {
    HANDLE h = Open(path, access, share, disposition, flags);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return 0;
    }
    return GetLastError();
  }
  static void Write(HANDLE h, const std::string& bytes) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
  }
  static std::string Read(HANDLE h, DWORD count) {
    std::string bytes(count, '\0');
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(h, bytes.data(), count, &read, nullptr));
    bytes.resize(read);
    return bytes;
  }
  // Creates (or replaces) a file with `bytes` through the Win32 calls.
  static void Make(const char16_t* path, const std::string& bytes) {
    HANDLE h = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    Write(h, bytes);
    CloseHandle(h);
  }
  std::string HostBytes(const std::string& relativeToC) const { return test::ReadHostFile(root_.OnDriveC(relativeToC)); }

  test::TempMachineRoot root_;
};

}  // namespace velm::platform
