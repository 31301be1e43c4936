#include "settings/services/job_credentials.h"

#include <algorithm>
#include <cstring>

#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/services/help_language.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"

namespace jc = velm::jobcr;

namespace {

constexpr std::initializer_list<DWORD> kVersions = {jc::kVersion258, jc::kVersion257};
constexpr const WCHAR kSignature[] = WSTR("VELM");
constexpr DWORD kDriverVersionBytes = 18;  // item 905 widened
// The widest item buffer (item 6): every text passes through a stack buffer of this size.
constexpr DWORD kMaxBufferChars = 65;
constexpr bool BuffersFit() {
  for (const JcItemMapRow& row : kJcItemMap)
    if (row.bufferBytes < 2 * sizeof(WCHAR) || row.bufferBytes > kMaxBufferChars * sizeof(WCHAR) ||
        row.bufferBytes % sizeof(WCHAR) != 0)
      return false;
  return true;
}
static_assert(BuffersFit() && kDriverVersionBytes <= kMaxBufferChars * sizeof(WCHAR));
// No credential comes near this; a larger needed size from the service is not believed.
constexpr DWORD kMaxValueBytes = 64u << 10;

static_assert(sizeof(JcSession) <= sizeof(ContextWorkArea::jobCredentialSession));

JcSession LoadBlock(const DriverContext* context) {
  JcSession block{};
  if (context && context->work) std::memcpy(&block, context->work->jobCredentialSession, sizeof block);
  return block;
}

void StoreBlock(DriverContext* context, const JcSession& block) {
  std::memcpy(context->work->jobCredentialSession, &block, sizeof block);
}

template <class Proc>
Proc Export(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

const JcItemMapRow* FindMapRow(DWORD item) {
  for (const JcItemMapRow& row : kJcItemMap)
    if (row.item == item) return &row;
  return nullptr;
}

bool IsDriverItem(DWORD item) {
  return item == jc::kItemSignature || item == jc::kItemVersionText || item == jc::kItemLanguage;
}

}  // namespace

DWORD JcBindService(const WCHAR* path, std::initializer_list<DWORD> versions, JcSession& block) {
  block.module = LoadLibraryW(path);
  if (!block.module) {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_MOD_NOT_FOUND;
  }
  block.getInterface = Export<jc::JCGetInterfaceProc>(block.module, "JCGetInterface");
  block.disposeInterface = Export<jc::JCDisposeInterfaceProc>(block.module, "JCDisposeInterface");
  if (!block.getInterface || !block.disposeInterface) return ERROR_PROC_NOT_FOUND;
  DWORD status = ERROR_SUCCESS;
  for (const DWORD version : versions) {
    jc::JcInterface* table = nullptr;
    status = block.getInterface(version, &table);
    if (status == ERROR_SUCCESS && table) {
      block.table = table;
      block.version = version;
      return ERROR_SUCCESS;
    }
  }
  return status != ERROR_SUCCESS ? status : ERROR_NOT_SUPPORTED;
}

void JcReleaseService(JcSession& block) {
  if (block.session && block.table) block.table->close(block.session);
  if (block.table && block.disposeInterface) block.disposeInterface(block.table);
  if (block.module) FreeLibrary(block.module);
  block = JcSession{};
}

DWORD JcReadText(const jc::JcInterface* table, jc::JcSessionHandle session, const WCHAR* user, DWORD item,
                DWORD kind, WCHAR* out, DWORD outBytes, bool* read) {
  *read = false;
  out[0] = 0;
  if (user && !table->readForUser) return ERROR_NOT_SUPPORTED;
  const auto readCall = [&](void* buffer, DWORD size, DWORD* needed) {
    return user ? table->readForUser(session, user, item, kind, buffer, size, needed)
                : table->read(session, item, kind, buffer, size, needed);
  };
  DWORD needed = 0;
  DWORD status = readCall(nullptr, 0, &needed);
  if (status == ERROR_INVALID_DATA || (status == ERROR_SUCCESS && needed == 0)) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  if (needed > kMaxValueBytes) return ERROR_INVALID_DATA;
  const DWORD bytes = std::max(needed, outBytes);
  auto* value = static_cast<WCHAR*>(SysAlloc(bytes + sizeof(WCHAR)));  // zeroed, ends in a NUL
  if (!value) return ERROR_NOT_ENOUGH_MEMORY;
  DWORD again = 0;
  status = readCall(value, bytes, &again);
  if (status == ERROR_SUCCESS) {
    const DWORD room = outBytes / sizeof(WCHAR) - 1;
    DWORD chars = 0;
    while (chars < room && value[chars] != 0) ++chars;
    std::memcpy(out, value, chars * sizeof(WCHAR));
    out[chars] = 0;
    *read = true;
  }
  SysFree(value);
  return status;
}

namespace {

// Turns a language value into the service's language identifier: sub-language << 10 | primary.
bool LanguageIdentifier(DriverContext* context, DWORD* identifier) {
  WORD primary = 0;
  WORD sub = 0;
  if (!ResFindLanguage(static_cast<WORD>(OptGetValue(context, kItemLanguageID)), &primary, &sub)) return false;
  *identifier = (DWORD(sub) << 10) | primary;
  return true;
}

void ClearUserCodeMarks(DriverContext* context) {
  OptSetValue(context, kItemUserCodeGet, 0);
  OptSetValue(context, kItemUserCodeDLL, 0);
}

// What a one-shot code found, so that it leaves the service and session as they were.
struct Borrowed {
  bool wasLoaded;
  bool wasOpen;
};

Borrowed Borrow(const DriverContext* context) {
  const JcSession block = LoadBlock(context);
  return {block.module != nullptr, block.session != nullptr};
}

void GiveBack(DriverContext* context, const Borrowed& found) {
  if (!found.wasOpen) JcCloseSession(context);
  if (!found.wasLoaded) JcUnload(context);
}

// Runs status slot 0 or 1 with the printer's name.
DWORD CallStatusSlot(DriverContext* context, int slot) {
  const JcSession block = LoadBlock(context);
  const WCHAR* name = PrnGetPrinterName(context);
  return slot == 0 ? block.table->status0(name ? name : WSTR("")) : block.table->status1(name ? name : WSTR(""));
}

}  // namespace

JcSession JcGetSession(const DriverContext* context) { return LoadBlock(context); }

DWORD JcLoad(DriverContext* context) {
  if (!context || !context->work) return ERROR_INVALID_PARAMETER;
  if (LoadBlock(context).module) return ERROR_SUCCESS;
  JcSession block{};
  WCHAR path[MAX_PATH];
  const WCHAR* folder = PrnGetDriverDirectory(context);
  DWORD status = folder && PathJoin(path, MAX_PATH, {folder, kJcServiceLibrary})
                     ? JcBindService(path, kVersions, block)
                     : ERROR_PATH_NOT_FOUND;
  if (status != ERROR_SUCCESS) JcReleaseService(block);
  StoreBlock(context, block);
  return status;
}

void JcUnload(DriverContext* context) {
  if (!context || !context->work) return;
  JcSession block = LoadBlock(context);
  JcReleaseService(block);
  StoreBlock(context, block);
}

DWORD JcOpenSession(DriverContext* context) {
  JcSession block = LoadBlock(context);
  if (!block.table) return ERROR_INVALID_HANDLE;
  if (block.session) return ERROR_SUCCESS;
  const WCHAR* name = PrnGetPrinterName(context);
  const DWORD status = block.table->open(name ? name : WSTR(""), &block.session);
  if (status != ERROR_SUCCESS) block.session = nullptr;
  StoreBlock(context, block);
  return status;
}

void JcCloseSession(DriverContext* context) {
  JcSession block = LoadBlock(context);
  if (!block.session) return;
  if (block.table) block.table->close(block.session);
  block.session = nullptr;
  StoreBlock(context, block);
}

DWORD JcReadOneItem(DriverContext* context, DWORD item) {
  const JcSession block = LoadBlock(context);
  if (!block.session || !block.table) return ERROR_SUCCESS;
  const JcItemMapRow* map = FindMapRow(item);
  if (!map) return kJcResultUnknownItem;
  ItemTableRow* row = OptFindItem(context->itemTable, map->devmodeItem);
  if (!row) return ERROR_SUCCESS;
  DWORD flags = 0;
  DWORD status = block.table->query(block.session, item, &flags);
  if (status != ERROR_SUCCESS || !(flags & jc::kFlagHasValue)) return status;
  WCHAR text[kMaxBufferChars];
  bool read = false;
  status = JcReadText(block.table, block.session, nullptr, item, jc::kKindText, text, map->bufferBytes, &read);
  if (status != ERROR_SUCCESS || !read || text[0] == 0) return status;
  if (item == jc::kItemTelephoneLine) {
    OptWriteRaw(context, row, static_cast<DWORD>(_wtoi(text)));
  } else {
    OptSetString(context, row, text);
  }
  return ERROR_SUCCESS;
}

DWORD JcWriteOneItem(DriverContext* context, DWORD item) {
  const JcSession block = LoadBlock(context);
  if (!block.session || !block.table) return ERROR_SUCCESS;
  const JcItemMapRow* map = FindMapRow(item);
  if (!map && !IsDriverItem(item)) return kJcResultUnknownItem;
  if (!map && block.version < jc::kVersion258) return ERROR_SUCCESS;

  // Text goes in its item's whole buffer: the text, then zeros.
  WCHAR text[kMaxBufferChars] = {};
  DWORD bytes = 0;
  if (item == jc::kItemLanguage) {
    DWORD language = 0;
    if (!LanguageIdentifier(context, &language)) return ERROR_NOT_FOUND;
    return block.table->write(block.session, item, jc::kKindNumber, &language, sizeof language);
  } else if (item == jc::kItemSignature) {
    std::memcpy(text, kSignature, sizeof kSignature);
    bytes = sizeof kSignature;
  } else if (item == jc::kItemVersionText) {
    bytes = kDriverVersionBytes;
    if (const ItemTableRow* row = OptFindItem(context->itemTable, kItemWdmDriverVersion))
      OptGetString(context, row, text, bytes / sizeof(WCHAR));
  } else if (item == jc::kItemTelephoneLine) {
    bytes = map->bufferBytes;
    // Signed, so that _wtoi on the way back gives every stored bit pattern again.
    _ltow(static_cast<LONG>(OptGetValue(context, map->devmodeItem)), text, 10);
  } else {
    const ItemTableRow* row = OptFindItem(context->itemTable, map->devmodeItem);
    if (!row) return ERROR_SUCCESS;
    bytes = map->bufferBytes;
    OptGetString(context, row, text, bytes / sizeof(WCHAR));
  }
  return block.table->write(block.session, item, jc::kKindText, text, bytes);
}

DWORD JcReadItem(DriverContext* context, DWORD mask) {
  if (!JcIsSupported()) return ERROR_SUCCESS;
  DWORD first = ERROR_SUCCESS;
  for (const JcItemMaskRow& row : kJcItemMaskTable) {
    if (!(mask & row.mask)) continue;
    const DWORD status = JcReadOneItem(context, row.item);
    if (first == ERROR_SUCCESS) first = status;
  }
  return first;
}

DWORD JcWriteItem(DriverContext* context, DWORD mask) {
  if (!JcIsSupported()) return ERROR_SUCCESS;
  DWORD first = ERROR_SUCCESS;
  for (const JcItemMaskRow& row : kJcItemMaskTable) {
    if (!(mask & row.mask)) continue;
    const DWORD status = JcWriteOneItem(context, row.item);
    if (first == ERROR_SUCCESS) first = status;
  }
  return first;
}

void JcClearItems(DriverContext* context, DWORD mask) {
  if (!context) return;
  for (const JcItemMaskRow& maskRow : kJcItemMaskTable) {
    const JcItemMapRow* map = FindMapRow(maskRow.item);
    if (!(mask & maskRow.mask) || !map) continue;
    ItemTableRow* row = OptFindItem(context->itemTable, map->devmodeItem);
    if (!row) continue;
    if (map->item == jc::kItemTelephoneLine) {
      OptSetModelValue(context, row, static_cast<DWORD>(DescGetDefaultValue(map->devmodeItem, context)));
    } else {
      OptSetString(context, row, nullptr);
    }
  }
}

DWORD JcDispatch(DriverContext* context, DWORD code, DWORD argument) {
  if (!context || !context->work) return ERROR_INVALID_PARAMETER;
  switch (code) {
    case kJcRead:
      return JcReadItem(context, argument);
    case kJcWrite:
      return JcWriteItem(context, argument);
    case kJcClearWrite:
      JcClearItems(context, argument);
      return JcWriteItem(context, argument);
    case kJcOpen:
    case kJcOpenReadAll: {
      DWORD status = JcLoad(context);
      if (status != ERROR_SUCCESS) return status;
      status = JcOpenSession(context);
      if (code == kJcOpen) return status;
      JcReadItem(context, kJcMaskAll);
      ClearUserCodeMarks(context);
      return status;
    }
    case kJcClose:
    case kJcCloseToo:
      JcCloseSession(context);
      JcUnload(context);
      return ERROR_SUCCESS;
    case kJcStatus0:
    case kJcStatus1: {
      const Borrowed found = Borrow(context);
      const DWORD loaded = JcLoad(context);
      if (loaded != ERROR_SUCCESS) return loaded;
      const DWORD status = CallStatusSlot(context, code == kJcStatus0 ? 0 : 1);
      GiveBack(context, found);
      if (code == kJcStatus0) ClearUserCodeMarks(context);
      return status;
    }
    case kJcReadOnce:
    case kJcWriteOnce: {
      const Borrowed found = Borrow(context);
      const DWORD loaded = JcLoad(context);
      if (loaded != ERROR_SUCCESS) return loaded;
      DWORD status = JcOpenSession(context);
      if (status == ERROR_SUCCESS) status = code == kJcReadOnce ? JcReadItem(context, argument)
                                                                : JcWriteItem(context, argument);
      GiveBack(context, found);
      if (code == kJcReadOnce) ClearUserCodeMarks(context);
      return status;
    }
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

BOOL JcReadItemDirect(HANDLE printer, DWORD item, DWORD kind, WCHAR* buffer) {
  const JcItemMapRow* map = FindMapRow(item);
  if (!buffer || !map) return FALSE;
  buffer[0] = 0;
  auto* info = static_cast<PRINTER_INFO_2W*>(PrnGetPrinterInfo(printer, 2));
  if (!info) return FALSE;
  JcSession block{};
  WCHAR folder[MAX_PATH];
  WCHAR path[MAX_PATH];
  bool read = false;
  if (info->pPrinterName && PrnGetDriverDirectoryTo(printer, folder) &&
      PathJoin(path, MAX_PATH, {folder, kJcServiceLibrary}) && JcBindService(path, kVersions, block) == ERROR_SUCCESS &&
      block.table->open(info->pPrinterName, &block.session) == ERROR_SUCCESS) {
    JcReadText(block.table, block.session, nullptr, item, kind, buffer, map->bufferBytes, &read);
  } else {
    block.session = nullptr;
  }
  JcReleaseService(block);
  SysFree(info);
  return read;
}
