#include "core/sync.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "core/machine_root.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace velm::platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr DWORD kMutantLimitExceeded = 587;  // ERROR_MUTANT_LIMIT_EXCEEDED
constexpr uint32_t kMaxDepth = 0x7FFFFFFF;
constexpr size_t kMaxEncodedName = 180;

// ---------------------------------------------------------------------------------------------
// Critical sections

class SectionLock {
 public:
  void Enter() {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    if (owner_ == self) {
      ++depth_;
      return;
    }
    released_.wait(lock, [&] { return depth_ == 0; });
    owner_ = self;
    depth_ = 1;
  }

  bool TryEnter() {
    const auto self = std::this_thread::get_id();
    std::lock_guard lock(mutex_);
    if (owner_ == self) {
      ++depth_;
      return true;
    }
    if (depth_ != 0) return false;
    owner_ = self;
    depth_ = 1;
    return true;
  }

  void Leave() {
    std::lock_guard lock(mutex_);
    // A leave by a thread that does not hold the section would free it under its holder.
    if (owner_ != std::this_thread::get_id() || depth_ == 0) return;
    if (--depth_ > 0) return;
    owner_ = {};
    released_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id owner_;
  uint32_t depth_ = 0;
};

// The section's lock, made on first use when the section was only zeroed.
SectionLock* LockOf(LPCRITICAL_SECTION section) {
  std::atomic_ref<void*> slot(section->Lock);
  if (void* lock = slot.load(std::memory_order_acquire)) return static_cast<SectionLock*>(lock);
  auto* fresh = new (std::nothrow) SectionLock();
  if (!fresh) return nullptr;
  void* expected = nullptr;
  if (slot.compare_exchange_strong(expected, fresh, std::memory_order_acq_rel)) return fresh;
  delete fresh;
  return static_cast<SectionLock*>(expected);
}

// ---------------------------------------------------------------------------------------------
// Named objects

// Mutexes and events of this process by name (one namespace, as on Windows).
std::mutex g_namesMutex;
std::map<std::u16string, std::weak_ptr<KernelObject>>& Names() {
  static auto* names = new std::map<std::u16string, std::weak_ptr<KernelObject>>();
  return *names;
}

void Publish(const std::u16string& key, std::shared_ptr<KernelObject> object) {
  auto& names = Names();
  for (auto it = names.begin(); it != names.end();) it = it->second.expired() ? names.erase(it) : std::next(it);
  names[key] = std::move(object);
}

std::shared_ptr<KernelObject> Published(const std::u16string& key) {
  const auto it = Names().find(key);
  return it == Names().end() ? nullptr : it->second.lock();
}

// The namespace key of a caller's name: "" for an unnamed object. "Global\" and "Local\" are
// one namespace; a further backslash is refused, as Windows refuses one.
bool ObjectName(LPCWSTR name, std::u16string& key, DWORD& error) {
  key.clear();
  if (!name) return true;
  size_t length = 0;
  while (length <= MAX_PATH && name[length]) ++length;
  if (length > MAX_PATH) {
    error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  std::u16string_view text(name, length);
  for (std::u16string_view prefix : {std::u16string_view(u"Global\\"), std::u16string_view(u"Local\\")}) {
    if (text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix)) {
      text.remove_prefix(prefix.size());
      if (text.empty()) {
        error = ERROR_INVALID_NAME;
        return false;
      }
      break;
    }
  }
  if (text.find(u'\\') != std::u16string_view::npos) {
    error = ERROR_INVALID_NAME;
    return false;
  }
  key = text;
  return true;
}

uint64_t Fnv1a(std::string_view bytes, uint64_t hash) {
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}

// A host file name for any object name: letters, digits, '-' and '_' stay, every other byte
// becomes %XX; a long name keeps its start and a 128-bit hash of the whole.
std::string EncodeName(const std::u16string& key) {
  const std::string utf8 = Utf16ToUtf8(key);
  std::string out;
  for (unsigned char c : utf8) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  if (out.size() > kMaxEncodedName) {
    char hash[40];
    std::snprintf(hash, sizeof hash, "~%016llx%016llx",
                  static_cast<unsigned long long>(Fnv1a(utf8, 0xcbf29ce484222325ull)),
                  static_cast<unsigned long long>(Fnv1a(utf8, 0x84222325cbf29ce4ull)));
    out = out.substr(0, kMaxEncodedName - 40) + hash;
  }
  return out;
}

DWORD ErrnoToWin32(int error) {
  switch (error) {
    case ENOENT: case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EROFS: return ERROR_ACCESS_DENIED;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC: return ERROR_DISK_FULL;
    default: return ERROR_GEN_FAILURE;
  }
}

int FlockRetrying(int fd, int operation) {
  int result;
  do result = ::flock(fd, operation);
  while (result != 0 && errno == EINTR);
  return result;
}

// Lock files are shared by every user of the machine root.
int OpenShared(const fs::path& file, bool create) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
  struct stat info{};
  if (fd >= 0 && ::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 0777) != 0666)
    ::fchmod(fd, 0666);
  return fd;
}

// The files that carry a named mutex across processes, under <root>/machine/locks:
//   <name>.mutex  locked exclusively by the process whose thread owns the mutex; byte 0 is '1'
//                 while it is owned, so the next owner learns that an owner ended without
//                 releasing it (the kernel drops the lock of a process that dies)
//   <name>.open   locked shared by every process that has the mutex open: the name exists
//                 while anyone holds it
//   .namespace    serialises creating and opening names
struct NamedFiles {
  fs::path base;
  int owner = -1;
  int presence = -1;
  pid_t pid = 0;  // the process that opened the descriptors (a forked child must open its own)

  void Close() {
    if (owner >= 0) ::close(owner);  // closing drops a lock held through it
    if (presence >= 0) ::close(presence);
    owner = presence = -1;
  }

  // Opens the files again in a forked child: descriptors inherited from the parent share its
  // locks, so through them the child would own whatever the parent owns.
  bool Reopen() {
    Close();
    pid = ::getpid();
    owner = OpenShared(base.string() + ".mutex", true);
    presence = OpenShared(base.string() + ".open", true);
    return owner >= 0 && presence >= 0 && FlockRetrying(presence, LOCK_SH) == 0;
  }
};

// Opens (and with `create`, makes) a named mutex's files. `existed`: some other process has the
// name open. ERROR_FILE_NOT_FOUND when opening a name nobody has open.
DWORD OpenNamedFiles(const std::u16string& key, bool create, NamedFiles& files, bool& existed) {
  const fs::path dir = MachineStore("locks");
  if (dir.empty()) return ERROR_PATH_NOT_FOUND;
  std::error_code ec;
  fs::create_directories(dir, ec);
  const int ns = OpenShared(dir / ".namespace", true);
  if (ns < 0) return ErrnoToWin32(errno);
  FlockRetrying(ns, LOCK_EX);
  const auto done = [&](DWORD error) {
    ::close(ns);
    if (error) files.Close();
    return error;
  };

  files.base = dir / EncodeName(key);
  files.pid = ::getpid();
  files.presence = OpenShared(files.base.string() + ".open", create);
  if (files.presence < 0) return done(!create && errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrnoToWin32(errno));
  if (::flock(files.presence, LOCK_EX | LOCK_NB) == 0) {
    existed = false;
  } else if (errno == EWOULDBLOCK) {
    existed = true;
  } else {
    return done(ErrnoToWin32(errno));
  }
  if (!existed && !create) return done(ERROR_FILE_NOT_FOUND);
  files.owner = OpenShared(files.base.string() + ".mutex", true);
  if (files.owner < 0) return done(ErrnoToWin32(errno));
  // A name nobody has open is a new mutex: a mark left by its last life is stale.
  if (!existed && ::pwrite(files.owner, "0", 1, 0) != 1) return done(ErrnoToWin32(errno));
  // Other processes hold only shared locks outside the namespace lock, so this does not wait.
  if (FlockRetrying(files.presence, LOCK_SH) != 0) return done(ErrnoToWin32(errno));
  return done(ERROR_SUCCESS);
}

// ---------------------------------------------------------------------------------------------
// Mutexes

class MutexObject;

// The mutexes the thread owns; the ones still owned when the thread ends are abandoned.
struct OwnedMutexes {
  std::thread::id thread = std::this_thread::get_id();
  std::vector<std::pair<const MutexObject*, std::weak_ptr<MutexObject>>> mutexes;
  ~OwnedMutexes();
};
thread_local OwnedMutexes t_owned;

class MutexObject final : public KernelObject, public std::enable_shared_from_this<MutexObject> {
 public:
  MutexObject() = default;
  explicit MutexObject(NamedFiles files) : files_(std::move(files)), named_(true) {}
  ~MutexObject() override { files_.Close(); }  // an owned lock file is left marked: abandoned

  DWORD Wait(DWORD milliseconds) override {
    const auto self = std::this_thread::get_id();
    const bool forever = milliseconds == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
    std::unique_lock lock(mutex_);
    if (!FollowFork()) {
      SetLastError(ERROR_GEN_FAILURE);
      return WAIT_FAILED;
    }
    if (owner_ == self && !acquiring_) {
      if (depth_ == kMaxDepth) {
        SetLastError(kMutantLimitExceeded);
        return WAIT_FAILED;
      }
      ++depth_;
      return WAIT_OBJECT_0;
    }
    const auto isFree = [&] { return owner_ == std::thread::id(); };
    if (forever)
      released_.wait(lock, isFree);
    else if (!released_.wait_until(lock, deadline, isFree))
      return WAIT_TIMEOUT;
    owner_ = self;
    bool abandoned = false;
    if (named_) {
      // Other threads of the process see the mutex taken while this one waits for other processes.
      acquiring_ = true;
      const int fd = files_.owner;
      lock.unlock();
      const DWORD locked = LockOwnerFile(fd, forever, deadline);
      lock.lock();
      acquiring_ = false;
      if (locked != WAIT_OBJECT_0) {
        owner_ = {};
        released_.notify_one();
        return locked;
      }
      char mark = 0;
      abandoned = ::pread(fd, &mark, 1, 0) == 1 && mark == '1';
      ::pwrite(fd, "1", 1, 0);
    } else {
      abandoned = std::exchange(abandoned_, false);
    }
    depth_ = 1;
    t_owned.mutexes.emplace_back(this, weak_from_this());
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
  }

  // False when the calling thread does not own the mutex.
  bool Release() {
    std::lock_guard lock(mutex_);
    if (!FollowFork() || owner_ != std::this_thread::get_id() || acquiring_ || depth_ == 0) return false;
    if (--depth_ > 0) return true;
    if (named_) {
      ::pwrite(files_.owner, "0", 1, 0);
      ::flock(files_.owner, LOCK_UN);
    }
    owner_ = {};
    released_.notify_one();
    auto& owned = t_owned.mutexes;
    for (auto it = owned.begin(); it != owned.end(); ++it)
      if (it->first == this) {
        owned.erase(it);
        break;
      }
    return true;
  }

  // `thread` ended while owning the mutex.
  void Abandon(std::thread::id thread) {
    std::lock_guard lock(mutex_);
    if (!FollowFork() || owner_ != thread || acquiring_ || depth_ == 0) return;
    depth_ = 0;
    owner_ = {};
    if (named_)
      ::flock(files_.owner, LOCK_UN);  // the mark stays '1' for the next owner, here or elsewhere
    else
      abandoned_ = true;
    released_.notify_one();
  }

 private:
  static DWORD LockOwnerFile(int fd, bool forever, Clock::time_point deadline) {
    auto pause = 1ms;
    for (;;) {
      if (::flock(fd, forever ? LOCK_EX : LOCK_EX | LOCK_NB) == 0) return WAIT_OBJECT_0;
      if (errno == EINTR) continue;
      if (forever || errno != EWOULDBLOCK) {
        SetLastError(ErrnoToWin32(errno));
        return WAIT_FAILED;
      }
      const auto now = Clock::now();
      if (now >= deadline) return WAIT_TIMEOUT;
      std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
      pause = std::min(pause * 2, 20ms);
    }
  }

  // In a forked child the copied state is the parent's: the child owns nothing.
  bool FollowFork() {
    if (!named_ || files_.pid == ::getpid()) return true;
    owner_ = {};
    depth_ = 0;
    acquiring_ = false;
    return files_.Reopen();
  }

  std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id owner_;
  uint32_t depth_ = 0;
  bool acquiring_ = false;  // the owner is still waiting for the lock file
  bool abandoned_ = false;  // unnamed mutexes: the last owner ended without releasing
  NamedFiles files_;
  bool named_ = false;
};

OwnedMutexes::~OwnedMutexes() {
  for (auto& [raw, weak] : mutexes)
    if (auto mutex = weak.lock()) mutex->Abandon(thread);
}

// ---------------------------------------------------------------------------------------------
// Events

class EventObject final : public KernelObject {
 public:
  EventObject(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

  DWORD Wait(DWORD milliseconds) override {
    std::unique_lock lock(mutex_);
    const auto isSet = [&] { return signalled_; };
    if (milliseconds == INFINITE)
      set_.wait(lock, isSet);
    else if (!set_.wait_for(lock, std::chrono::milliseconds(milliseconds), isSet))
      return WAIT_TIMEOUT;
    if (!manualReset_) signalled_ = false;
    return WAIT_OBJECT_0;
  }

  void Set() {
    std::lock_guard lock(mutex_);
    signalled_ = true;
    if (manualReset_)
      set_.notify_all();
    else
      set_.notify_one();
  }

  void Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable set_;
  const bool manualReset_;
  bool signalled_;
};

// Runs `body`, turning the exceptions of the standard library into Win32 failures.
template <class Result, class Body>
Result Guarded(Result failure, Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  } catch (const std::system_error&) {
    SetLastError(ERROR_GEN_FAILURE);
  }
  return failure;
}

}  // namespace
}  // namespace velm::platform

using namespace velm::platform;

// ---------------------------------------------------------------------------------------------

extern "C" void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  InitializeCriticalSectionAndSpinCount(section, 0);
}

extern "C" BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount) {
  if (!section) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  section->SpinCount = spinCount;
  section->Lock = new (std::nothrow) SectionLock();
  if (!section->Lock) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}

extern "C" void EnterCriticalSection(LPCRITICAL_SECTION section) {
  if (!section) return;
  SectionLock* lock = LockOf(section);
  if (!lock) {
    // Nothing can be guarded without the lock, and Enter has no way to say so.
    std::fputs("velm: no memory for a critical section\n", stderr);
    std::abort();
  }
  lock->Enter();
}

extern "C" BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  if (!section) return FALSE;
  SectionLock* lock = LockOf(section);
  return lock && lock->TryEnter() ? TRUE : FALSE;
}

extern "C" void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  if (!section) return;
  if (void* lock = std::atomic_ref<void*>(section->Lock).load(std::memory_order_acquire))
    static_cast<SectionLock*>(lock)->Leave();
}

extern "C" void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  if (!section) return;
  delete static_cast<SectionLock*>(std::atomic_ref<void*>(section->Lock).exchange(nullptr));
}

extern "C" HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
  return Guarded<HANDLE>(nullptr, [&]() -> HANDLE {
    std::u16string key;
    DWORD error = ERROR_SUCCESS;
    if (!ObjectName(name, key, error)) {
      SetLastError(error);
      return nullptr;
    }
    if (key.empty()) {
      auto mutex = std::make_shared<MutexObject>();
      if (initialOwner) mutex->Wait(INFINITE);
      HANDLE handle = RegisterHandle(mutex);
      SetLastError(ERROR_SUCCESS);
      return handle;
    }
    std::lock_guard names(g_namesMutex);
    if (const auto existing = Published(key)) {
      auto mutex = std::dynamic_pointer_cast<MutexObject>(existing);
      if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);  // the name belongs to an object of another kind
        return nullptr;
      }
      HANDLE handle = RegisterHandle(mutex);
      SetLastError(ERROR_ALREADY_EXISTS);
      return handle;
    }
    NamedFiles files;
    bool existed = false;
    if ((error = OpenNamedFiles(key, true, files, existed))) {
      SetLastError(error);
      return nullptr;
    }
    auto mutex = std::make_shared<MutexObject>(std::move(files));
    // A new name has no owner anywhere, so this takes it at once.
    if (initialOwner && !existed && mutex->Wait(INFINITE) == WAIT_FAILED) return nullptr;
    Publish(key, mutex);
    HANDLE handle = RegisterHandle(mutex);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
  });
}

extern "C" HANDLE OpenMutexW(DWORD, BOOL, LPCWSTR name) {
  return Guarded<HANDLE>(nullptr, [&]() -> HANDLE {
    std::u16string key;
    DWORD error = ERROR_SUCCESS;
    if (!name) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    if (!ObjectName(name, key, error)) {
      SetLastError(error);
      return nullptr;
    }
    if (key.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    std::lock_guard names(g_namesMutex);
    if (const auto existing = Published(key)) {
      auto mutex = std::dynamic_pointer_cast<MutexObject>(existing);
      if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
      }
      return RegisterHandle(mutex);
    }
    NamedFiles files;
    bool existed = false;
    if ((error = OpenNamedFiles(key, false, files, existed))) {
      SetLastError(error);
      return nullptr;
    }
    auto mutex = std::make_shared<MutexObject>(std::move(files));
    Publish(key, mutex);
    return RegisterHandle(mutex);
  });
}

extern "C" BOOL ReleaseMutex(HANDLE handle) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    const auto mutex = LookupHandleAs<MutexObject>(handle);
    if (!mutex) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (!mutex->Release()) {
      SetLastError(ERROR_NOT_OWNER);
      return FALSE;
    }
    return TRUE;
  });
}

extern "C" HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  return Guarded<HANDLE>(nullptr, [&]() -> HANDLE {
    std::u16string key;
    DWORD error = ERROR_SUCCESS;
    if (!ObjectName(name, key, error)) {
      SetLastError(error);
      return nullptr;
    }
    std::unique_lock names(g_namesMutex, std::defer_lock);
    if (!key.empty()) {
      names.lock();
      if (const auto existing = Published(key)) {
        auto event = std::dynamic_pointer_cast<EventObject>(existing);
        if (!event) {
          SetLastError(ERROR_INVALID_HANDLE);
          return nullptr;
        }
        HANDLE handle = RegisterHandle(event);
        SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
      }
    }
    auto event = std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE);
    if (!key.empty()) Publish(key, event);
    HANDLE handle = RegisterHandle(event);
    SetLastError(ERROR_SUCCESS);
    return handle;
  });
}

extern "C" BOOL SetEvent(HANDLE handle) {
  const auto event = LookupHandleAs<EventObject>(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->Set();
  return TRUE;
}

extern "C" BOOL ResetEvent(HANDLE handle) {
  const auto event = LookupHandleAs<EventObject>(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->Reset();
  return TRUE;
}

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return Guarded<DWORD>(WAIT_FAILED, [&]() -> DWORD {
    const auto object = LookupHandle(handle);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    return object->Wait(milliseconds);
  });
}
