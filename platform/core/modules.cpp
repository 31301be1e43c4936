#include "core/modules.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string_view>

#include "core/codepage.h"
#include "core/path_map.h"
#include "core/resources.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

enum class ModuleKind { kCode, kData, kSystem, kExecutable };

struct Module {
  ModuleKind kind = ModuleKind::kCode;
  void* object = nullptr;      // dlopen handle; null for data modules
  fs::path host;               // canonical host file
  std::u16string windowsPath;  // as first loaded; the executable's is worked out at each call
  unsigned references = 0;     // system modules and the executable are never unloaded
  std::set<std::string, std::less<>> withheld;  // exports the module took out of GetProcAddress's reach
};

// Windows' own libraries. All of them are the stand-in, which holds their functions.
constexpr std::u16string_view kSystemNames[] = {
    u"kernel32.dll", u"kernelbase.dll", u"ntdll.dll",   u"user32.dll",  u"gdi32.dll",
    u"advapi32.dll", u"shell32.dll",    u"ole32.dll",   u"oleaut32.dll", u"userenv.dll",
    u"winspool.drv", u"shlwapi.dll",    u"version.dll", u"comctl32.dll", u"comdlg32.dll",
    u"uxtheme.dll",  u"compstui.dll"};
constexpr std::u16string_view kSystemDirectory = u"C:\\Windows\\System32";
constexpr std::u16string_view kWindowsDirectory = u"C:\\Windows";

constexpr DWORD kDataFlags = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;
constexpr DWORD kKnownFlags = kDataFlags | LOAD_WITH_ALTERED_SEARCH_PATH | LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
                              LOAD_LIBRARY_SEARCH_SYSTEM32 | DONT_RESOLVE_DLL_REFERENCES;
constexpr uintptr_t kModuleSpacing = 0x10000;
constexpr size_t kMaxNameLength = 32767;
constexpr size_t kMaxExportNameLength = 4096;

std::recursive_mutex g_loaderLock;
uintptr_t g_nextModule = 0x10000000;
uintptr_t g_executable = 0;

// Never destroyed, so that a module freed from a static destructor still finds the table.
std::map<uintptr_t, Module>& Modules() {
  static auto* modules = new std::map<uintptr_t, Module>();
  return *modules;
}

struct SelfObject {
  void* object = nullptr;  // the stand-in's own dlopen handle
  fs::path path;
  uint16_t machine = 0;    // e_machine of the host's objects
};

// The shared object that holds this code: system names resolve to it.
const SelfObject& Self() {
  static const SelfObject self = [] {
    SelfObject s;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LoadLibraryExW), &info) && info.dli_fname && info.dli_fbase) {
      std::error_code ec;
      s.path = fs::absolute(info.dli_fname, ec);
      s.machine = static_cast<const ElfW(Ehdr)*>(info.dli_fbase)->e_machine;
      s.object = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    }
    return s;
  }();
  return self;
}

fs::path ExecutableHost() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec);
}

// Inside the root the executable has its own Windows path; outside it poses as a system program.
std::u16string ExecutableWindowsPath() {
  const fs::path host = ExecutableHost();
  std::u16string inside = HostToWindowsPath(host);
  if (!inside.empty()) return inside;
  return std::u16string(kSystemDirectory) + u"\\" + Utf8ToUtf16(host.filename().string());
}

std::u16string_view FileNamePart(std::u16string_view path) {
  const size_t cut = path.find_last_of(u"\\/:");
  return cut == std::u16string_view::npos ? path : path.substr(cut + 1);
}

bool IsBareName(std::u16string_view name) { return name.find_first_of(u"\\/:") == std::u16string_view::npos; }

// "x" -> "x.dll"; "x." and "x.drv" stay as they are.
std::u16string WithDefaultExtension(std::u16string name) {
  const std::u16string_view file = FileNamePart(name);
  if (!file.empty() && file.find(u'.') == std::u16string_view::npos) name += u".dll";
  return name;
}

// The name a file gets on disk: Windows drops trailing dots and blanks.
std::u16string_view StoredName(std::u16string_view name) {
  while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.remove_suffix(1);
  return name;
}

// System names and exports a test has taken away (a machine without that library or entry).
// Guarded by the loader lock.
std::set<std::u16string_view>& WithdrawnNames() {
  static auto* names = new std::set<std::u16string_view>();
  return *names;
}
std::set<std::string>& WithdrawnExports() {
  static auto* names = new std::set<std::string>();
  return *names;
}

std::optional<std::u16string_view> SystemName(std::u16string_view bareName) {
  for (std::u16string_view known : kSystemNames)
    if (EqualsNoCase(known, bareName)) {
      if (WithdrawnNames().count(known)) return std::nullopt;
      return known;
    }
  return std::nullopt;
}

uintptr_t AddModule(Module module, uintptr_t tag) {
  const uintptr_t handle = g_nextModule | tag;
  g_nextModule += kModuleSpacing;
  Modules().emplace(handle, std::move(module));
  return handle;
}

uintptr_t ExecutableModule() {
  if (!g_executable) {
    Module exe;
    exe.kind = ModuleKind::kExecutable;
    exe.object = dlopen(nullptr, RTLD_NOW);
    exe.host = ExecutableHost();
    g_executable = AddModule(std::move(exe), 0);
  }
  return g_executable;
}

// 0 when the stand-in cannot find itself.
uintptr_t SystemModule(std::u16string_view name) {
  for (const auto& [handle, module] : Modules())
    if (module.kind == ModuleKind::kSystem && EqualsNoCase(FileNamePart(module.windowsPath), name)) return handle;
  if (!Self().object) return 0;
  Module system;
  system.kind = ModuleKind::kSystem;
  system.object = Self().object;
  system.host = Self().path;
  system.windowsPath = std::u16string(kSystemDirectory) + u"\\" + std::u16string(name);
  return AddModule(std::move(system), 0);
}

Module* FindModule(HMODULE module) {
  const uintptr_t handle = module ? reinterpret_cast<uintptr_t>(module) : ExecutableModule();
  const auto it = Modules().find(handle);
  return it == Modules().end() ? nullptr : &it->second;
}

// A loaded module known by its bare name (".dll" appended already); 0 when none.
uintptr_t FindLoadedByName(std::u16string_view bareName) {
  const std::u16string_view name = StoredName(bareName);
  if (const auto system = SystemName(name)) return SystemModule(*system);
  for (const auto& [handle, module] : Modules())
    if (module.kind == ModuleKind::kCode && EqualsNoCase(FileNamePart(module.windowsPath), name)) return handle;
  if (EqualsNoCase(FileNamePart(ExecutableWindowsPath()), name)) return ExecutableModule();
  return 0;
}

uintptr_t FindLoadedByHost(const fs::path& host, ModuleKind kind) {
  for (const auto& [handle, module] : Modules())
    if (module.kind == kind && module.host == host) return handle;
  return 0;
}

// Only the object's own symbols: dlsym also searches the objects it depends on, and a Windows
// module does not export its imports.
void* FindExport(void* object, const char* name) {
  if (!object) return nullptr;
  void* symbol = dlsym(object, name);
  if (!symbol) return nullptr;
  link_map* own = nullptr;
  if (dlinfo(object, RTLD_DI_LINKMAP, &own) != 0 || !own) return nullptr;
  Dl_info info{};
  link_map* where = nullptr;
  if (!dladdr1(symbol, &info, reinterpret_cast<void**>(&where), RTLD_DL_LINKMAP) || where != own) return nullptr;
  return symbol;
}

// The module's entry: "DllMain", or "DllEntryPoint" for a module that names its entry so.
void* FindEntry(void* object) {
  void* entry = FindExport(object, "DllMain");
  return entry ? entry : FindExport(object, "DllEntryPoint");
}

bool CallEntry(void* entry, uintptr_t handle, DWORD reason) {
  try {
    return reinterpret_cast<DllEntryProc>(entry)(reinterpret_cast<HINSTANCE>(handle), reason, nullptr) != FALSE;
  } catch (...) {
    return false;  // an exception must not unwind through the loader
  }
}

struct Located {
  std::optional<std::u16string_view> systemName;
  fs::path host;
  std::u16string windowsPath;
};

// MapPath refusals that say something about the name itself are passed on; the rest mean
// "not there".
DWORD NameError(DWORD mapError) {
  return mapError == ERROR_INVALID_NAME || mapError == ERROR_FILENAME_EXCED_RANGE ? mapError : ERROR_MOD_NOT_FOUND;
}

// ERROR_SUCCESS when `path` maps onto a regular file; `found` tells whether it did.
DWORD TryFile(std::u16string_view path, Located& out, bool& found) {
  found = false;
  MappedPath mapped;
  DWORD error = 0;
  if (!MapPath(path, mapped, error)) return NameError(error) == ERROR_MOD_NOT_FOUND ? ERROR_SUCCESS : error;
  std::error_code ec;
  if (!fs::is_regular_file(mapped.host, ec)) return ERROR_SUCCESS;
  fs::path canonical = fs::canonical(mapped.host, ec);
  out.host = ec ? mapped.host : canonical;
  out.windowsPath = std::move(mapped.full);
  found = true;
  return ERROR_SUCCESS;
}

DWORD Locate(const std::u16string& name, DWORD flags, Located& out) {
  if (IsBareName(name)) {
    if ((out.systemName = SystemName(StoredName(name)))) return ERROR_SUCCESS;
    std::u16string folders[4];
    size_t count = 0;
    const bool systemOnly = flags & LOAD_LIBRARY_SEARCH_SYSTEM32;
    if (!systemOnly) {
      const std::u16string exe = HostToWindowsPath(ExecutableHost());
      if (!exe.empty()) folders[count++] = exe.substr(0, exe.rfind(u'\\'));
    }
    folders[count++] = kSystemDirectory;
    if (!systemOnly) {
      folders[count++] = kWindowsDirectory;
      folders[count++] = CurrentDirectory();
    }
    for (size_t i = 0; i < count; ++i) {
      bool found = false;
      if (const DWORD error = TryFile(folders[i] + u"\\" + name, out, found)) return error;
      if (found) return ERROR_SUCCESS;
    }
    return ERROR_MOD_NOT_FOUND;
  }
  MappedPath mapped;
  DWORD error = 0;
  if (!MapPath(name, mapped, error)) return NameError(error);
  const std::u16string_view file = FileNamePart(mapped.full);
  const std::u16string_view folder =
      std::u16string_view(mapped.full).substr(0, mapped.full.size() - file.size() - 1);
  if (EqualsNoCase(folder, kSystemDirectory) && (out.systemName = SystemName(file))) return ERROR_SUCCESS;
  bool found = false;
  if (const DWORD tryError = TryFile(mapped.full, out, found)) return tryError;
  return found ? ERROR_SUCCESS : ERROR_MOD_NOT_FOUND;
}

DWORD CheckReadable(const fs::path& host) {
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_MOD_NOT_FOUND;
  ::close(fd);
  return ERROR_SUCCESS;
}

// A shared object for this machine; anything else is "not a valid application". Checked before
// dlopen so that the answer does not depend on the wording of dlerror.
DWORD CheckLoadable(const fs::path& host) {
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_MOD_NOT_FOUND;
  ElfW(Ehdr) header{};
  const ssize_t got = ::pread(fd, &header, sizeof header, 0);
  ::close(fd);
  const bool loadable = got == static_cast<ssize_t>(sizeof header) &&
                        std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
                        header.e_ident[EI_CLASS] == (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) &&
                        header.e_type == ET_DYN && header.e_machine == Self().machine;
  return loadable ? ERROR_SUCCESS : ERROR_BAD_EXE_FORMAT;
}

// Why dlopen refused an object that looked loadable.
DWORD DlopenError(const char* message) {
  const std::string_view text = message ? message : "";
  if (text.find("cannot open shared object file") != std::string_view::npos) return ERROR_MOD_NOT_FOUND;
  if (text.find("undefined symbol") != std::string_view::npos) return ERROR_PROC_NOT_FOUND;
  return ERROR_BAD_EXE_FORMAT;
}

uintptr_t AddReference(uintptr_t handle) {
  Module& module = Modules().at(handle);
  if (module.kind == ModuleKind::kCode || module.kind == ModuleKind::kData) ++module.references;
  return handle;
}

// Runs under the loader lock. 0 with `error` set on failure.
uintptr_t LoadCode(const Located& located, DWORD& error) {
  if ((error = CheckLoadable(located.host))) return 0;
  dlerror();
  void* object = dlopen(located.host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!object) {
    error = DlopenError(dlerror());
    return 0;
  }
  // A second path onto the same file (a link) is the same module.
  for (const auto& [handle, module] : Modules())
    if (module.kind == ModuleKind::kCode && module.object == object) {
      dlclose(object);
      return AddReference(handle);
    }
  Module code;
  code.object = object;
  code.host = located.host;
  code.windowsPath = located.windowsPath;
  code.references = 1;
  const uintptr_t handle = AddModule(std::move(code), 0);
  void* entry = FindEntry(object);
  if (entry && !CallEntry(entry, handle, DLL_PROCESS_ATTACH)) {
    // Windows tells a module whose attach failed that it is detached again.
    CallEntry(entry, handle, DLL_PROCESS_DETACH);
    Modules().erase(handle);
    DropModuleResources(reinterpret_cast<HMODULE>(handle));
    dlclose(object);
    error = ERROR_DLL_INIT_FAILED;
    return 0;
  }
  return handle;
}

uintptr_t Load(std::u16string_view fileName, DWORD flags, DWORD& error) {
  std::lock_guard lock(g_loaderLock);
  const std::u16string name = WithDefaultExtension(std::u16string(fileName));
  // A bare name that is loaded already is that module, wherever it came from.
  if (IsBareName(name))
    if (const uintptr_t loaded = FindLoadedByName(name)) return AddReference(loaded);
  Located located;
  if ((error = Locate(name, flags, located))) return 0;
  if (located.systemName) {
    const uintptr_t system = SystemModule(*located.systemName);
    if (!system) error = ERROR_MOD_NOT_FOUND;
    return system;
  }
  if (const uintptr_t loaded = FindLoadedByHost(located.host, ModuleKind::kCode)) return AddReference(loaded);
  if (!(flags & kDataFlags)) return LoadCode(located, error);

  const uintptr_t tag = (flags & LOAD_LIBRARY_AS_IMAGE_RESOURCE) ? 2 : 1;
  for (const auto& [handle, module] : Modules())
    if (module.kind == ModuleKind::kData && module.host == located.host && (handle & 3) == tag)
      return AddReference(handle);
  if ((error = CheckReadable(located.host))) return 0;
  Module data;
  data.kind = ModuleKind::kData;
  data.host = located.host;
  data.windowsPath = located.windowsPath;
  data.references = 1;
  return AddModule(std::move(data), tag);
}

// Reads a caller's string up to `limit` characters; false when it is longer.
bool BoundedName(LPCWSTR text, size_t limit, std::u16string_view& out) {
  size_t length = 0;
  while (length <= limit && text[length]) ++length;
  if (length > limit) return false;
  out = std::u16string_view(text, length);
  return true;
}

}  // namespace

bool WithdrawSystemModule(std::u16string_view name, bool withdrawn) {
  std::lock_guard lock(g_loaderLock);
  for (std::u16string_view known : kSystemNames)
    if (EqualsNoCase(known, name)) {
      if (withdrawn)
        WithdrawnNames().insert(known);
      else
        WithdrawnNames().erase(known);
      return true;
    }
  return false;
}

void WithdrawSystemExport(std::string_view procName, bool withdrawn) {
  std::lock_guard lock(g_loaderLock);
  if (withdrawn)
    WithdrawnExports().emplace(procName);
  else
    WithdrawnExports().erase(std::string(procName));
}

bool WithholdModuleExport(HMODULE module, std::string_view procName) {
  try {
    std::lock_guard lock(g_loaderLock);
    Module* found = module ? FindModule(module) : nullptr;
    if (!found || found->kind != ModuleKind::kCode) return false;
    found->withheld.emplace(procName);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool QueryModule(HMODULE module, ModuleInfo& info) {
  try {
    std::lock_guard lock(g_loaderLock);
    const Module* found = FindModule(module);
    if (!found) return false;
    info.host = found->host;
    info.windowsPath = found->kind == ModuleKind::kExecutable ? ExecutableWindowsPath() : found->windowsPath;
    info.dataOnly = found->kind == ModuleKind::kData;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" HMODULE LoadLibraryW(LPCWSTR fileName) { return LoadLibraryExW(fileName, nullptr, 0); }

extern "C" HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName || strnlen(fileName, kMaxNameLength + 1) > kMaxNameLength) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  try {
    const std::u16string wide = AnsiToWide(fileName);
    return LoadLibraryExW(wide.c_str(), nullptr, 0);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

extern "C" HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE reserved, DWORD flags) {
  std::u16string_view name;
  if (!fileName || reserved || (flags & ~kKnownFlags) || !BoundedName(fileName, kMaxNameLength, name) ||
      name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // dlopen cannot map code without binding it.
  if (flags & DONT_RESOLVE_DLL_REFERENCES) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  try {
    DWORD error = ERROR_SUCCESS;
    const uintptr_t handle = Load(name, flags, error);
    if (!handle) SetLastError(error);
    return reinterpret_cast<HMODULE>(handle);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

extern "C" FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  // Names below 64K are ordinals, which ELF objects do not have.
  if (reinterpret_cast<uintptr_t>(procName) <= 0xFFFF ||
      strnlen(procName, kMaxExportNameLength + 1) > kMaxExportNameLength) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  try {
    std::lock_guard lock(g_loaderLock);
    const Module* found = FindModule(module);
    if (!found) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    void* symbol = FindExport(found->object, procName);  // a data module has no object, so no exports
    if (symbol && found->kind == ModuleKind::kSystem && WithdrawnExports().count(procName)) symbol = nullptr;
    if (symbol && found->withheld.count(std::string_view(procName))) symbol = nullptr;
    if (!symbol) {
      SetLastError(ERROR_PROC_NOT_FOUND);
      return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

extern "C" BOOL FreeLibrary(HMODULE module) {
  try {
    std::lock_guard lock(g_loaderLock);
    Module* found = module ? FindModule(module) : nullptr;
    if (!found) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return FALSE;
    }
    if (found->kind == ModuleKind::kSystem || found->kind == ModuleKind::kExecutable) return TRUE;
    if (--found->references > 0) return TRUE;
    const uintptr_t handle = reinterpret_cast<uintptr_t>(module);
    if (void* entry = FindEntry(found->object)) CallEntry(entry, handle, DLL_PROCESS_DETACH);
    // The detach may have loaded the module again; then it stays.
    const auto it = Modules().find(handle);
    if (it == Modules().end() || it->second.references > 0) return TRUE;
    void* object = it->second.object;
    Modules().erase(it);
    DropModuleResources(module);
    if (object) dlclose(object);
    return TRUE;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}

extern "C" HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  try {
    std::lock_guard lock(g_loaderLock);
    if (!moduleName) return reinterpret_cast<HMODULE>(ExecutableModule());
    std::u16string_view given;
    uintptr_t handle = 0;
    if (BoundedName(moduleName, kMaxNameLength, given) && !given.empty()) {
      const std::u16string name = WithDefaultExtension(std::u16string(given));
      if (IsBareName(name)) {
        handle = FindLoadedByName(name);
      } else {
        Located located;
        if (Locate(name, 0, located) == ERROR_SUCCESS) {
          if (located.systemName)
            handle = SystemModule(*located.systemName);
          else if (!(handle = FindLoadedByHost(located.host, ModuleKind::kCode)) &&
                   FindModule(nullptr)->host == located.host)
            handle = ExecutableModule();
        }
      }
    }
    if (!handle) SetLastError(ERROR_MOD_NOT_FOUND);
    return reinterpret_cast<HMODULE>(handle);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  ModuleInfo info;
  if (!QueryModule(module, info)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string& path = info.windowsPath;
  if (path.size() < size) {
    path.copy(fileName, path.size());
    fileName[path.size()] = 0;
    return static_cast<DWORD>(path.size());
  }
  path.copy(fileName, size - 1);
  fileName[size - 1] = 0;
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}
