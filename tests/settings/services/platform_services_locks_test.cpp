#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "settings/context/driver_context.h"
#include "settings/context/locks.h"
#include "settings/context/process_state.h"
#include "support/temp_root.h"

namespace {

class LocksTest : public ::testing::Test {
 protected:
  void SetUp() override { SysLibraryAttach(nullptr); }
  void TearDown() override { SysLibraryDetach(); }
  velm::test::TempMachineRoot root_;
};

TEST_F(LocksTest, AttachCreatesBothLocksAndDetachDeletesThem) {
  ProcessState& state = SysProcessState();
  EXPECT_EQ(state.sectionState[0], kSectionCreated);
  EXPECT_EQ(state.sectionState[1], kSectionCreated);
  EXPECT_EQ(state.sections[0].SpinCount, kLockSpinCount);
  SysEnterLock(1);
  SysEnterLock(1);  // re-entry by the holder
  SysLeaveLock(1);
  SysLeaveLock(1);
  SysEnterLock(3);  // no such lock: nothing happens
  SysLeaveLock(0);
  SysLibraryDetach();
  EXPECT_EQ(state.sectionState[0], kSectionNotCreated);
  EXPECT_EQ(state.globalMutex.load(), nullptr);
  SysLeaveLock(2);  // leaving a lock that does not exist is harmless
}

TEST_F(LocksTest, ALockCreatedOnDemandByRacingThreadsStillExcludes) {
  SysLibraryDetach();
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  long counter = 0;  // deliberately not atomic: only the lock protects it
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        SysEnterLock(2);
        counter = counter + 1;
        SysLeaveLock(2);
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, kThreads * kRounds);
}

// Runs `probe` in a child process and answers its exit code.
template <class Probe>
int InChild(Probe probe) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(probe());
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// 0 when another process could take the settings mutex at once, 1 when it is held elsewhere.
int OtherProcessFindsMutex() {
  return InChild([] {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, u"Global\\VelmMutexTse");
    if (!mutex) return 9;
    const DWORD result = WaitForSingleObject(mutex, 0);
    if (result == WAIT_OBJECT_0) ReleaseMutex(mutex);
    return result == WAIT_OBJECT_0 ? 0 : result == WAIT_TIMEOUT ? 1 : 8;
  });
}

TEST_F(LocksTest, TheSettingsMutexHoldsAcrossProcessesAndReentersForItsHolder) {
  EXPECT_EQ(OtherProcessFindsMutex(), 0);
  ASSERT_TRUE(SysLockGlobalMutex());
  EXPECT_EQ(OtherProcessFindsMutex(), 1);
  ASSERT_TRUE(SysLockGlobalMutex());  // the holder again: no deadlock
  SysUnlockGlobalMutex();
  EXPECT_EQ(OtherProcessFindsMutex(), 1);  // still held once
  SysUnlockGlobalMutex();
  EXPECT_EQ(OtherProcessFindsMutex(), 0);
}

TEST_F(LocksTest, AProcessWaitsUntilTheHolderLetsGo) {
  int toChild[2];
  int marks[2];
  ASSERT_EQ(::pipe(toChild), 0);
  ASSERT_EQ(::pipe(marks), 0);
  ASSERT_TRUE(SysLockGlobalMutex());
  const pid_t child = ::fork();
  if (child == 0) {
    char c = 0;
    if (::read(toChild[0], &c, 1) != 1) ::_exit(3);
    const bool taken = SysLockGlobalMutex();
    const bool marked = ::write(marks[1], "C", 1) == 1;
    SysUnlockGlobalMutex();
    ::_exit(taken && marked ? 0 : 4);
  }
  ASSERT_EQ(::write(toChild[1], "g", 1), 1);
  // While the child waits for the mutex, any other process finds it held too.
  EXPECT_EQ(OtherProcessFindsMutex(), 1);
  // Our mark goes in just before we let go; the child's can only follow it.
  ASSERT_EQ(::write(marks[1], "P", 1), 1);
  SysUnlockGlobalMutex();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  char order[3] = {};
  ASSERT_EQ(::read(marks[0], order, 2), 2);
  EXPECT_STREQ(order, "PC");
  for (int fd : {toChild[0], toChild[1], marks[0], marks[1]}) ::close(fd);
}

TEST_F(LocksTest, ACallerThatHoldsTheMutexAlreadyTakesNothing) {
  ContextWorkArea work{};
  work.kindFlags = kKindHoldsGlobalMutex;
  DriverContext context{};
  context.work = &work;
  EXPECT_FALSE(SysLockGlobalMutex(&context));
  EXPECT_EQ(OtherProcessFindsMutex(), 0);
  SysUnlockGlobalMutex(&context);
  // Unlocking with no handle yet, or never having locked, is harmless.
  SysLibraryDetach();
  SysUnlockGlobalMutex();
  SysLibraryAttach(nullptr);
  ASSERT_TRUE(SysLockGlobalMutex());
  SysUnlockGlobalMutex();
  SysUnlockGlobalMutex();
  EXPECT_EQ(OtherProcessFindsMutex(), 0);
}

}  // namespace
