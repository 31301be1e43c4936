// Named mutexes between processes: a forked child holds the mutex and is steered through pipes.
#include "core/sync.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

#include "core/handles.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace {

constexpr const char16_t* kName = u"Global\\VelmMutexTest";

// A forked child that runs `body` and exits with its answer; Tell/Hear pass one byte each way.
class Child {
 public:
  explicit Child(const std::function<int(Child&)>& body) {
    if (::pipe(down_) != 0 || ::pipe(up_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(down_[1]);
      ::close(up_[0]);
      readFd_ = down_[0];
      writeFd_ = up_[1];
      ::_exit(body(*this));  // no test teardown in the child
    }
    ::close(down_[0]);
    ::close(up_[1]);
    readFd_ = up_[0];
    writeFd_ = down_[1];
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(readFd_);
    ::close(writeFd_);
  }

  bool started() const { return pid_ > 0; }
  void Tell(char c) { (void)!::write(writeFd_, &c, 1); }
  char Hear() {
    char c = 0;
    return ::read(readFd_, &c, 1) == 1 ? c : 0;
  }
  int Join() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  int down_[2] = {-1, -1};
  int up_[2] = {-1, -1};
  int readFd_ = -1;
  int writeFd_ = -1;
  pid_t pid_ = -1;
};

TEST(NamedMutexProcessTest, MutexHeldByAnotherProcessBlocksThisOneUntilReleased) {
  velm::test::TempMachineRoot root;
  Child child([](Child& parent) {
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, kName);
    if (!mutex || WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0) return 1;
    parent.Tell('L');
    parent.Hear();
    if (!ReleaseMutex(mutex)) return 2;
    parent.Tell('R');
    parent.Hear();
    // Now the parent holds it.
    parent.Tell(WaitForSingleObject(mutex, 100) == WAIT_TIMEOUT ? 'T' : 'X');
    parent.Hear();
    return 0;
  });
  ASSERT_TRUE(child.started());
  ASSERT_EQ(child.Hear(), 'L');

  const HANDLE mutex = CreateMutexW(nullptr, FALSE, kName);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(WaitForSingleObject(mutex, 100), WAIT_TIMEOUT);

  child.Tell('r');
  ASSERT_EQ(child.Hear(), 'R');
  EXPECT_EQ(WaitForSingleObject(mutex, 100), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);  // re-entry holds no second file lock
  child.Tell('w');
  EXPECT_EQ(child.Hear(), 'T');
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_TRUE(ReleaseMutex(mutex));
  child.Tell('x');
  EXPECT_EQ(child.Join(), 0);
  CloseHandle(mutex);
}

TEST(NamedMutexProcessTest, MutexOfAProcessThatEndedIsAbandoned) {
  velm::test::TempMachineRoot root;
  // Opened before the fork: the child must not share the parent's lock through inherited files.
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, kName);
  ASSERT_NE(mutex, nullptr);
  Child child([mutex](Child& parent) {
    if (WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0) return 1;
    parent.Tell('L');
    parent.Hear();
    return 0;  // ends without releasing
  });
  ASSERT_TRUE(child.started());
  ASSERT_EQ(child.Hear(), 'L');
  const HANDLE opened = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kName);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_TIMEOUT);
  child.Tell('x');
  EXPECT_EQ(child.Join(), 0);

  EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
  CloseHandle(opened);
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kName), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
