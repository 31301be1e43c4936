// Engine services: printer output to the spooler job or a host's sink (with write faults), code pages,
// local time, memory and the last error.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "core/clock.h"
#include "core/codepage.h"
#include "core/memory.h"
#include "core/winerror.h"
#include "eng/eng_internal.h"
#include "spool/winspool.h"

namespace velm::platform {
namespace {

std::mutex g_printerMutex;
PrinterWriteSink g_sink;
PrinterWriteFault g_fault;
uint64_t g_accepted = 0;  // bytes accepted since the fault was set

}  // namespace

PrinterWriteSink SetPrinterWriteSink(PrinterWriteSink sink) {
  std::lock_guard<std::mutex> lock(g_printerMutex);
  std::swap(g_sink, sink);
  return sink;
}

void SetPrinterWriteFault(const PrinterWriteFault& fault) {
  std::lock_guard<std::mutex> lock(g_printerMutex);
  g_fault = fault;
  g_accepted = 0;
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" BOOL EngWritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten) {
  if (pcWritten) *pcWritten = 0;
  if (!pcWritten || (!pBuf && cbBuf)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  PrinterWriteSink sink;
  DWORD allowed = cbBuf;
  bool faulted = false, shortWrite = false;
  {
    std::lock_guard<std::mutex> lock(g_printerMutex);
    sink = g_sink;
    const uint64_t room = g_fault.limit > g_accepted ? g_fault.limit - g_accepted : 0;
    if (cbBuf > room) {
      allowed = static_cast<DWORD>(room);
      faulted = true;
      shortWrite = g_fault.shortWrite;
    }
  }
  if (!sink) sink = [](HANDLE printer, const BYTE* data, DWORD size, DWORD* done) {
    return WritePrinter(printer, const_cast<BYTE*>(data), size, done);
  };
  DWORD written = 0;
  if (allowed > 0 && !sink(hPrinter, static_cast<const BYTE*>(pBuf), allowed, &written)) {
    *pcWritten = written;
    return FALSE;
  }
  if (allowed == 0) written = 0;
  {
    std::lock_guard<std::mutex> lock(g_printerMutex);
    g_accepted += written;
  }
  *pcWritten = written;
  if (faulted && !shortWrite) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  return TRUE;
}

extern "C" void EngGetCurrentCodePage(PUSHORT OemCodePage, PUSHORT AnsiCodePage) {
  if (OemCodePage) *OemCodePage = static_cast<USHORT>(GetOEMCP());
  if (AnsiCodePage) *AnsiCodePage = static_cast<USHORT>(GetACP());
}

extern "C" void EngUnicodeToMultiByteN(LPSTR MultiByteString, ULONG MaxBytesInMultiByteString,
                                       PULONG BytesInMultiByteString, PWSTR UnicodeString,
                                       ULONG BytesInUnicodeString) {
  ULONG written = 0;
  const ULONG units = UnicodeString ? BytesInUnicodeString / 2 : 0;
  for (ULONG i = 0; i < units && MultiByteString;) {
    // One character at a time, so that a character that does not fit whole is left out.
    const int length = (UnicodeString[i] >= 0xD800 && UnicodeString[i] < 0xDC00 && i + 1 < units) ? 2 : 1;
    char bytes[8];
    const int converted = WideCharToMultiByte(CP_ACP, 0, UnicodeString + i, length, bytes, sizeof bytes, nullptr,
                                              nullptr);
    if (converted <= 0 || written + static_cast<ULONG>(converted) > MaxBytesInMultiByteString) break;
    std::memcpy(MultiByteString + written, bytes, converted);
    written += converted;
    i += length;
  }
  if (BytesInMultiByteString) *BytesInMultiByteString = written;
}

extern "C" void EngMultiByteToUnicodeN(LPWSTR UnicodeString, ULONG MaxBytesInUnicodeString,
                                       PULONG BytesInUnicodeString, PCHAR MultiByteString,
                                       ULONG BytesInMultiByteString) {
  ULONG written = 0;
  if (UnicodeString && MultiByteString && BytesInMultiByteString > 0 &&
      BytesInMultiByteString <= 0x7FFFFFFF) {
    const int count = static_cast<int>(BytesInMultiByteString);
    const int needed = MultiByteToWideChar(CP_ACP, 0, MultiByteString, count, nullptr, 0);
    if (needed > 0) {
      std::u16string wide(static_cast<size_t>(needed), u'\0');
      MultiByteToWideChar(CP_ACP, 0, MultiByteString, count, wide.data(), needed);
      const ULONG units = std::min<ULONG>(static_cast<ULONG>(needed), MaxBytesInUnicodeString / 2);
      std::memcpy(UnicodeString, wide.data(), units * 2);
      written = units * 2;
    }
  }
  if (BytesInUnicodeString) *BytesInUnicodeString = written;
}

extern "C" void EngQueryLocalTime(PENG_TIME_FIELDS ptf) {
  if (!ptf) return;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  ptf->usYear = now.wYear;
  ptf->usMonth = now.wMonth;
  ptf->usDay = now.wDay;
  ptf->usHour = now.wHour;
  ptf->usMinute = now.wMinute;
  ptf->usSecond = now.wSecond;
  ptf->usMilliseconds = now.wMilliseconds;
  ptf->usWeekday = now.wDayOfWeek;
}

extern "C" PVOID EngAllocMem(ULONG Flags, ULONG MemSize, ULONG) {
  if (MemSize == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return GlobalAlloc((Flags & FL_ZERO_MEMORY) ? GPTR : GMEM_FIXED, MemSize);
}

extern "C" void EngFreeMem(PVOID Mem) {
  if (Mem) GlobalFree(Mem);
}

extern "C" void EngSetLastError(ULONG iError) { SetLastError(iError); }

extern "C" ULONG EngGetLastError(void) { return GetLastError(); }
