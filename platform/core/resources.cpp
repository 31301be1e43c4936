#include "core/resources.h"

#include <elf.h>
#include <link.h>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "core/identity.h"
#include "core/modules.h"
#include "core/winerror.h"

namespace velm::platform {
namespace {

constexpr LANGID kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT);
constexpr WORD kStringTableType = 6;  // RT_STRING
constexpr size_t kMaxSectionHeaders = 65536;
constexpr size_t kMaxNameTableBytes = 1 << 20;
constexpr size_t kMaxNameDigits = 5;

WORD LoadU16(const BYTE* at) {
  WORD value;
  std::memcpy(&value, at, sizeof value);
  return value;
}
DWORD LoadU32(const BYTE* at) {
  DWORD value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// A module's image, checked once; entries point into `bytes`.
struct ResourceImage {
  std::vector<BYTE> bytes;
  WORD count = 0;

  const BYTE* Entry(WORD index) const { return bytes.data() + kResourceHeaderBytes + size_t{index} * kResourceEntryBytes; }
  WORD Type(WORD index) const { return LoadU16(Entry(index)); }
  WORD Name(WORD index) const { return LoadU16(Entry(index) + 2); }
  WORD Language(WORD index) const { return LoadU16(Entry(index) + 4); }
  // The entry a handle stands for, or nothing for a pointer that is not one of this image's.
  std::optional<WORD> IndexOf(HRSRC resource) const {
    const auto* at = reinterpret_cast<const BYTE*>(resource);
    const BYTE* first = Entry(0);
    if (count == 0 || at < first || at >= first + size_t{count} * kResourceEntryBytes) return std::nullopt;
    const size_t offset = static_cast<size_t>(at - first);
    if (offset % kResourceEntryBytes != 0) return std::nullopt;
    return static_cast<WORD>(offset / kResourceEntryBytes);
  }
  const BYTE* Data(WORD index) const { return bytes.data() + LoadU32(Entry(index) + 8); }
  DWORD Size(WORD index) const { return LoadU32(Entry(index) + 12); }
};

// Reads `size` bytes at `offset` of the file; false when the file is shorter.
bool ReadAt(std::ifstream& file, uint64_t offset, void* out, size_t size) {
  file.clear();
  file.seekg(static_cast<std::streamoff>(offset));
  if (!file) return false;
  file.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<size_t>(file.gcount()) == size;
}

// The bytes of the ELF section ".rsrc" of `host`; empty when it has none or the file is not
// an object of this machine's class.
std::vector<BYTE> ReadResourceSection(const std::filesystem::path& host) {
  std::ifstream file(host, std::ios::binary);
  if (!file) return {};
  file.seekg(0, std::ios::end);
  const std::streamoff end = file.tellg();
  if (end <= 0) return {};
  const uint64_t fileSize = static_cast<uint64_t>(end);
  // Whether [offset, offset + size) lies inside the file, without overflow.
  const auto inside = [fileSize](uint64_t offset, uint64_t size) {
    return offset <= fileSize && size <= fileSize - offset;
  };
  ElfW(Ehdr) header{};
  if (!ReadAt(file, 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) ||
      header.e_shentsize != sizeof(ElfW(Shdr)) || header.e_shoff == 0 || header.e_shoff >= fileSize)
    return {};
  // Extended numbering: section 0 holds the count and the name table's index.
  ElfW(Shdr) first{};
  if (!ReadAt(file, header.e_shoff, &first, sizeof first)) return {};
  const uint64_t count = header.e_shnum ? header.e_shnum : first.sh_size;
  const uint64_t names = header.e_shstrndx == SHN_XINDEX ? first.sh_link : header.e_shstrndx;
  if (count == 0 || count > kMaxSectionHeaders || names >= count ||
      !inside(header.e_shoff, count * sizeof(ElfW(Shdr))))
    return {};
  std::vector<ElfW(Shdr)> sections(count);
  if (!ReadAt(file, header.e_shoff, sections.data(), count * sizeof(ElfW(Shdr)))) return {};
  const ElfW(Shdr)& nameTable = sections[names];
  if (nameTable.sh_size > kMaxNameTableBytes || !inside(nameTable.sh_offset, nameTable.sh_size)) return {};
  std::vector<char> nameBytes(nameTable.sh_size + 1, 0);
  if (!ReadAt(file, nameTable.sh_offset, nameBytes.data(), nameTable.sh_size)) return {};
  for (const ElfW(Shdr)& section : sections) {
    if (section.sh_type != SHT_PROGBITS || section.sh_name >= nameTable.sh_size) continue;
    if (std::strcmp(nameBytes.data() + section.sh_name, kResourceSection) != 0) continue;
    if (section.sh_size < kResourceHeaderBytes || section.sh_size > kResourceMaxImageBytes ||
        !inside(section.sh_offset, section.sh_size))
      return {};
    std::vector<BYTE> bytes(section.sh_size);
    if (!ReadAt(file, section.sh_offset, bytes.data(), bytes.size())) return {};
    return bytes;
  }
  return {};
}

// The image in `bytes` when every part of it is sound: header, entry order, data in bounds and
// aligned, string tables that hold exactly sixteen strings.
std::shared_ptr<const ResourceImage> CheckImage(std::vector<BYTE> bytes) {
  if (bytes.size() < kResourceHeaderBytes || std::memcmp(bytes.data(), kResourceMagic, 4) != 0 ||
      LoadU16(bytes.data() + 4) != kResourceVersion)
    return nullptr;
  auto image = std::make_shared<ResourceImage>();
  image->count = LoadU16(bytes.data() + 6);
  const DWORD size = LoadU32(bytes.data() + 8);
  if (size > bytes.size() || size < kResourceHeaderBytes + DWORD{image->count} * kResourceEntryBytes) return nullptr;
  bytes.resize(size);  // the section may be padded past the image
  image->bytes = std::move(bytes);
  uint64_t previous = 0;
  for (WORD i = 0; i < image->count; ++i) {
    const BYTE* entry = image->Entry(i);
    const uint64_t key = (uint64_t{image->Type(i)} << 32) | (uint64_t{image->Name(i)} << 16) | image->Language(i);
    const DWORD offset = LoadU32(entry + 8);
    const DWORD length = LoadU32(entry + 12);
    if ((i > 0 && key <= previous) || image->Type(i) == 0 || image->Name(i) == 0 || offset % 4 != 0 ||
        offset > size || length > size - offset)
      return nullptr;
    previous = key;
    if (image->Type(i) == kStringTableType) {
      DWORD at = 0;
      for (DWORD s = 0; s < kStringsPerTable; ++s) {
        if (length - at < 2) return nullptr;
        at += 2 + 2 * DWORD{LoadU16(image->Data(i) + at)};
        if (at > length) return nullptr;
      }
    }
  }
  return image;
}

std::mutex g_imagesLock;

// Images by module handle; a module without resources maps to null.
std::map<HMODULE, std::shared_ptr<const ResourceImage>>& Images() {
  static auto* images = new std::map<HMODULE, std::shared_ptr<const ResourceImage>>();
  return *images;
}

// The module's image; null with the last error set when there is none. The loader is asked
// first and never while the image lock is held, since the loader calls DropModuleResources
// under its own lock.
std::shared_ptr<const ResourceImage> ImageOf(HMODULE module) {
  ModuleInfo info;
  if (!QueryModule(module, info)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const HMODULE key = module ? module : GetModuleHandleW(nullptr);
  std::lock_guard lock(g_imagesLock);
  auto it = Images().find(key);
  if (it == Images().end()) it = Images().emplace(key, CheckImage(ReadResourceSection(info.host))).first;
  if (!it->second) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return it->second;
}

// A type or name argument as its 16-bit identifier: MAKEINTRESOURCEW, or "#<decimal>".
std::optional<WORD> IdentifierOf(LPCWSTR name) {
  if (!name) return std::nullopt;
  if (IS_INTRESOURCE(name)) return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  if (name[0] != u'#') return std::nullopt;
  DWORD value = 0;
  size_t digits = 0;
  for (LPCWSTR at = name + 1; *at; ++at) {
    if (*at < u'0' || *at > u'9' || ++digits > kMaxNameDigits) return std::nullopt;
    value = value * 10 + static_cast<DWORD>(*at - u'0');
  }
  if (digits == 0 || value == 0 || value > 0xFFFF) return std::nullopt;
  return static_cast<WORD>(value);
}

constexpr WORD kAnyLanguage = 0xFFFF;  // FindResourceW's choice (not a language identifier)

// The entry of (type, name) in `language` by the rules in the header; null with the last error.
const BYTE* Find(const ResourceImage& image, LPCWSTR typeArg, LPCWSTR nameArg, WORD language) {
  const std::optional<WORD> type = IdentifierOf(typeArg);
  const std::optional<WORD> name = IdentifierOf(nameArg);
  bool typeSeen = false;
  std::vector<WORD> candidates;
  for (WORD i = 0; i < image.count; ++i) {
    if (!type || image.Type(i) != *type) continue;
    typeSeen = true;
    if (name && image.Name(i) == *name) candidates.push_back(i);
  }
  if (!typeSeen) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  if (candidates.empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const auto exact = [&](LANGID wanted) -> const BYTE* {
    for (WORD i : candidates)
      if (image.Language(i) == wanted) return image.Entry(i);
    return nullptr;
  };
  const auto primary = [&](LANGID wanted) -> const BYTE* {
    for (WORD i : candidates)
      if (PRIMARYLANGID(image.Language(i)) == PRIMARYLANGID(wanted)) return image.Entry(i);
    return nullptr;
  };
  if (language != kAnyLanguage) {
    const BYTE* found = exact(language);
    if (!found) found = primary(language);
    if (found) return found;
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return nullptr;
  }
  const LANGID user = GetUserDefaultUILanguage();
  for (const BYTE* found : {exact(user), primary(user), exact(LANG_NEUTRAL), exact(kEnglishUs)})
    if (found) return found;
  return image.Entry(candidates.front());
}

HRSRC FindIn(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
  try {
    const std::shared_ptr<const ResourceImage> image = ImageOf(module);
    if (!image) return nullptr;
    return reinterpret_cast<HRSRC>(const_cast<BYTE*>(Find(*image, type, name, language)));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

}  // namespace

void DropModuleResources(HMODULE module) {
  std::lock_guard lock(g_imagesLock);
  Images().erase(module);
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  return FindIn(module, type, name, kAnyLanguage);
}

extern "C" HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
  return FindIn(module, type, name, language);
}

extern "C" DWORD SizeofResource(HMODULE module, HRSRC resource) {
  try {
    const std::shared_ptr<const ResourceImage> image = ImageOf(module);
    const std::optional<WORD> index = image ? image->IndexOf(resource) : std::nullopt;
    if (!index) {
      SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
      return 0;
    }
    return image->Size(*index);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

extern "C" HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  try {
    const std::shared_ptr<const ResourceImage> image = ImageOf(module);
    const std::optional<WORD> index = image ? image->IndexOf(resource) : std::nullopt;
    if (!index) {
      SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
      return nullptr;
    }
    // The image lives until the module is unloaded, like a mapped resource section.
    return const_cast<BYTE*>(image->Data(*index));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

extern "C" LPVOID LockResource(HGLOBAL data) { return data; }

extern "C" BOOL FreeResource(HGLOBAL) { return FALSE; }

extern "C" int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
  if (!buffer || bufferMax < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (bufferMax > 0) buffer[0] = 0;
  try {
    const std::shared_ptr<const ResourceImage> image = ImageOf(instance);
    if (!image) return 0;
    const WORD table = static_cast<WORD>(((id & 0xFFFF) >> 4) + 1);
    const BYTE* entry = Find(*image, RT_STRING, MAKEINTRESOURCEW(table), kAnyLanguage);
    if (!entry) return 0;
    const std::optional<WORD> index = image->IndexOf(reinterpret_cast<HRSRC>(const_cast<BYTE*>(entry)));
    // Checked when the image was read: the table holds sixteen strings within its data.
    const BYTE* at = image->Data(*index);
    for (UINT skip = id & (kStringsPerTable - 1); skip > 0; --skip) at += 2 + 2 * size_t{LoadU16(at)};
    const int length = LoadU16(at);
    const auto* text = reinterpret_cast<const WCHAR*>(at + 2);
    if (length == 0) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return 0;
    }
    if (bufferMax == 0) {
      const WCHAR* pointer = text;
      std::memcpy(buffer, &pointer, sizeof pointer);
      return length;
    }
    const int copied = length < bufferMax ? length : bufferMax - 1;
    std::memcpy(buffer, text, size_t(copied) * sizeof(WCHAR));
    buffer[copied] = 0;
    return copied;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}
