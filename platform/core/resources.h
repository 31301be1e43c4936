// Resources of a loaded module, found by type, name and language as Windows finds them in a
// DLL's resource section, and the string tables read through them.
//
// A module's resources are one image in its file's ELF section ".rsrc" (format below), read
// when the module's resources are first asked for and kept until the module is unloaded. Data
// modules (LOAD_LIBRARY_AS_DATAFILE) are read the same way. Types and names are 16-bit
// identifiers (MAKEINTRESOURCEW, or the text "#<decimal>"); named resources do not exist here.
//
// Language choice: FindResourceExW with a language takes that language, else the same primary
// language with another sub-language. FindResourceW (and LoadStringW) take, in this order, the
// user's UI language, its primary language, the neutral language (0), English (United States)
// and then the first language the module has for that type and name.
#pragma once

#include <cstddef>

#include "core/wintypes.h"

inline LPWSTR MAKEINTRESOURCEW(WORD id) { return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(id)); }
inline bool IS_INTRESOURCE(LPCWSTR name) { return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0; }

#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)

constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD LANG_ENGLISH = 0x09;
constexpr WORD LANG_JAPANESE = 0x11;
constexpr WORD SUBLANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;

// ---- The resource image -----------------------------------------------------------------
// Little-endian. A 16-byte header: "VRSC", u16 version 1, u16 entry count, u32 image size,
// u32 0. Then the entries, 16 bytes each, strictly ascending by (type, name, language):
// u16 type, u16 name, u16 language, u16 0, u32 offset of the data from the image start (a
// multiple of 4), u32 data size. The data follows. A string table (RT_STRING) named n holds
// strings 16(n-1) .. 16(n-1)+15: for each, a u16 length in characters and that many UTF-16
// characters, without a NUL.
namespace velm::platform {

inline constexpr char kResourceSection[] = ".rsrc";
inline constexpr BYTE kResourceMagic[4] = {'V', 'R', 'S', 'C'};
constexpr WORD kResourceVersion = 1;
constexpr DWORD kResourceHeaderBytes = 16;
constexpr DWORD kResourceEntryBytes = 16;
constexpr DWORD kResourceMaxImageBytes = DWORD(64) << 20;
constexpr DWORD kStringsPerTable = 16;

// The module `module` was unloaded: its image is let go. Called by the loader.
void DropModuleResources(HMODULE module);

}  // namespace velm::platform

extern "C" {
// The resource `name` of `type` in `module` (null = the executable). Null with
// ERROR_RESOURCE_DATA_NOT_FOUND (the module has no resources or a damaged image),
// ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_RESOURCE_LANG_NOT_FOUND or
// ERROR_MOD_NOT_FOUND (no such module). Note the argument order: FindResourceW takes the name
// first, FindResourceExW the type first, as on Windows.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language);
// The resource's bytes; 0 (ERROR_RESOURCE_DATA_NOT_FOUND) for a handle that `module` did not give.
DWORD SizeofResource(HMODULE module, HRSRC resource);
// The resource's data, valid while the module stays loaded; null for a handle that `module`
// did not give. LockResource answers its argument; FreeResource does nothing and answers FALSE.
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
BOOL FreeResource(HGLOBAL data);

// String `id` of the module's string tables. With `bufferMax` above 0: at most bufferMax-1
// characters and a NUL into `buffer`; the characters copied (0 and "" when the module has no
// such string). With `bufferMax` 0: `buffer` receives a pointer to the read-only text (not
// NUL-terminated) in place of characters; its length. 0 for a null buffer or negative bufferMax.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);
}
