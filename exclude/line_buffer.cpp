#include "exclude/line_buffer.h"

#include <cstring>

#include "settings/context/memory.h"

BOOL ExcLineBufferInit(ExcLineBuffer* buffer) {
  if (!buffer) return FALSE;
  buffer->length = 0;
  buffer->text = static_cast<char*>(SysAlloc(kExcLineBufferStep));
  buffer->capacity = buffer->text ? kExcLineBufferStep : 0;
  return buffer->text != nullptr;
}

void ExcLineBufferFree(ExcLineBuffer* buffer) {
  if (!buffer) return;
  SysFree(buffer->text);
  buffer->text = nullptr;
  buffer->capacity = 0;
  buffer->length = 0;
}

BOOL ExcLineBufferReserve(ExcLineBuffer* buffer, DWORD more) {
  if (!buffer) return FALSE;
  // The text, `more` bytes and the NUL; computed in 64 bits so that no size wraps.
  const ULONGLONG needed = ULONGLONG(buffer->length) + more + 1;
  if (buffer->text && needed <= buffer->capacity) return TRUE;
  if (needed > kExcLineBufferMaxBytes) return FALSE;
  const ULONGLONG capacity = (needed + kExcLineBufferStep - 1) / kExcLineBufferStep * kExcLineBufferStep;
  auto* text = static_cast<char*>(SysAlloc(SIZE_T(capacity)));
  if (!text) return FALSE;
  if (buffer->text) std::memcpy(text, buffer->text, buffer->length);
  SysFree(buffer->text);
  buffer->text = text;
  buffer->capacity = DWORD(capacity);
  return TRUE;
}

BOOL ExcLineBufferAppend(ExcLineBuffer* buffer, const char* bytes, DWORD n) {
  if (!buffer || (n && !bytes) || !ExcLineBufferReserve(buffer, n)) return FALSE;
  if (n) std::memcpy(buffer->text + buffer->length, bytes, n);
  buffer->length += n;
  return TRUE;
}

BOOL ExcLineBufferAppendString(ExcLineBuffer* buffer, const char* text) {
  if (!text) return FALSE;
  const size_t n = std::strlen(text);
  if (n > kExcLineBufferMaxBytes) return FALSE;
  return ExcLineBufferAppend(buffer, text, DWORD(n));
}

BOOL ExcLineBufferAppendSetLine(ExcLineBuffer* buffer, const char* name, const char* value) {
  if (!buffer || !name || !value) return FALSE;
  const DWORD start = buffer->length;
  if (ExcLineBufferAppendString(buffer, "@PJL SET ") && ExcLineBufferAppendString(buffer, name) &&
      ExcLineBufferAppendString(buffer, " = ") && ExcLineBufferAppendString(buffer, value) &&
      ExcLineBufferAppendString(buffer, " \r\n"))
    return TRUE;
  ExcLineBufferTruncate(buffer, start);
  return FALSE;
}

BOOL ExcLineBufferAppendListEntry(ExcLineBuffer* buffer, const char* text) {
  if (!text) return FALSE;
  const size_t n = std::strlen(text);
  // Room for the text and its NUL first, so that an entry is appended whole or not at all.
  if (n >= kExcLineBufferMaxBytes || !ExcLineBufferReserve(buffer, DWORD(n) + 1)) return FALSE;
  return ExcLineBufferAppend(buffer, text, DWORD(n)) && ExcLineBufferAppendNul(buffer);
}

BOOL ExcLineBufferAppendNul(ExcLineBuffer* buffer) {
  static const char kNul = '\0';
  return ExcLineBufferAppend(buffer, &kNul, 1);
}

void ExcLineBufferTruncate(ExcLineBuffer* buffer, DWORD length) {
  if (!buffer || !buffer->text || length >= buffer->length) return;
  std::memset(buffer->text + length, 0, buffer->length - length);
  buffer->length = length;
}
