// What the spooler's functions share behind winspool.h: the printer handle, the layout of
// returned structures in a caller's buffer, and lookups in the store's state.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/handles.h"
#include "spool/spool_store.h"
#include "spool/winspool.h"

namespace velm::platform {

constexpr size_t kMinDevmodeSize = offsetof(DEVMODEW, dmFields) + sizeof(DWORD);
constexpr size_t kMaxDevmodeSize = 1024;  // public part; today's is 220, later ones stay well below
constexpr size_t kMaxPrinterNameUnits = 220;

// ---- Handles ------------------------------------------------------------------------------

// A document being spooled through a handle.
struct OpenDocument {
  uint32_t jobId = 0;
  std::FILE* file = nullptr;
  std::shared_ptr<char[]> buffer;  // the file's write buffer, kept until the file is closed
  uint32_t written = 0;
  uint32_t pages = 0;
  // The store's decoded state in which the job was last found alive (the store hands out the same
  // state until the store changes).
  std::shared_ptr<const SpoolState> aliveIn;
};

// What OpenPrinterW hands out. A server handle (null printer name) has no printer.
class PrinterHandle : public KernelObject {
 public:
  bool server = false;
  uint32_t printerId = 0;
  ACCESS_MASK granted = 0;
  std::u16string datatype;  // from PRINTER_DEFAULTSW, for the jobs of this handle
  std::string devmode;      // likewise
  std::mutex mutex;         // guards `document` and `printedJobs`
  OpenDocument document;
  // Jobs this handle wrote and ended: the spooler lets go of them when the handle closes,
  // unless their printer keeps printed documents.
  std::vector<uint32_t> printedJobs;

  ~PrinterHandle() override;
  void OnHandleClosed() override;
};

// The handle's object, or null with ERROR_INVALID_HANDLE. `needPrinter` refuses server handles.
std::shared_ptr<PrinterHandle> LookupPrinterHandle(HANDLE handle, bool needPrinter = true);
// Ends the handle's open document, keeping what was written (ClosePrinter and EndDocPrinter).
DWORD FinishDocument(PrinterHandle& handle);

// ---- Store lookups (on a state already read or being edited) ------------------------------

// Each also takes a state shared read-only (ShareSpoolState).
SpoolPrinter* FindPrinterIn(SpoolState& state, std::u16string_view name);
const SpoolPrinter* FindPrinterIn(const SpoolState& state, std::u16string_view name);
SpoolPrinter* FindPrinterById(SpoolState& state, uint32_t id);
const SpoolPrinter* FindPrinterById(const SpoolState& state, uint32_t id);
// Reads the store, shared, and finds the handle's printer; null with the last error set
// (the store's error, or ERROR_INVALID_HANDLE when the printer is gone).
const SpoolPrinter* ShareHandlePrinter(const PrinterHandle& handle, std::shared_ptr<const SpoolState>& state);
SpoolDriver* FindDriverIn(SpoolState& state, std::u16string_view name, std::u16string_view environment);
const SpoolDriver* FindDriverIn(const SpoolState& state, std::u16string_view name, std::u16string_view environment);
SpoolJob* FindJobIn(SpoolState& state, uint32_t jobId);
const SpoolJob* FindJobIn(const SpoolState& state, uint32_t jobId);

// A local printer's name: 1 to 220 characters, none of them a control character, ',', '\\' or '!'.
bool IsValidPrinterName(std::u16string_view name);

// The calling user's name and this computer's, from the machine settings.
std::u16string CurrentUserName();
std::u16string ComputerName();
// Whether the calling user may administer `printer`.
bool MayAdminister(const SpoolPrinter& printer);
// The devmode GetPrinterW level 2 shows this user: the user's own, else the printer's.
const std::string& EffectiveDevmode(const SpoolPrinter& printer);
// The stored devmode when it is sane, else none: a damaged record is never handed out.
const std::string* SaneDevmode(const std::string& devmode);

std::optional<SpoolFault> RunSpoolHook(std::string_view function, HANDLE printer, DWORD level, DWORD bufferSize);

// ---- Returned structures ------------------------------------------------------------------

// Lays out structures the way the spooler returns them: an array of fixed structures at the
// start, then the strings and devmodes they point at. Pointers are kept as offsets until the
// whole block is copied into the caller's buffer.
class InfoLayout {
 public:
  InfoLayout(size_t structSize, size_t count) : bytes_(structSize * count), structSize_(structSize) {}

  // Copies a filled structure (its pointer fields are ignored) into slot `index`.
  template <class T>
  void Put(size_t index, const T& value) {
    std::memcpy(bytes_.data() + index * structSize_, &value, sizeof(T));
  }
  // Points the field at `fieldOffset` of slot `index` at a copy of `text` with its NUL.
  void String(size_t index, size_t fieldOffset, std::u16string_view text);
  // The same for a NUL-separated list ending in a second NUL.
  void MultiString(size_t index, size_t fieldOffset, const std::vector<std::u16string>& items);
  // The same for a devmode; an empty one leaves a null pointer.
  void Devmode(size_t index, size_t fieldOffset, const std::string& devmode);

  size_t Size() const { return bytes_.size(); }
  // The Windows answer for a sized query: the needed size always; the block when it fits.
  BOOL Deliver(LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded) const;

 private:
  void Attach(size_t index, size_t fieldOffset, const void* data, size_t length, size_t align);

  std::vector<BYTE> bytes_;
  size_t structSize_;
  std::vector<std::pair<size_t, size_t>> pointers_;  // (pointer field, data) offsets
};

// A sized query that the test hook answered: sets the last error and the size.
BOOL AnswerFault(const SpoolFault& fault, LPDWORD pcbNeeded);

}  // namespace velm::platform
