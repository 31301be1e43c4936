#include <limits>

#include "core/winerror.h"
#include "spool/spool_internal.h"

namespace velm::platform {

void InfoLayout::Attach(size_t index, size_t fieldOffset, const void* data, size_t length, size_t align) {
  while (bytes_.size() % align != 0) bytes_.push_back(0);
  const size_t at = bytes_.size();
  bytes_.resize(at + length);
  if (length) std::memcpy(bytes_.data() + at, data, length);
  pointers_.emplace_back(index * structSize_ + fieldOffset, at);
}

void InfoLayout::String(size_t index, size_t fieldOffset, std::u16string_view text) {
  std::u16string copy(text);
  Attach(index, fieldOffset, copy.c_str(), (copy.size() + 1) * sizeof(char16_t), alignof(char16_t));
}

void InfoLayout::MultiString(size_t index, size_t fieldOffset, const std::vector<std::u16string>& items) {
  std::u16string list;
  for (const std::u16string& item : items) {
    list += item;
    list += u'\0';
  }
  list += u'\0';
  if (items.empty()) list += u'\0';  // an empty list is still two NULs
  Attach(index, fieldOffset, list.data(), list.size() * sizeof(char16_t), alignof(char16_t));
}

void InfoLayout::Devmode(size_t index, size_t fieldOffset, const std::string& devmode) {
  if (devmode.empty()) return;  // the field stays null
  Attach(index, fieldOffset, devmode.data(), devmode.size(), alignof(std::max_align_t));
}

BOOL InfoLayout::Deliver(LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded) const {
  if (!pcbNeeded || Size() > std::numeric_limits<DWORD>::max()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *pcbNeeded = static_cast<DWORD>(Size());
  if (Size() == 0) return TRUE;
  if (!buffer || cbBuf < Size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, bytes_.data(), bytes_.size());
  for (const auto& [field, data] : pointers_) {
    BYTE* target = buffer + data;
    std::memcpy(buffer + field, &target, sizeof target);
  }
  return TRUE;
}

BOOL AnswerFault(const SpoolFault& fault, LPDWORD pcbNeeded) {
  if (pcbNeeded) *pcbNeeded = fault.needed;
  if (fault.error == ERROR_SUCCESS) return TRUE;
  SetLastError(fault.error);
  return FALSE;
}

}  // namespace velm::platform
