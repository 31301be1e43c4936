// Printer data: typed values of a printer under named keys, kept with their exact sizes.
// These functions return Win32 error codes rather than BOOL, as the registry functions do.
#include <algorithm>

#include "core/unicode.h"
#include "core/winerror.h"
#include "core/write_observer.h"
#include "spool/spool_internal.h"

namespace velm::platform {
namespace {

constexpr size_t kMaxValueNameUnits = 16383;  // the registry's own limit
constexpr size_t kMaxKeyNameUnits = 255;
constexpr DWORD kMaxValueBytes = 1u << 20;

template <class Values>
auto* FindValue(Values& values, std::u16string_view key, std::u16string_view name) {
  for (auto& v : values)
    if (EqualsNoCase(v.key, key) && EqualsNoCase(v.name, name)) return &v;
  return static_cast<decltype(&values[0])>(nullptr);
}

// Checks a key and value name given by a caller; ERROR_SUCCESS when both are usable.
DWORD CheckNames(LPCWSTR key, LPCWSTR name) {
  if (!key || !name) return ERROR_INVALID_PARAMETER;
  const size_t keyLength = Length16(key);
  if (keyLength == 0 || keyLength > kMaxKeyNameUnits) return ERROR_INVALID_PARAMETER;
  if (Length16(name) > kMaxValueNameUnits) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

DWORD GetValue(std::string_view function, HANDLE hPrinter, LPCWSTR key, LPCWSTR name, LPDWORD pType, LPBYTE pData, DWORD nSize,
               LPDWORD pcbNeeded) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return ERROR_INVALID_HANDLE;
  if (DWORD error = CheckNames(key, name); error != ERROR_SUCCESS) return error;
  if (!pcbNeeded || (nSize > 0 && !pData)) return ERROR_INVALID_PARAMETER;
  if (auto fault = RunSpoolHook(function, hPrinter, 0, nSize)) {
    *pcbNeeded = fault->needed;
    return fault->error;
  }
  std::shared_ptr<const std::vector<SpoolValue>> values;
  if (DWORD error = SharePrinterValues(handle->printerId, values); error != ERROR_SUCCESS) return error;
  const SpoolValue* value = FindValue(*values, key, name);
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (pType) *pType = value->type;
  *pcbNeeded = static_cast<DWORD>(value->data.size());
  if (nSize < value->data.size()) return ERROR_MORE_DATA;
  if (!value->data.empty()) std::memcpy(pData, value->data.data(), value->data.size());
  return ERROR_SUCCESS;
}

DWORD SetValue(HANDLE hPrinter, LPCWSTR key, LPCWSTR name, DWORD type, const BYTE* pData, DWORD cbData) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return ERROR_INVALID_HANDLE;
  if (DWORD error = CheckNames(key, name); error != ERROR_SUCCESS) return error;
  if ((cbData > 0 && !pData) || cbData > kMaxValueBytes) return ERROR_INVALID_PARAMETER;
  if (!(handle->granted & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
  std::string data(reinterpret_cast<const char*>(pData), cbData);
  ObservedWrite write;
  write.kind = ObservedWrite::Kind::kPrinterData;
  write.section = key;
  write.name = name;
  write.number = type;
  write.bytes = data;
  const DWORD error = EditPrinterValues(handle->printerId, [&](std::vector<SpoolValue>& values) {
    if (SpoolValue* value = FindValue(values, key, name)) {
      value->type = type;
      value->data = std::move(data);
    } else {
      values.push_back(SpoolValue{key, name, type, std::move(data)});
    }
    return ERROR_SUCCESS;
  });
  if (error == ERROR_SUCCESS) ReportWrite(write);
  return error;
}

DWORD DeleteValue(HANDLE hPrinter, LPCWSTR key, LPCWSTR name) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return ERROR_INVALID_HANDLE;
  if (DWORD error = CheckNames(key, name); error != ERROR_SUCCESS) return error;
  if (!(handle->granted & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
  return EditPrinterValues(handle->printerId, [&](std::vector<SpoolValue>& values) -> DWORD {
    const auto removed = std::erase_if(values, [&](const SpoolValue& v) {
      return EqualsNoCase(v.key, key) && EqualsNoCase(v.name, name);
    });
    return removed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

}  // namespace
}  // namespace velm::platform

using namespace velm::platform;

static const char16_t* const kDriverDataKey = u"PrinterDriverData";

extern "C" DWORD GetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                                 LPDWORD pcbNeeded) {
  return GetValue("GetPrinterDataW", hPrinter, kDriverDataKey, pValueName, pType, pData, nSize, pcbNeeded);
}

extern "C" DWORD GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, LPDWORD pType,
                                   LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded) {
  return GetValue("GetPrinterDataExW", hPrinter, pKeyName, pValueName, pType, pData, nSize, pcbNeeded);
}

extern "C" DWORD SetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, DWORD Type, LPBYTE pData, DWORD cbData) {
  return SetValue(hPrinter, kDriverDataKey, pValueName, Type, pData, cbData);
}

extern "C" DWORD SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, DWORD Type,
                                   LPBYTE pData, DWORD cbData) {
  return SetValue(hPrinter, pKeyName, pValueName, Type, pData, cbData);
}

extern "C" DWORD DeletePrinterDataW(HANDLE hPrinter, LPWSTR pValueName) {
  return DeleteValue(hPrinter, kDriverDataKey, pValueName);
}

extern "C" DWORD DeletePrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName) {
  return DeleteValue(hPrinter, pKeyName, pValueName);
}

extern "C" DWORD EnumPrinterDataW(HANDLE hPrinter, DWORD dwIndex, LPWSTR pValueName, DWORD cbValueName,
                                  LPDWORD pcbValueName, LPDWORD pType, LPBYTE pData, DWORD cbData,
                                  LPDWORD pcbData) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return ERROR_INVALID_HANDLE;
  if (!pcbValueName || !pcbData || (cbValueName > 0 && !pValueName) || (cbData > 0 && !pData))
    return ERROR_INVALID_PARAMETER;
  std::vector<SpoolValue> values;
  if (DWORD error = ReadPrinterValues(handle->printerId, values); error != ERROR_SUCCESS) return error;
  std::erase_if(values, [](const SpoolValue& v) { return !EqualsNoCase(v.key, kDriverDataKey); });
  if (values.empty() || dwIndex >= values.size()) return ERROR_NO_MORE_ITEMS;

  auto nameBytes = [](const SpoolValue& v) { return static_cast<DWORD>((v.name.size() + 1) * sizeof(char16_t)); };
  if (cbValueName == 0 && cbData == 0) {
    // The sizing call: the largest name and data, so that one pair of buffers serves every index.
    DWORD maxName = 0;
    DWORD maxData = 0;
    for (const SpoolValue& v : values) {
      maxName = std::max(maxName, nameBytes(v));
      maxData = std::max(maxData, static_cast<DWORD>(v.data.size()));
    }
    *pcbValueName = maxName;
    *pcbData = maxData;
    return ERROR_SUCCESS;
  }
  const SpoolValue& value = values[dwIndex];
  *pcbValueName = nameBytes(value);
  *pcbData = static_cast<DWORD>(value.data.size());
  if (pType) *pType = value.type;
  if (cbValueName < nameBytes(value) || cbData < value.data.size()) return ERROR_MORE_DATA;
  std::memcpy(pValueName, value.name.c_str(), nameBytes(value));
  if (!value.data.empty()) std::memcpy(pData, value.data.data(), value.data.size());
  return ERROR_SUCCESS;
}
