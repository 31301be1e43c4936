#include "core/sync.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "core/handles.h"
#include "core/machine_root.h"
#include "core/winerror.h"
#include "support/temp_root.h"

namespace {

// Runs `body` on a thread of its own and answers its result.
template <class Body>
auto OnOtherThread(Body body) {
  decltype(body()) result{};
  std::thread([&] { result = body(); }).join();
  return result;
}

TEST(CriticalSectionTest, OwnerReentersAndOthersGetInOnlyAfterTheLastLeave) {
  CRITICAL_SECTION section;
  ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&section, 4000));
  EXPECT_EQ(section.SpinCount, 4000u);
  const auto otherGetsIn = [&] {
    return OnOtherThread([&] {
      const BOOL entered = TryEnterCriticalSection(&section);
      if (entered) LeaveCriticalSection(&section);
      return entered;
    });
  };

  EnterCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(TryEnterCriticalSection(&section));
  EXPECT_FALSE(otherGetsIn());
  // A thread that does not hold the section cannot free it for the holder.
  std::thread([&] { LeaveCriticalSection(&section); }).join();
  LeaveCriticalSection(&section);
  LeaveCriticalSection(&section);
  EXPECT_FALSE(otherGetsIn());
  LeaveCriticalSection(&section);
  EXPECT_TRUE(otherGetsIn());
  DeleteCriticalSection(&section);
  EXPECT_EQ(section.Lock, nullptr);
}

TEST(CriticalSectionTest, KeepsThreadsOutOfEachOther) {
  CRITICAL_SECTION section{};  // zeroed, never initialised: the lock is made on first use
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        EnterCriticalSection(&section);
        counter = counter + 1;
        LeaveCriticalSection(&section);
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, 80000);
  DeleteCriticalSection(&section);
}

class MutexTest : public ::testing::TestWithParam<const char16_t*> {
 protected:
  velm::test::TempMachineRoot root_;  // named mutexes keep their lock files in the root
};

TEST_P(MutexTest, OwnerReentersWithoutBlockingAndOnlyTheOwnerReleases) {
  const HANDLE mutex = CreateMutexW(nullptr, TRUE, GetParam());
  ASSERT_NE(mutex, nullptr) << GetLastError();
  EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_EQ(OnOtherThread([&] { return WaitForSingleObject(mutex, 0); }), WAIT_TIMEOUT);
  EXPECT_EQ(OnOtherThread([&] { return ReleaseMutex(mutex) ? ERROR_SUCCESS : GetLastError(); }), ERROR_NOT_OWNER);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(OnOtherThread([&] { return WaitForSingleObject(mutex, 0); }), WAIT_TIMEOUT);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  EXPECT_EQ(OnOtherThread([&] {
              const DWORD result = WaitForSingleObject(mutex, 0);
              ReleaseMutex(mutex);
              return result;
            }),
            WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(mutex));
}

TEST_P(MutexTest, WaiterGetsTheMutexWhenTheOwnerReleasesIt) {
  const HANDLE mutex = CreateMutexW(nullptr, TRUE, GetParam());
  ASSERT_NE(mutex, nullptr);
  std::promise<DWORD> timedOut, acquired;
  std::promise<void> checked;
  std::thread waiter([&] {
    timedOut.set_value(WaitForSingleObject(mutex, 50));
    acquired.set_value(WaitForSingleObject(mutex, INFINITE));
    checked.get_future().wait();
    ReleaseMutex(mutex);
  });
  EXPECT_EQ(timedOut.get_future().get(), WAIT_TIMEOUT);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(acquired.get_future().get(), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT);  // now the waiter owns it
  checked.set_value();
  waiter.join();
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
}

TEST_P(MutexTest, MutexOfAThreadThatEndedIsAbandonedToTheNextWaiter) {
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, GetParam());
  ASSERT_NE(mutex, nullptr);
  std::thread([&] {
    WaitForSingleObject(mutex, INFINITE);
    WaitForSingleObject(mutex, INFINITE);
  }).join();
  EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(mutex));  // the abandoned levels are gone: one wait, one release
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
}

INSTANTIATE_TEST_SUITE_P(UnnamedAndNamed, MutexTest, ::testing::Values(nullptr, u"Global\\VelmTestMutex"),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

class NamedObjectTest : public ::testing::Test {
 protected:
  velm::test::TempMachineRoot root_;
};

TEST_F(NamedObjectTest, OneNameIsOneMutexWhateverItsNamespacePrefix) {
  const HANDLE first = CreateMutexW(nullptr, TRUE, u"Global\\VelmShared");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  const HANDLE second = CreateMutexW(nullptr, TRUE, u"Local\\VelmShared");  // initial owner ignored
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  const HANDLE third = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u"VelmShared");
  ASSERT_NE(third, nullptr);
  EXPECT_NE(first, second);

  EXPECT_EQ(OnOtherThread([&] { return WaitForSingleObject(third, 0); }), WAIT_TIMEOUT);
  EXPECT_TRUE(ReleaseMutex(second));  // one level, taken through the first handle
  EXPECT_FALSE(ReleaseMutex(first));
  EXPECT_EQ(OnOtherThread([&] {
              const DWORD result = WaitForSingleObject(third, 0);
              ReleaseMutex(third);
              return result;
            }),
            WAIT_OBJECT_0);

  // Names are case-sensitive, as kernel object names are.
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u"velmshared"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // The name lives while a handle does.
  CloseHandle(first);
  CloseHandle(second);
  CloseHandle(third);
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u"Global\\VelmShared"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // Mutexes and events share the namespace.
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, u"VelmShared");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(CreateMutexW(nullptr, FALSE, u"VelmShared"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(event);
}

TEST_F(NamedObjectTest, NamesAreCheckedAndAnyCharacterCanBeUsed) {
  EXPECT_EQ(CreateMutexW(nullptr, FALSE, u"Global\\"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_EQ(CreateMutexW(nullptr, FALSE, std::u16string(261, u'x').c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  // Slashes, dots and a name whose encoding is far longer than a host file name may be.
  for (const std::u16string& name : {std::u16string(u"../../x"), std::u16string(260, u'\u00e9')}) {
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
    ASSERT_NE(mutex, nullptr) << GetLastError();
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
  }
  for (const auto& entry : std::filesystem::directory_iterator(velm::platform::MachineStore("locks")))
    EXPECT_LE(entry.path().filename().string().size(), 255u);
}

TEST(EventTest, AutoResetReleasesOneWaitAndManualResetStaysSet) {
  const HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(SetEvent(automatic));
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);

  const HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread waiter([&] { EXPECT_EQ(WaitForSingleObject(manual, INFINITE), WAIT_OBJECT_0); });
  EXPECT_TRUE(SetEvent(manual));
  waiter.join();
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ResetEvent(manual));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

  EXPECT_FALSE(ReleaseMutex(manual));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(automatic);
  CloseHandle(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
