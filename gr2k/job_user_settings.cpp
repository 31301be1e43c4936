#include "gr2k/job_user_settings.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/context/memory.h"
#include "settings/devmode/merge.h"
#include "settings/items/store.h"
#include "settings/persistence/options.h"
#include "settings/persistence/paths.h"
#include "settings/services/bidi_saved_info.h"
#include "settings/services/job_credentials.h"
#include "settings/services/spooler_info.h"

namespace jc = velm::jobcr;

namespace {

// Marks the work area while the stored options are reloaded inside a document's merge.
constexpr DWORD kWorkLoadInDocumentMerge = 0x20000;

// The job items, in the order a device reset copies them.
constexpr WORD kJobItems[] = {kItemUserCode,     kItemOwnerName, kItemJOBPassword, kItemUserID,
                              kItemDocumentName, kItemTelNo,     kItemTelLine,     kItemStoredPassword};

// The string job items kept across the reload, with the longest value kept (ANSI bytes).
struct KeptString {
  WORD item;
  DWORD limit;
};
constexpr KeptString kKeptStrings[] = {
    {kItemUserID, 8},        {kItemUserCode, 8},     {kItemOwnerName, 16}, {kItemDocumentName, 16},
    {kItemJOBPassword, 8},   {kItemStoredPassword, 8}, {kItemTelNo, 64},
};
constexpr DWORD kLongestKept = 64;

struct KeptItems {
  char text[sizeof kKeptStrings / sizeof kKeptStrings[0]][kLongestKept + 1];
  DWORD telephoneLine;
};

constexpr DWORD kVersionUserKeyed = jc::kVersion259;
constexpr std::initializer_list<DWORD> kVersions = {jc::kVersion259, jc::kVersion258, jc::kVersion257};
constexpr DWORD kUserNameChars = 257;  // 256 and the terminator
constexpr DWORD kLongestBufferChars = 65;
constexpr WCHAR kUnknownUser[] = WSTR("UNKNOWN");

// The row of a string item of this context, or null.
ItemTableRow* AnsiRow(DriverContext* context, WORD item) {
  ItemTableRow* row = OptFindItem(context->itemTable, item);
  return row && DescriptorType(row->descriptor) == kTypeAnsi ? row : nullptr;
}

void KeepItems(DriverContext* context, KeptItems& kept) {
  std::memset(&kept, 0, sizeof kept);
  for (size_t i = 0; i < sizeof kKeptStrings / sizeof kKeptStrings[0]; ++i) {
    ItemTableRow* row = AnsiRow(context, kKeptStrings[i].item);
    const BYTE* field = row ? OptGetItemAddress(context, row) : nullptr;
    if (!field) continue;
    const DWORD length = static_cast<DWORD>(DescriptorLength(row->descriptor));
    DWORD chars = 0;
    while (chars < length && field[chars] != 0) ++chars;
    // A value longer than its limit (or without a terminator in its field) is not kept.
    if (chars <= kKeptStrings[i].limit && chars < length) std::memcpy(kept.text[i], field, chars);
  }
  kept.telephoneLine = OptGetValue(context, kItemTelLine);
}

void PutBackItems(DriverContext* context, const KeptItems& kept) {
  for (size_t i = 0; i < sizeof kKeptStrings / sizeof kKeptStrings[0]; ++i) {
    ItemTableRow* row = AnsiRow(context, kKeptStrings[i].item);
    if (row && kept.text[i][0] != 0)
      OptWriteBytes(context, row, kept.text[i], static_cast<DWORD>(std::strlen(kept.text[i]) + 1));
  }
  OptSetValue(context, kItemTelLine, kept.telephoneLine);
}

// Item 64 follows the devmode's collation: off unless the devmode names it, on when it asks
// for it. A devmode too short to hold dmCollate is taken as not naming it.
void TakeCollation(DriverContext* context, const DEVMODEW* devmode) {
  if (!devmode) return;
  DWORD fields = 0;
  short collate = 0;
  if (devmode->dmSize >= offsetof(DEVMODEW, dmCollate) + sizeof collate) {
    std::memcpy(&fields, reinterpret_cast<const BYTE*>(devmode) + offsetof(DEVMODEW, dmFields), sizeof fields);
    std::memcpy(&collate, reinterpret_cast<const BYTE*>(devmode) + offsetof(DEVMODEW, dmCollate), sizeof collate);
  }
  if (!(fields & DM_COLLATE))
    OptSetValue(context, kItemFuncSelectSort, 0);
  else if (collate == DMCOLLATE_TRUE)
    OptSetValue(context, kItemFuncSelectSort, 1);
}

DWORD MaskBit(DWORD item) {
  for (const JcItemMaskRow& row : kJcItemMaskTable)
    if (row.item == item) return row.mask;
  return 0;
}

// Binds the service from the system folder, else from the printer's driver folder.
DWORD BindService(HANDLE printer, JcSession& block) {
  WCHAR folder[MAX_PATH];
  WCHAR path[MAX_PATH];
  const UINT systemChars = GetSystemDirectoryW(folder, MAX_PATH);
  DWORD status = ERROR_PATH_NOT_FOUND;
  if (systemChars != 0 && systemChars < MAX_PATH &&
      PathJoin(path, MAX_PATH, {WStringView(folder, systemChars), WSTR("\\"), kJcServiceLibrary})) {
    status = JcBindService(path, kVersions, block);
    if (status == ERROR_SUCCESS || block.module) return status;
  }
  if (PrnGetDriverDirectoryTo(printer, folder) && PathJoin(path, MAX_PATH, {folder, kJcServiceLibrary}))
    status = JcBindService(path, kVersions, block);
  return status;
}

// The user whose values a version-259 read asks for: the job's owner as the spooler has it,
// else the logged-on user. Null when there is none; `job` is freed by the caller.
const WCHAR* JobUserName(HANDLE printer, DWORD jobId, JOB_INFO_1W*& job, WCHAR (&loggedOn)[kUserNameChars]) {
  job = static_cast<JOB_INFO_1W*>(PrnGetJobInfo(printer, jobId, 1));
  if (job && job->pUserName && job->pUserName[0] && lstrcmpiW(job->pUserName, kUnknownUser) != 0)
    return job->pUserName;
  DWORD chars = kUserNameChars;
  if (!GetUserNameW(loggedOn, &chars) || loggedOn[0] == 0) return nullptr;
  return loggedOn;
}

// Reads one credential item into its settings item; an item without a value, or whose reads
// fail, is left alone.
void ReadCredential(DriverContext* context, const JcSession& block, const WCHAR* user, const JcItemMapRow& map) {
  WCHAR text[kLongestBufferChars];
  bool read = false;
  DWORD status = ERROR_NOT_SUPPORTED;
  const auto readAs = [&](const WCHAR* owner) {
    return JcReadText(block.table, block.session, owner, map.item, jc::kKindText, text, map.bufferBytes, &read);
  };
  if (user) status = readAs(user);
  if (status != ERROR_SUCCESS) status = readAs(nullptr);
  if (status != ERROR_SUCCESS || !read) return;
  if (map.item == jc::kItemTelephoneLine)
    OptSetModelValueById(context, map.devmodeItem, static_cast<DWORD>(_wtoi(text)));
  else if (ItemTableRow* row = AnsiRow(context, map.devmodeItem))
    OptSetString(context, row, text);
}

constexpr bool BuffersFit() {
  for (const JcItemMapRow& row : kJcItemMap)
    if (row.bufferBytes > kLongestBufferChars * sizeof(WCHAR)) return false;
  return true;
}
static_assert(BuffersFit());

}  // namespace

BOOL JobReadControlValues(DriverContext* context, HANDLE printer, DWORD jobId, DWORD mask) {
  if (!context || !context->itemTable) return FALSE;
  auto* info = static_cast<PRINTER_INFO_2W*>(PrnGetPrinterInfo(printer, 2));
  if (!info) return FALSE;
  JcSession block{};
  JOB_INFO_1W* job = nullptr;
  WCHAR loggedOn[kUserNameChars] = {};
  const WCHAR* user = nullptr;
  bool reached = info->pPrinterName && BindService(printer, block) == ERROR_SUCCESS;
  if (reached && block.version >= kVersionUserKeyed) {
    user = JobUserName(printer, jobId, job, loggedOn);
    reached = user != nullptr;
  }
  reached = reached && block.table->open(info->pPrinterName, &block.session) == ERROR_SUCCESS;
  if (!reached) block.session = nullptr;
  for (const JcItemMapRow& map : kJcItemMap)
    if (reached && (mask & MaskBit(map.item))) ReadCredential(context, block, user, map);
  JcReleaseService(block);
  SysFree(job);
  SysFree(info);
  return reached;
}

BOOL JobMergeUserSettings(DriverContext* context, const DEVMODEW* savedDevmode, DWORD mergeFlags, HANDLE printer,
                          DWORD jobId) {
  if (!context || !context->work || !context->itemTable) return TRUE;
  KeptItems kept;
  KeepItems(context, kept);
  context->work->mergeFlags |= kWorkLoadInDocumentMerge;
  CfgLoadClass(printer, context, kCfgAllSections, 0, nullptr);
  if (BidiGetSavedFlag(context)) BidiLoadSavedInfo(context);
  DmMerge(context, savedDevmode, mergeFlags);
  TakeCollation(context, savedDevmode);
  PutBackItems(context, kept);
  if (JcIsSupported()) JobReadControlValues(context, printer, jobId, kJobCredentialMask);
  return TRUE;
}

void JobCopyUserSettings(DriverContext* newContext, DriverContext* oldContext) {
  if (!newContext || !oldContext || !newContext->itemTable || !oldContext->itemTable) return;
  for (const WORD item : kJobItems) {
    ItemTableRow* to = OptFindItem(newContext->itemTable, item);
    const ItemTableRow* from = OptFindItem(oldContext->itemTable, item);
    if (!to || !from || to->descriptor != from->descriptor) continue;
    if (IsByteType(DescriptorType(from->descriptor))) {
      if (const BYTE* bytes = OptGetItemAddress(oldContext, from))
        OptWriteBytes(newContext, to, bytes, static_cast<DWORD>(DescriptorLength(from->descriptor)));
    } else {
      OptWriteRaw(newContext, to, OptReadRaw(oldContext, from));
    }
  }
}
