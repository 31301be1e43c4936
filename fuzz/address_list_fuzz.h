// The address list loader under arbitrary bytes: the first byte chooses the code page (odd 932,
// even 1252), the rest is the whole file. Shared by the fuzz target and the test that replays
// its corpus; both run on a machine root of their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/machine_root.h"
#include "ui2k/store/address_list.h"

namespace velm::fuzz {

inline constexpr char16_t kAddressListPath[] = u"C:\\_velm\\qnaddr.csv";

using AddressRecords = std::vector<std::vector<std::u16string>>;

// The records of the ring when its links, numbers, counts and field limits hold; else what broke.
inline std::string WalkAddressList(const CsvList* list, AddressRecords& records) {
  records.clear();
  if (list->count > kCsvMaxRecords) return "more records than the store holds";
  if ((list->count == 0) != (list->head == nullptr)) return "count and head disagree";
  DWORD unnamed = 0;
  const CsvNode* node = list->head;
  for (DWORD i = 0; i < list->count; ++i, node = node->next) {
    if (!node || node->next->prev != node) return "broken link";
    if (node->record->number != i + 1) return "wrong record number";
    if (!node->record->field1[0]) ++unnamed;
    records.emplace_back();
    for (DWORD f = 1; f <= kCsvFieldCount; ++f) {
      const std::u16string text = CsvFieldText(node->record, f);
      if (text.size() > CsvFieldLimit(f)) return "field over its limit";
      records.back().push_back(text);
    }
  }
  if (list->count && (node != list->head || list->head->prev != list->tail)) return "ring not closed";
  if (unnamed != list->unnamedCount) return "wrong unnamed count";
  return {};
}

inline std::string WriteListFile(const uint8_t* data, size_t size) {
  CreateDirectoryW(u"C:\\_velm", nullptr);
  HANDLE file = CreateFileW(kAddressListPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "cannot write the input";
  DWORD written = 0;
  const bool ok = size == 0 || WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
  return ok ? "" : "cannot write the input";
}

// Loads the input; a whole load is saved, and what the saved file loads to saves and loads
// back unchanged. "" when every invariant held, else what broke.
inline std::string CheckAddressList(const uint8_t* data, size_t size) {
  if (size == 0) return {};
  platform::SetMachineSetting("codepage", (data[0] & 1) ? "932" : "1252");
  if (std::string failure = WriteListFile(data + 1, size - 1); !failure.empty()) return failure;
  AddressRecords rounds[3];
  for (int round = 0; round < 3; ++round) {
    CsvList* list = nullptr;
    DWORD status = 0;
    if (!CsvLoadList(kAddressListPath, &list, &status)) return "load failed";
    std::string failure = WalkAddressList(list, rounds[round]);
    if (failure.empty() && status != kCsvStatusOk && status != kCsvStatusTooManyRecords &&
        status != kCsvStatusFieldTooLong)
      failure = "unexpected status " + std::to_string(status);
    if (failure.empty() && round > 0 && status != kCsvStatusOk) failure = "a saved list does not load whole";
    if (failure.empty() && round > 0 && rounds[round].size() != rounds[round - 1].size())
      failure = "a save changed the record count";
    const bool saved = failure.empty() && status == kCsvStatusOk && CsvSaveList(list, kAddressListPath);
    if (failure.empty() && status == kCsvStatusOk && !saved) failure = "a whole list was not saved";
    if (failure.empty() && status != kCsvStatusOk && CsvSaveList(list, kAddressListPath))
      failure = "a partial list was saved";
    CsvFreeList(list);
    if (!failure.empty()) return failure;
    if (!saved) return {};
  }
  if (rounds[2] != rounds[1]) return "a saved list does not load back equal";
  return {};
}

}  // namespace velm::fuzz
