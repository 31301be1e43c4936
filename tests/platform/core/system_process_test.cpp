#include <string>

#include <gtest/gtest.h>

#include "core/handles.h"
#include "core/machine_root.h"
#include "core/process.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace velm::platform {
namespace {

struct Started {
  BOOL ok = FALSE;
  DWORD error = 0;
  PROCESS_INFORMATION info{};
};

Started Start(const char16_t* application, std::u16string commandLine, const char16_t* directory = nullptr,
              DWORD flags = 0) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  Started s;
  SetLastError(0);
  s.ok = CreateProcessW(application, commandLine.empty() ? nullptr : commandLine.data(), nullptr, nullptr, FALSE,
                        flags, nullptr, directory, &startup, &s.info);
  s.error = GetLastError();
  return s;
}

void Close(Started& s) {
  CloseHandle(s.info.hThread);
  CloseHandle(s.info.hProcess);
}

TEST(ProcessTest, CreateProcessIsRecordedAndExitsWithTheSettingsCode) {
  test::TempMachineRoot root;
  test::WriteHostFile(root.OnDriveC("Tools/conv.exe"), "");
  ASSERT_TRUE(SetMachineSetting("process_exit", "3"));
  Started s = Start(nullptr, u"\"C:\\Tools\\conv.exe\" /in 50%\tdone", u"C:\\Windows\\.");
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(LookupHandle(s.info.hProcess)->Wait(INFINITE), kWaitObject0);
  EXPECT_EQ(LookupHandle(s.info.hThread)->Wait(0), kWaitObject0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(s.info.hProcess, &code));
  EXPECT_EQ(code, 3u);
  ASSERT_TRUE(GetExitCodeThread(s.info.hThread, &code));
  EXPECT_EQ(code, 3u);
  EXPECT_FALSE(TerminateProcess(s.info.hProcess, 1));  // it has exited already
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  Close(s);

  ASSERT_TRUE(SetMachineSetting("process_exit", "-1"));
  Started second = Start(u"C:\\tools\\CONV.EXE", u"");
  ASSERT_TRUE(second.ok);
  ASSERT_TRUE(GetExitCodeProcess(second.info.hProcess, &code));
  EXPECT_EQ(code, 0xFFFFFFFFu);
  Close(second);

  const auto records = RecordedProcesses();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].application, u"C:\\Tools\\conv.exe");
  EXPECT_EQ(records[0].commandLine, u"\"C:\\Tools\\conv.exe\" /in 50%\tdone");  // tab and % survive the log
  EXPECT_EQ(records[0].currentDirectory, u"C:\\Windows");
  EXPECT_EQ(records[0].exitCode, 3u);
  EXPECT_EQ(records[1].commandLine, u"C:\\tools\\CONV.EXE");  // no command line: the application name
  EXPECT_EQ(records[1].currentDirectory, u"C:\\Windows\\System32");
  EXPECT_EQ(records[1].exitCode, 0xFFFFFFFFu);
}

TEST(ProcessTest, ProgramIsFoundAsWindowsFindsIt) {
  test::TempMachineRoot root;
  test::WriteHostFile(root.OnDriveC("Program Files/Velm Tools/run.exe"), "");
  test::WriteHostFile(root.OnDriveC("Windows/System32/notepad.exe"), "");
  test::WriteHostFile(root.OnDriveC("Tools/conv.exe"), "");
  for (const char16_t* line : {u"C:\\Program Files\\Velm Tools\\run.exe -a b", u"\"C:\\Program Files\\Velm Tools\\run\" x",
                               u"notepad readme.txt", u"  C:\\Tools\\conv"}) {
    Started s = Start(nullptr, line);
    EXPECT_TRUE(s.ok) << s.error;
    Close(s);
  }
  const auto records = RecordedProcesses();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].application, u"C:\\Program Files\\Velm Tools\\run.exe");
  EXPECT_EQ(records[1].application, u"C:\\Program Files\\Velm Tools\\run.exe");
  EXPECT_EQ(records[2].application, u"C:\\Windows\\System32\\notepad.exe");
  EXPECT_EQ(records[3].application, u"C:\\Tools\\conv.exe");

  // "C:\Program.exe" comes before "C:\Program Files\..." when it exists.
  test::WriteHostFile(root.OnDriveC("Program.exe"), "");
  Started s = Start(nullptr, u"C:\\Program Files\\Velm Tools\\run.exe");
  ASSERT_TRUE(s.ok);
  Close(s);
  EXPECT_EQ(RecordedProcesses().back().application, u"C:\\Program.exe");
}

TEST(ProcessTest, MissingProgramsAndBadArgumentsAreRefused) {
  test::TempMachineRoot root;
  test::WriteHostFile(root.OnDriveC("Tools/conv.exe"), "");
  EXPECT_EQ(Start(nullptr, u"C:\\Tools\\missing.exe /x").error, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Start(u"C:\\Tools\\conv", u"conv /x").error, ERROR_FILE_NOT_FOUND);  // no ".exe" for the name given
  EXPECT_EQ(Start(u"C:\\NoSuchDir\\conv.exe", u"").error, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Start(u"C:\\Tools", u"").error, ERROR_FILE_NOT_FOUND);  // a folder is no program
  EXPECT_EQ(Start(u"C:\\Tools\\conv.exe", u"", u"C:\\NoSuchDir").error, ERROR_DIRECTORY);
  EXPECT_EQ(Start(u"C:\\Tools\\conv.exe", u"", nullptr, CREATE_SUSPENDED).error, ERROR_NOT_SUPPORTED);
  EXPECT_EQ(Start(nullptr, u"").error, ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(RecordedProcesses().empty());
}

TEST(ProcessTest, SessionAndProcessIdentity) {
  test::TempMachineRoot root;
  test::WriteHostFile(root.OnDriveC("Tools/conv.exe"), "");
  DWORD session = 99;
  ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
  EXPECT_EQ(session, 0u);
  ASSERT_TRUE(SetMachineSetting("terminal_server", "1"));
  ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
  EXPECT_EQ(session, 1u);
  ASSERT_TRUE(SetMachineSetting("session", "3"));

  Started child = Start(u"C:\\Tools\\conv.exe", u"");
  ASSERT_TRUE(child.ok);
  EXPECT_NE(child.info.dwProcessId, GetCurrentProcessId());
  ASSERT_TRUE(ProcessIdToSessionId(child.info.dwProcessId, &session));
  EXPECT_EQ(session, 3u);
  Close(child);
  EXPECT_FALSE(ProcessIdToSessionId(child.info.dwProcessId, &session));  // gone with its last handle
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(GetCurrentProcess(), &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_FALSE(GetExitCodeProcess(child.info.hProcess, &code));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace velm::platform
