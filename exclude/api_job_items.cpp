#include "exclude/api_job_items.h"

#include <algorithm>

#include "settings/context/memory.h"
#include "settings/items/store.h"
#include "settings/persistence/paths.h"
#include "settings/services/job_credentials.h"
#include "settings/services/platform_tests.h"
#include "settings/services/spooler_info.h"

namespace jc = velm::jobcr;

namespace {

// The items Windows 9x writes one by one: (mask, service item, devmode item).
struct DirectWriteRow {
  DWORD mask;
  DWORD item;
  WORD devmodeItem;
};
constexpr DirectWriteRow kDirectWrites[] = {
    {0x2, jc::kItemOwnerName, 217},   {0x4, jc::kItemJobPassword, 220},    {0x8, jc::kItemUserId, 215},
    {0x10, jc::kItemDocumentName, 219}, {0x80, jc::kItemStoredPassword, 221},
};

constexpr DWORD kTextChars = jc::kMaxValueBytes / sizeof(WCHAR);

}  // namespace

DWORD ApiReadJobItems(DriverContext* context, DWORD mask) {
  if (!context) return ERROR_INVALID_PARAMETER;
  if (!SysIsWin9x()) return JcDispatch(context, kJcReadOnce, mask);
  DWORD status = ERROR_SUCCESS;
  for (const JcItemMapRow& map : kJcItemMap) {
    const auto bit = std::find_if(std::begin(kJcItemMaskTable), std::end(kJcItemMaskTable),
                                  [&](const JcItemMaskRow& row) { return row.item == map.item; });
    if (bit == std::end(kJcItemMaskTable) || !(mask & bit->mask)) continue;
    WCHAR text[kTextChars] = {};
    if (!JcReadItemDirect(context->printer, map.item, jc::kKindText, text)) continue;
    ItemTableRow* row = OptFindItem(context->itemTable, map.devmodeItem);
    if (!row || !OptSetString(context, row, text)) {
      if (status == ERROR_SUCCESS) status = ERROR_INVALID_DATA;
    }
  }
  return status;
}

DWORD ApiWriteJobItem(DriverContext* context, DWORD mask) {
  if (!context) return ERROR_INVALID_PARAMETER;
  if (!SysIsWin9x()) return JcDispatch(context, kJcWriteOnce, mask);
  DWORD status = ERROR_SUCCESS;
  for (const DirectWriteRow& write : kDirectWrites) {
    if (!(mask & write.mask)) continue;
    const JcItemMapRow* map = std::find_if(std::begin(kJcItemMap), std::end(kJcItemMap),
                                           [&](const JcItemMapRow& row) { return row.item == write.item; });
    WCHAR text[kTextChars] = {};
    OptGetString(context, OptFindItem(context->itemTable, write.devmodeItem), text, kTextChars);
    if (!ApiWriteJobItemDirect(context, write.item, jc::kKindText, text, map->bufferBytes) &&
        status == ERROR_SUCCESS)
      status = ERROR_WRITE_FAULT;
  }
  return status;
}

int ApiWriteJobItemDirect(DriverContext* context, DWORD item, DWORD kind, const void* data, DWORD size) {
  if (!context || !data) return 0;
  auto* info = static_cast<PRINTER_INFO_2W*>(PrnGetPrinterInfo(context->printer, 2));
  if (!info) return 0;
  // The service sits beside the driver's other companions, in the driver folder.
  WCHAR folder[MAX_PATH];
  WCHAR path[MAX_PATH];
  JcSession block{};
  int written = 0;
  if (info->pPrinterName && PrnGetDriverDirectoryTo(context->printer, folder) &&
      PathJoin(path, MAX_PATH, {folder, kJcServiceLibrary}) &&
      JcBindService(path, {jc::kVersion257}, block) == ERROR_SUCCESS &&
      block.table->open(info->pPrinterName, &block.session) == ERROR_SUCCESS) {
    written = block.table->write(block.session, item, kind, data, size) == ERROR_SUCCESS ? 1 : 0;
  } else {
    block.session = nullptr;
  }
  JcReleaseService(block);
  SysFree(info);
  return written;
}
