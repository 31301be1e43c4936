#include "spool/spool_store.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <system_error>

#include <atomic>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/devmode.h"
#include "core/file_stamp.h"
#include "core/machine_root.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "spool/spool_internal.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

constexpr char kStateMagic[4] = {'V', 'S', 'P', 'L'};
constexpr char kValuesMagic[4] = {'V', 'S', 'P', 'D'};
constexpr uint32_t kFormatVersion = 1;
constexpr uintmax_t kMaxStoreFile = 64u << 20;
constexpr uint32_t kMaxStringUnits = 32767;
constexpr uint32_t kMaxBlobBytes = 16u << 20;

// ---- Little-endian records: one field list serves both directions ---------------------------

class RecordWriter {
 public:
  explicit RecordWriter(const char (&magic)[4]) {
    out_.append(magic, 4);
    uint32_t version = kFormatVersion;
    U32(version);
  }
  void U32(uint32_t& v) {
    char b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    out_.append(b, 4);
  }
  void I32(int32_t& v) {
    uint32_t u = static_cast<uint32_t>(v);
    U32(u);
  }
  void U16(uint16_t& v) {
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    out_.append(b, 2);
  }
  void Str(std::u16string& s) {
    uint32_t n = static_cast<uint32_t>(s.size());
    U32(n);
    for (char16_t c : s) {
      uint16_t u = c;
      U16(u);
    }
  }
  void Blob(std::string& s) {
    uint32_t n = static_cast<uint32_t>(s.size());
    U32(n);
    out_ += s;
  }
  template <class T, class Fn>
  void List(std::vector<T>& items, Fn fields) {
    uint32_t n = static_cast<uint32_t>(items.size());
    U32(n);
    for (T& item : items) fields(*this, item);
  }
  const std::string& bytes() const { return out_; }

 private:
  std::string out_;
};

class RecordReader {
 public:
  RecordReader(const std::string& bytes, const char (&magic)[4]) : p_(bytes.data()), left_(bytes.size()) {
    if (left_ < 8 || std::memcmp(p_, magic, 4) != 0) {
      ok_ = false;
      return;
    }
    Skip(4);
    uint32_t version = 0;
    U32(version);
    if (version != kFormatVersion) ok_ = false;
  }
  void U32(uint32_t& v) {
    v = 0;
    if (!Need(4)) return;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(p_[i])) << (8 * i);
    Skip(4);
  }
  void I32(int32_t& v) {
    uint32_t u = 0;
    U32(u);
    v = static_cast<int32_t>(u);
  }
  void U16(uint16_t& v) {
    v = 0;
    if (!Need(2)) return;
    v = static_cast<uint16_t>(static_cast<uint8_t>(p_[0]) | (static_cast<uint8_t>(p_[1]) << 8));
    Skip(2);
  }
  void Str(std::u16string& s) {
    s.clear();
    uint32_t n = 0;
    U32(n);
    if (n > kMaxStringUnits || !Need(size_t{n} * 2)) {
      ok_ = false;
      return;
    }
    s.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
      uint16_t u = 0;
      U16(u);
      s[i] = static_cast<char16_t>(u);
    }
  }
  void Blob(std::string& s) {
    s.clear();
    uint32_t n = 0;
    U32(n);
    if (n > kMaxBlobBytes || !Need(n)) {
      ok_ = false;
      return;
    }
    s.assign(p_, n);
    Skip(n);
  }
  template <class T, class Fn>
  void List(std::vector<T>& items, Fn fields) {
    items.clear();
    uint32_t n = 0;
    U32(n);
    // Every element takes at least four bytes, so a count beyond that is damage.
    if (n > left_ / 4) {
      ok_ = false;
      return;
    }
    for (uint32_t i = 0; i < n && ok_; ++i) {
      items.emplace_back();
      fields(*this, items.back());
    }
  }
  bool ok() const { return ok_; }
  bool AtEnd() const { return left_ == 0; }

 private:
  bool Need(size_t n) {
    if (!ok_ || left_ < n) {
      ok_ = false;
      return false;
    }
    return true;
  }
  void Skip(size_t n) {
    p_ += n;
    left_ -= n;
  }
  const char* p_;
  size_t left_;
  bool ok_ = true;
};

template <class IO>
void PrinterFields(IO& io, SpoolPrinter& p) {
  io.U32(p.id);
  for (std::u16string* s : {&p.name, &p.serverName, &p.shareName, &p.portName, &p.driverName, &p.comment,
                            &p.location, &p.sepFile, &p.printProcessor, &p.datatype, &p.parameters})
    io.Str(*s);
  for (uint32_t* v : {&p.attributes, &p.priority, &p.defaultPriority, &p.startTime, &p.untilTime, &p.status})
    io.U32(*v);
  uint32_t access = static_cast<uint32_t>(p.adminAccess);
  io.U32(access);
  p.adminAccess = static_cast<SpoolAdminAccess>(access);
  io.Blob(p.devmode);
  io.List(p.userDevmodes, [](IO& io2, std::pair<std::u16string, std::string>& user) {
    io2.Str(user.first);
    io2.Blob(user.second);
  });
}

template <class IO>
void DriverFields(IO& io, SpoolDriver& d) {
  io.Str(d.name);
  io.Str(d.environment);
  io.U32(d.version);
  for (std::u16string* s : {&d.driverPath, &d.dataFile, &d.configFile, &d.helpFile}) io.Str(*s);
  io.List(d.dependentFiles, [](IO& io2, std::u16string& file) { io2.Str(file); });
  io.Str(d.monitorName);
  io.Str(d.defaultDataType);
}

template <class IO>
void FormFields(IO& io, SpoolForm& f) {
  io.Str(f.name);
  io.U32(f.flags);
  for (int32_t* v : {&f.size.cx, &f.size.cy, &f.area.left, &f.area.top, &f.area.right, &f.area.bottom}) io.I32(*v);
}

template <class IO>
void JobFields(IO& io, SpoolJob& j) {
  io.U32(j.id);
  io.U32(j.printerId);
  for (std::u16string* s : {&j.printerName, &j.machineName, &j.userName, &j.document, &j.notifyName,
                            &j.datatype, &j.outputFile, &j.statusText})
    io.Str(*s);
  for (uint32_t* v : {&j.status, &j.priority, &j.totalPages, &j.pagesPrinted, &j.size}) io.U32(*v);
  for (WORD* w : {&j.submitted.wYear, &j.submitted.wMonth, &j.submitted.wDayOfWeek, &j.submitted.wDay,
                  &j.submitted.wHour, &j.submitted.wMinute, &j.submitted.wSecond, &j.submitted.wMilliseconds})
    io.U16(*w);
  io.Blob(j.devmode);
}

template <class IO>
void StateFields(IO& io, SpoolState& s) {
  io.U32(s.generation);
  io.U32(s.nextPrinterId);
  io.U32(s.nextJobId);
  io.List(s.printers, PrinterFields<IO>);
  io.List(s.drivers, DriverFields<IO>);
  io.List(s.forms, FormFields<IO>);
  io.List(s.jobs, JobFields<IO>);
}

template <class IO>
void ValueFields(IO& io, SpoolValue& v) {
  io.Str(v.key);
  io.Str(v.name);
  io.U32(v.type);
  io.Blob(v.data);
}

// ---- Files and the store lock ---------------------------------------------------------------

fs::path StoreDir() { return MachineStore("spool"); }
fs::path StateFile() { return MachineStore("spool/spooler"); }
fs::path ValuesFile(uint32_t printerId) { return MachineStore("spool/data/" + std::to_string(printerId)); }

// flock on a file of its own: it serialises threads of this process as well as processes,
// because each lock holds its own open file description.
class StoreLock {
 public:
  explicit StoreLock(bool exclusive) {
    const fs::path dir = StoreDir();
    if (dir.empty()) return;
    std::error_code ec;
    fs::create_directories(dir, ec);
    const fs::path file = dir / ".lock";
    fd_ = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
      fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
      if (fd_ < 0) return;
      ::fchmod(fd_, 0666);  // every user of the machine uses the spooler (fails harmlessly when not ours)
    }
    while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~StoreLock() {
    if (fd_ >= 0) ::close(fd_);  // closing drops the lock
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// A store file kept open by the process that decoded it: while it is open its inode cannot be
// given to another file, and store files are only ever replaced (never changed in place), so a
// stat that shows the held file's stamp shows the held file.
class HeldFile {
 public:
  explicit HeldFile(int fd) : fd_(fd) {}
  ~HeldFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// spool/.changes: one 64-bit counter, mapped shared by every process of the machine. Every writer
// adds one after it replaced or removed a store file, holding the store lock, so a copy checked
// while the counter stood at its present value is still the store's. Without the counter (no
// writer made it yet, or it cannot be mapped) readers check each file's stamp.
class ChangeCounter {
 public:
  ~ChangeCounter() { Unmap(); }

  // The counter's value for the root of `rootVersion`; none without a counter.
  std::optional<uint64_t> Read(uint64_t rootVersion) {
    std::lock_guard guard(mutex_);
    if (!Map(rootVersion, false)) return std::nullopt;
    return std::atomic_ref<uint64_t>(*counter_).load(std::memory_order_acquire);
  }

  // Adds one after a store file changed (the caller holds the store lock exclusively), making
  // the counter first when there is none; the new value.
  std::optional<uint64_t> Bump(uint64_t rootVersion) {
    std::lock_guard guard(mutex_);
    if (!Map(rootVersion, true)) return std::nullopt;
    return std::atomic_ref<uint64_t>(*counter_).fetch_add(1, std::memory_order_acq_rel) + 1;
  }

 private:
  bool Map(uint64_t rootVersion, bool create) {
    if (rootVersion != root_) {
      Unmap();
      root_ = rootVersion;
    }
    if (counter_) return true;
    const fs::path dir = MachineStore("spool");
    if (dir.empty()) return false;
    const fs::path file = dir / ".changes";
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0) return false;
    struct stat st {};
    bool sized = ::fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(sizeof(uint64_t));
    if (!sized && create) {
      ::fchmod(fd, 0666);  // every user of the machine writes the store (fails harmlessly when not ours)
      sized = ::ftruncate(fd, sizeof(uint64_t)) == 0;
    }
    void* map = sized ? ::mmap(nullptr, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    ::close(fd);
    if (map == MAP_FAILED) return false;
    counter_ = static_cast<uint64_t*>(map);
    return true;
  }
  void Unmap() {
    if (counter_) ::munmap(counter_, sizeof(uint64_t));
    counter_ = nullptr;
  }

  std::mutex mutex_;
  uint64_t root_ = 0;
  uint64_t* counter_ = nullptr;
};

ChangeCounter& StoreChanges() {
  static ChangeCounter counter;
  return counter;
}

// Removes a store file (the caller holds the store lock exclusively).
void RemoveStoreFile(const fs::path& file) {
  std::error_code ec;
  if (fs::remove(file, ec)) StoreChanges().Bump(MachineRootVersion());
}

// Moves `size` bytes by `io(offset)` (a read or a write from there on) across short transfers
// and interruptions; the count moved.
template <class Io>
size_t TransferAll(size_t size, Io io) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = io(done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

// Replaces the store file with `bytes` (the caller holds the store lock exclusively); `held`
// receives the new file, open.
DWORD WriteStoreFile(const fs::path& file, const std::string& bytes, std::shared_ptr<HeldFile>& held) {
  const fs::path temp = file.string() + ".tmp";
  constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
  int fd = ::open(temp.c_str(), kFlags, 0666);
  if (fd < 0 && errno == ENOENT) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    fd = ::open(temp.c_str(), kFlags, 0666);
  }
  if (fd < 0) return ERROR_WRITE_FAULT;
  // The new file stays open as the held file: written whole, then renamed over the old one.
  held = std::make_shared<HeldFile>(fd);
  const size_t done =
      TransferAll(bytes.size(), [&](size_t at) { return ::write(fd, bytes.data() + at, bytes.size() - at); });
  if (done != bytes.size() || ::rename(temp.c_str(), file.c_str()) != 0) {
    held.reset();
    ::unlink(temp.c_str());
    return ERROR_WRITE_FAULT;
  }
  return ERROR_SUCCESS;
}

// A store file as last read and decoded by this process. It is trusted while the store's change
// counter stands where it stood when the copy was read or last checked; else (and without a
// counter) while a stat shows the same stamp (see core/file_stamp.h), settled or of the file
// this process holds open; otherwise the file is read again, under the store lock, and decoded
// again only when its bytes changed. So a change another process made is always seen, and an
// unchanged store is decoded once.
template <class T>
struct DecodedFile {
  std::optional<FileStamp> stamp;
  bool settled = false;
  std::shared_ptr<HeldFile> held;  // the file decoded, kept open (see HeldFile)
  std::string bytes;
  std::shared_ptr<const T> value;
  std::optional<uint64_t> checkedAt;  // the change counter when the copy was last known current
};

// The files of one kind, each by a number naming it in the store (a printer's id, or 0).
template <class T>
class DecodedFiles {
 public:
  // The file's value decoded by `fields`; an absent file is an empty value. `path()` gives the
  // file, asked only when the change counter cannot vouch for the copy. `locked`: the caller
  // holds the store lock; otherwise a read that cannot use the cache takes it shared.
  template <class Path, class Fields>
  DWORD Get(uint32_t id, Path path, const char (&magic)[4], Fields fields, bool locked,
            std::shared_ptr<const T>& out) {
    const uint64_t root = MachineRootVersion();
    const std::optional<uint64_t> counter = StoreChanges().Read(root);  // before the file is looked at
    {
      std::lock_guard guard(mutex_);
      const DecodedFile<T>* cached = Find(root, id);
      if (cached && counter && cached->checkedAt == counter) {
        out = cached->value;
        return ERROR_SUCCESS;
      }
    }
    const fs::path file = path();
    if (file.empty()) return ERROR_PATH_NOT_FOUND;
    const std::optional<FileStamp> seen = StampOfFile(file);
    {
      std::lock_guard guard(mutex_);
      DecodedFile<T>* cached = Find(root, id);
      if (cached && (cached->settled || cached->held) && cached->stamp == seen) {
        cached->checkedAt = counter;
        out = cached->value;
        return ERROR_SUCCESS;
      }
    }
    std::optional<StoreLock> lock;
    if (!locked) {
      lock.emplace(false);
      if (!lock->held()) return ERROR_PATH_NOT_FOUND;
    }
    DecodedFile<T> read;
    read.checkedAt = counter;
    const DWORD error = ReadStoreFile(file, read.bytes, read.stamp, read.held);
    if (error != ERROR_SUCCESS) return error;
    std::lock_guard guard(mutex_);
    DecodedFile<T>& cached = Slot(root, id);
    if (cached.value && cached.bytes == read.bytes) {
      read.value = cached.value;
    } else if (!read.stamp) {
      read.value = std::make_shared<const T>();
    } else {
      RecordReader reader(read.bytes, magic);
      auto decoded = std::make_shared<T>();
      fields(reader, *decoded);
      if (!reader.ok() || !reader.AtEnd()) {
        files_.erase(id);
        return ERROR_INVALID_DATA;
      }
      read.value = std::move(decoded);
    }
    read.settled = !read.stamp || IsSettled(*read.stamp);  // an absent file cannot come back unseen
    out = read.value;
    cached = std::move(read);
    return ERROR_SUCCESS;
  }

  // Writes `value` encoded by `fields` to `file` (the caller holds the store lock exclusively),
  // counts the change and keeps the value.
  template <class Fields>
  DWORD Put(uint32_t id, const fs::path& file, const char (&magic)[4], Fields fields, T value) {
    RecordWriter writer(magic);
    fields(writer, value);
    const uint64_t root = MachineRootVersion();
    std::shared_ptr<HeldFile> held;
    const DWORD error = WriteStoreFile(file, writer.bytes(), held);
    const std::optional<uint64_t> counter = error == ERROR_SUCCESS ? StoreChanges().Bump(root) : std::nullopt;
    std::lock_guard guard(mutex_);
    if (error != ERROR_SUCCESS) {
      if (Find(root, id)) files_.erase(id);
      return error;
    }
    const bool open = held && held->fd() >= 0;
    Slot(root, id) = DecodedFile<T>{open ? StampOfDescriptor(held->fd()) : StampOfFile(file), false,
                                    open ? std::move(held) : nullptr, writer.bytes(),
                                    std::make_shared<const T>(std::move(value)), counter};
    return ERROR_SUCCESS;
  }

 private:
  // Reads a whole store file with its stamp: absent is no stamp and no bytes, oversized or
  // unreadable ERROR_INVALID_DATA.
  static DWORD ReadStoreFile(const fs::path& file, std::string& bytes, std::optional<FileStamp>& stamp,
                             std::shared_ptr<HeldFile>& held) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ERROR_SUCCESS : ERROR_INVALID_DATA;
    stamp = StampOfDescriptor(fd);
    DWORD result = ERROR_SUCCESS;
    if (!stamp || stamp->size < 0 || static_cast<uintmax_t>(stamp->size) > kMaxStoreFile) {
      result = ERROR_INVALID_DATA;
    } else {
      bytes.resize(static_cast<size_t>(stamp->size));
      const size_t done =
          TransferAll(bytes.size(), [&](size_t at) { return ::read(fd, bytes.data() + at, bytes.size() - at); });
      if (done != bytes.size()) result = ERROR_INVALID_DATA;
    }
    if (result == ERROR_SUCCESS) held = std::make_shared<HeldFile>(fd);
    else ::close(fd);
    return result;
  }

  // The entry of file `id` read from the root of `rootVersion`, if any.
  DecodedFile<T>* Find(uint64_t rootVersion, uint32_t id) {
    if (rootVersion != root_) return nullptr;
    const auto it = files_.find(id);
    return it == files_.end() ? nullptr : &it->second;
  }
  // The entry of file `id`; a new root starts afresh, and a process that went through many
  // printers keeps only a few files (and descriptors).
  DecodedFile<T>& Slot(uint64_t rootVersion, uint32_t id) {
    if (rootVersion != root_ || (files_.size() >= kMaxFiles && !files_.count(id))) files_.clear();
    root_ = rootVersion;
    return files_[id];
  }
  static constexpr size_t kMaxFiles = 16;

  std::mutex mutex_;
  uint64_t root_ = 0;  // the machine root's version that the files were read from
  std::map<uint32_t, DecodedFile<T>> files_;
};

using Values = std::vector<SpoolValue>;

DecodedFiles<SpoolState>& States() {
  static DecodedFiles<SpoolState> files;
  return files;
}
DecodedFiles<Values>& ValueFiles() {
  static DecodedFiles<Values> files;
  return files;
}

constexpr auto kStateFields = [](auto& io, SpoolState& s) { StateFields(io, s); };
constexpr auto kValuesFields = [](auto& io, Values& v) {
  using IO = std::remove_reference_t<decltype(io)>;
  io.List(v, ValueFields<IO>);
};

DWORD GetState(bool locked, std::shared_ptr<const SpoolState>& state) {
  return States().Get(0, StateFile, kStateMagic, kStateFields, locked, state);
}
DWORD GetValues(uint32_t printerId, bool locked, std::shared_ptr<const Values>& values) {
  return ValueFiles().Get(printerId, [&] { return ValuesFile(printerId); }, kValuesMagic, kValuesFields, locked,
                          values);
}

std::mutex g_hookMutex;
SpoolCallHook g_hook;

}  // namespace

// ---- Store access -----------------------------------------------------------------------------

DWORD ReadSpoolState(SpoolState& state) {
  std::shared_ptr<const SpoolState> read;
  const DWORD error = GetState(false, read);
  if (error == ERROR_SUCCESS) state = *read;
  return error;
}

DWORD ShareSpoolState(std::shared_ptr<const SpoolState>& state) { return GetState(false, state); }

DWORD EditSpoolState(const std::function<DWORD(SpoolState&)>& edit) {
  StoreLock lock(true);
  if (!lock.held()) return ERROR_PATH_NOT_FOUND;
  std::shared_ptr<const SpoolState> read;
  DWORD error = GetState(true, read);
  if (error != ERROR_SUCCESS) return error;
  SpoolState state = *read;
  error = edit(state);
  if (error != ERROR_SUCCESS) return error;
  ++state.generation;
  return States().Put(0, StateFile(), kStateMagic, kStateFields, std::move(state));
}

DWORD ReadPrinterValues(uint32_t printerId, std::vector<SpoolValue>& values) {
  std::shared_ptr<const Values> read;
  const DWORD error = GetValues(printerId, false, read);
  if (error == ERROR_SUCCESS) values = *read;
  return error;
}

DWORD SharePrinterValues(uint32_t printerId, std::shared_ptr<const std::vector<SpoolValue>>& values) {
  return GetValues(printerId, false, values);
}

DWORD EditPrinterValues(uint32_t printerId, const std::function<DWORD(std::vector<SpoolValue>&)>& edit) {
  StoreLock lock(true);
  if (!lock.held()) return ERROR_PATH_NOT_FOUND;
  std::shared_ptr<const Values> read;
  DWORD error = GetValues(printerId, true, read);
  if (error != ERROR_SUCCESS) return error;
  Values values = *read;
  error = edit(values);
  if (error != ERROR_SUCCESS) return error;
  return ValueFiles().Put(printerId, ValuesFile(printerId), kValuesMagic, kValuesFields, std::move(values));
}

// ---- Installing -------------------------------------------------------------------------------

DWORD AddSpoolDriver(const SpoolDriver& driver) {
  if (driver.name.empty()) return ERROR_INVALID_PARAMETER;
  return EditSpoolState([&](SpoolState& state) {
    for (SpoolDriver& d : state.drivers) {
      if (EqualsNoCase(d.name, driver.name) && EqualsNoCase(d.environment, driver.environment)) {
        d = driver;
        return ERROR_SUCCESS;
      }
    }
    state.drivers.push_back(driver);
    return ERROR_SUCCESS;
  });
}

DWORD AddSpoolPrinter(const SpoolPrinter& printer, SpoolPrinter* added) {
  // A connection is named "\\server\printer" after its server; a local printer has a plain name.
  const std::u16string prefix = printer.serverName + u"\\";
  const bool named = printer.serverName.empty()
                         ? IsValidPrinterName(printer.name)
                         : printer.serverName.starts_with(u"\\\\") && printer.name.starts_with(prefix) &&
                               IsValidPrinterName(std::u16string_view(printer.name).substr(prefix.size()));
  if (!named) return ERROR_INVALID_PRINTER_NAME;
  if (!printer.devmode.empty() && !IsSaneDevmode(printer.devmode.data(), printer.devmode.size()))
    return ERROR_INVALID_PARAMETER;
  return EditSpoolState([&](SpoolState& state) {
    if (FindPrinterIn(state, printer.name)) return ERROR_PRINTER_ALREADY_EXISTS;
    if (!FindDriverIn(state, printer.driverName, kSpoolEnvironment)) return ERROR_UNKNOWN_PRINTER_DRIVER;
    SpoolPrinter stored = printer;
    stored.id = state.nextPrinterId++;
    state.printers.push_back(stored);
    if (added) *added = stored;
    // A printer id is never reused, but a stale data file of a damaged store must not leak in.
    RemoveStoreFile(ValuesFile(stored.id));
    return ERROR_SUCCESS;
  });
}

DWORD DeleteSpoolPrinter(std::u16string_view name) {
  return EditSpoolState([&](SpoolState& state) {
    SpoolPrinter* printer = FindPrinterIn(state, name);
    if (!printer) return ERROR_INVALID_PRINTER_NAME;
    const uint32_t id = printer->id;
    RemoveStoreFile(ValuesFile(id));
    std::error_code ec;
    std::erase_if(state.jobs, [&](const SpoolJob& job) {
      if (job.printerId != id) return false;
      fs::remove(SpoolJobFile(job.id), ec);
      return true;
    });
    std::erase_if(state.printers, [&](const SpoolPrinter& p) { return p.id == id; });
    return ERROR_SUCCESS;
  });
}

DWORD UpdateSpoolPrinter(std::u16string_view name, const std::function<void(SpoolPrinter&)>& change) {
  return EditSpoolState([&](SpoolState& state) {
    SpoolPrinter* printer = FindPrinterIn(state, name);
    if (!printer) return ERROR_INVALID_PRINTER_NAME;
    change(*printer);
    return ERROR_SUCCESS;
  });
}

// ---- Looking ----------------------------------------------------------------------------------

std::optional<SpoolPrinter> FindSpoolPrinter(std::u16string_view name) {
  SpoolState state;
  if (ReadSpoolState(state) != ERROR_SUCCESS) return std::nullopt;
  const SpoolPrinter* printer = FindPrinterIn(state, name);
  return printer ? std::optional<SpoolPrinter>(*printer) : std::nullopt;
}

std::optional<SpoolJob> FindSpoolJob(uint32_t jobId) {
  SpoolState state;
  if (ReadSpoolState(state) != ERROR_SUCCESS) return std::nullopt;
  for (const SpoolJob& job : state.jobs)
    if (job.id == jobId) return job;
  return std::nullopt;
}

fs::path SpoolJobFile(uint32_t jobId) {
  const fs::path dir = StoreDir();
  return dir.empty() ? fs::path() : dir / "jobs" / (std::to_string(jobId) + ".spl");
}

size_t DevmodeByteCount(const void* devmode) {
  if (!devmode) return 0;
  const auto* bytes = static_cast<const BYTE*>(devmode);
  WORD size = 0;
  WORD extra = 0;
  std::memcpy(&size, bytes + offsetof(DEVMODEW, dmSize), sizeof size);
  std::memcpy(&extra, bytes + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
  if (size < kMinDevmodeSize || size > kMaxDevmodeSize) return 0;
  return size_t{size} + extra;
}

bool IsSaneDevmode(const void* bytes, size_t length) {
  if (!bytes || length < kMinDevmodeSize) return false;
  return DevmodeByteCount(bytes) == length;
}

// ---- Internal helpers shared by the spooler functions ----------------------------------------

const SpoolPrinter* FindPrinterIn(const SpoolState& state, std::u16string_view name) {
  for (const SpoolPrinter& p : state.printers)
    if (EqualsNoCase(p.name, name)) return &p;
  return nullptr;
}
SpoolPrinter* FindPrinterIn(SpoolState& state, std::u16string_view name) {
  return const_cast<SpoolPrinter*>(FindPrinterIn(std::as_const(state), name));
}

const SpoolPrinter* FindPrinterById(const SpoolState& state, uint32_t id) {
  for (const SpoolPrinter& p : state.printers)
    if (p.id == id) return &p;
  return nullptr;
}
SpoolPrinter* FindPrinterById(SpoolState& state, uint32_t id) {
  return const_cast<SpoolPrinter*>(FindPrinterById(std::as_const(state), id));
}

const SpoolPrinter* ShareHandlePrinter(const PrinterHandle& handle, std::shared_ptr<const SpoolState>& state) {
  if (DWORD error = ShareSpoolState(state); error != ERROR_SUCCESS) {
    SetLastError(error);
    return nullptr;
  }
  const SpoolPrinter* printer = FindPrinterById(*state, handle.printerId);
  if (!printer) SetLastError(ERROR_INVALID_HANDLE);
  return printer;
}

const SpoolDriver* FindDriverIn(const SpoolState& state, std::u16string_view name, std::u16string_view environment) {
  for (const SpoolDriver& d : state.drivers)
    if (EqualsNoCase(d.name, name) && EqualsNoCase(d.environment, environment)) return &d;
  return nullptr;
}
SpoolDriver* FindDriverIn(SpoolState& state, std::u16string_view name, std::u16string_view environment) {
  return const_cast<SpoolDriver*>(FindDriverIn(std::as_const(state), name, environment));
}

const SpoolJob* FindJobIn(const SpoolState& state, uint32_t jobId) {
  for (const SpoolJob& j : state.jobs)
    if (j.id == jobId) return &j;
  return nullptr;
}
SpoolJob* FindJobIn(SpoolState& state, uint32_t jobId) {
  return const_cast<SpoolJob*>(FindJobIn(std::as_const(state), jobId));
}

void NoteSpoolStoreChanged() {
  StoreLock lock(true);
  if (lock.held()) StoreChanges().Bump(MachineRootVersion());
}

void SetSpoolCallHook(SpoolCallHook hook) {
  std::lock_guard lock(g_hookMutex);
  g_hook = std::move(hook);
}

std::optional<SpoolFault> RunSpoolHook(std::string_view function, HANDLE printer, DWORD level, DWORD bufferSize) {
  SpoolCallHook hook;
  {
    std::lock_guard lock(g_hookMutex);
    hook = g_hook;
  }
  if (!hook) return std::nullopt;
  return hook(SpoolCall{function, printer, level, bufferSize});
}

}  // namespace velm::platform
