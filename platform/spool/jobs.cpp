// Jobs: StartDocPrinterW opens a job whose bytes WritePrinter appends to the job's file;
// EndDocPrinter queues it with its size and pages, and as nothing stands between the queue and
// the device, the job counts as printed: when the handle that wrote it closes, its record and
// bytes go, unless the printer keeps printed documents (PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS).
// GetJobW and SetJobW read and change the record.
#include <chrono>
#include <ctime>

#include "core/path_map.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "spool/spool_internal.h"

namespace velm::platform {
namespace {

namespace fs = std::filesystem;

// WritePrinter's bytes gather in a buffer of this size and reach the job's file when it fills,
// at the end of each page and at the end of the document, as the client side of a spooler
// buffers them; a job still being written shows its size up to the last of those.
constexpr size_t kWriteBufferBytes = 64 * 1024;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

SYSTEMTIME NowUtc() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  ::gmtime_r(&seconds, &tm);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return SYSTEMTIME{static_cast<WORD>(tm.tm_year + 1900), static_cast<WORD>(tm.tm_mon + 1),
                    static_cast<WORD>(tm.tm_wday), static_cast<WORD>(tm.tm_mday), static_cast<WORD>(tm.tm_hour),
                    static_cast<WORD>(tm.tm_min), static_cast<WORD>(tm.tm_sec), static_cast<WORD>(ms)};
}

// The job's bytes also go to the file the document named (DOC_INFO_1W pOutputFile).
DWORD CopyToOutputFile(uint32_t jobId, const std::u16string& outputFile) {
  MappedPath target;
  DWORD error = ERROR_SUCCESS;
  if (!MapPath(outputFile, target, error)) return error;
  std::error_code ec;
  if (!fs::is_directory(target.host.parent_path(), ec)) return ERROR_PATH_NOT_FOUND;
  fs::copy_file(SpoolJobFile(jobId), target.host, fs::copy_options::overwrite_existing, ec);
  return ec ? ERROR_WRITE_FAULT : ERROR_SUCCESS;
}

void RemoveJob(SpoolState& state, uint32_t jobId) {
  std::error_code ec;
  fs::remove(SpoolJobFile(jobId), ec);
  std::erase_if(state.jobs, [&](const SpoolJob& j) { return j.id == jobId; });
}

DWORD JobPosition(const SpoolState& state, const SpoolJob& job) {
  DWORD position = 0;
  for (const SpoolJob& j : state.jobs) {
    if (j.printerId != job.printerId) continue;
    ++position;
    if (j.id == job.id) break;
  }
  return position;
}

void LayoutJob(const SpoolState& state, const SpoolJob& job, const SpoolPrinter* printer, DWORD level,
               InfoLayout& out) {
  DWORD size = job.size;
  if (job.status & JOB_STATUS_SPOOLING) {
    std::error_code ec;
    const uintmax_t now = fs::file_size(SpoolJobFile(job.id), ec);
    if (!ec) size = static_cast<DWORD>(std::min<uintmax_t>(now, UINT32_MAX));
  }
  const std::u16string machine = u"\\\\" + ComputerName();
  if (level == 1) {
    JOB_INFO_1W info{};
    info.JobId = job.id;
    info.Status = job.status;
    info.Priority = job.priority;
    info.Position = JobPosition(state, job);
    info.TotalPages = job.totalPages;
    info.PagesPrinted = job.pagesPrinted;
    info.Submitted = job.submitted;
    out.Put(0, info);
    out.String(0, offsetof(JOB_INFO_1W, pPrinterName), job.printerName);
    out.String(0, offsetof(JOB_INFO_1W, pMachineName), machine);
    out.String(0, offsetof(JOB_INFO_1W, pUserName), job.userName);
    out.String(0, offsetof(JOB_INFO_1W, pDocument), job.document);
    out.String(0, offsetof(JOB_INFO_1W, pDatatype), job.datatype);
    if (!job.statusText.empty()) out.String(0, offsetof(JOB_INFO_1W, pStatus), job.statusText);
    return;
  }
  JOB_INFO_2W info{};
  info.JobId = job.id;
  info.Status = job.status;
  info.Priority = job.priority;
  info.Position = JobPosition(state, job);
  info.TotalPages = job.totalPages;
  info.Size = size;
  info.Submitted = job.submitted;
  info.PagesPrinted = job.pagesPrinted;
  out.Put(0, info);
  out.String(0, offsetof(JOB_INFO_2W, pPrinterName), job.printerName);
  out.String(0, offsetof(JOB_INFO_2W, pMachineName), machine);
  out.String(0, offsetof(JOB_INFO_2W, pUserName), job.userName);
  out.String(0, offsetof(JOB_INFO_2W, pDocument), job.document);
  out.String(0, offsetof(JOB_INFO_2W, pNotifyName), job.notifyName);
  out.String(0, offsetof(JOB_INFO_2W, pDatatype), job.datatype);
  out.String(0, offsetof(JOB_INFO_2W, pPrintProcessor), printer ? printer->printProcessor : u"");
  out.String(0, offsetof(JOB_INFO_2W, pParameters), u"");
  out.String(0, offsetof(JOB_INFO_2W, pDriverName), printer ? printer->driverName : u"");
  if (const std::string* devmode = SaneDevmode(job.devmode)) out.Devmode(0, offsetof(JOB_INFO_2W, pDevMode), *devmode);
  if (!job.statusText.empty()) out.String(0, offsetof(JOB_INFO_2W, pStatus), job.statusText);
}

// Takes the fields of JOB_INFO_1W (level 1) or JOB_INFO_2W (level 2) that a caller may change.
DWORD ChangeJob(SpoolJob& job, DWORD level, const BYTE* data) {
  struct {
    LPWSTR user, document, datatype, status, notify;
    DWORD statusBits, priority;
  } change{};
  if (level == 1) {
    JOB_INFO_1W info;
    std::memcpy(&info, data, sizeof info);
    change = {info.pUserName, info.pDocument, info.pDatatype, info.pStatus, nullptr, info.Status, info.Priority};
  } else {
    JOB_INFO_2W info;
    std::memcpy(&info, data, sizeof info);
    change = {info.pUserName, info.pDocument, info.pDatatype, info.pStatus, info.pNotifyName, info.Status, info.Priority};
  }
  if (change.priority < MIN_PRIORITY || change.priority > MAX_PRIORITY) return ERROR_INVALID_PRIORITY;
  if (change.user) job.userName = change.user;
  if (change.document) job.document = change.document;
  if (change.datatype) job.datatype = change.datatype;
  if (change.notify) job.notifyName = change.notify;
  job.statusText = change.status ? std::u16string(change.status) : std::u16string();
  // Whether the job is still being written or on its way out is the spooler's to say.
  constexpr DWORD kSpoolerBits = JOB_STATUS_SPOOLING | JOB_STATUS_DELETING | JOB_STATUS_DELETED;
  job.status = (change.statusBits & ~kSpoolerBits) | (job.status & kSpoolerBits);
  job.priority = change.priority;
  return ERROR_SUCCESS;
}

DWORD RunJobCommand(SpoolState& state, SpoolJob& job, DWORD command) {
  switch (command) {
    case JOB_CONTROL_PAUSE:
      job.status |= JOB_STATUS_PAUSED;
      return ERROR_SUCCESS;
    case JOB_CONTROL_RESUME:
      job.status &= ~JOB_STATUS_PAUSED;
      return ERROR_SUCCESS;
    case JOB_CONTROL_RESTART:
      job.status |= JOB_STATUS_RESTART;
      return ERROR_SUCCESS;
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE:
      // A job still being written goes when its writer ends it; WritePrinter fails meanwhile.
      if (job.status & JOB_STATUS_SPOOLING)
        job.status |= JOB_STATUS_DELETING;
      else
        RemoveJob(state, job.id);
      return ERROR_SUCCESS;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

// Whether the document's job was cancelled meanwhile; the job is looked up again only in a
// store that changed since it was last seen alive.
bool WasCancelled(OpenDocument& doc) {
  std::shared_ptr<const SpoolState> state;
  if (ShareSpoolState(state) != ERROR_SUCCESS) return true;
  if (state == doc.aliveIn) return false;
  const SpoolJob* job = FindJobIn(*state, doc.jobId);
  if (!job || (job->status & (JOB_STATUS_DELETING | JOB_STATUS_DELETED))) return true;
  doc.aliveIn = std::move(state);
  return false;
}

}  // namespace

PrinterHandle::~PrinterHandle() {
  if (document.file) std::fclose(document.file);
}

void PrinterHandle::OnHandleClosed() {
  FinishDocument(*this);
  std::vector<uint32_t> printed;
  {
    std::lock_guard lock(mutex);
    printed.swap(printedJobs);
  }
  if (printed.empty()) return;
  EditSpoolState([&](SpoolState& state) {
    for (uint32_t jobId : printed) {
      const SpoolJob* job = FindJobIn(state, jobId);
      const SpoolPrinter* printer = job ? FindPrinterById(state, job->printerId) : nullptr;
      if (job && !(printer && (printer->attributes & PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS))) RemoveJob(state, jobId);
    }
    return ERROR_SUCCESS;
  });
}

DWORD FinishDocument(PrinterHandle& handle) {
  std::lock_guard lock(handle.mutex);
  OpenDocument& doc = handle.document;
  if (!doc.file) return ERROR_SPL_NO_STARTDOC;
  const bool written = std::fclose(doc.file) == 0;
  doc.file = nullptr;
  const OpenDocument finished = doc;
  doc = OpenDocument{};
  DWORD copyError = ERROR_SUCCESS;
  const DWORD error = EditSpoolState([&](SpoolState& state) -> DWORD {
    SpoolJob* job = FindJobIn(state, finished.jobId);
    if (!job) return ERROR_SUCCESS;  // deleted meanwhile
    if ((job->status & JOB_STATUS_DELETING) || !written) {
      RemoveJob(state, finished.jobId);
      return ERROR_SUCCESS;
    }
    job->status &= ~JOB_STATUS_SPOOLING;
    job->size = finished.written;
    job->totalPages = finished.pages;
    if (!job->outputFile.empty()) copyError = CopyToOutputFile(job->id, job->outputFile);
    handle.printedJobs.push_back(job->id);
    return ERROR_SUCCESS;
  });
  if (error != ERROR_SUCCESS) return error;
  if (!written) return ERROR_WRITE_FAULT;
  return copyError;
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" DWORD StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return 0;
  if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
  if (!pDocInfo) return Fail(ERROR_INVALID_PARAMETER);
  if (!(handle->granted & PRINTER_ACCESS_USE)) return Fail(ERROR_ACCESS_DENIED);
  DOC_INFO_1W doc;
  std::memcpy(&doc, pDocInfo, sizeof doc);
  std::lock_guard lock(handle->mutex);
  if (handle->document.file) return Fail(ERROR_INVALID_PRINTER_STATE);

  std::FILE* file = nullptr;
  std::shared_ptr<char[]> buffer;
  uint32_t jobId = 0;
  const DWORD error = EditSpoolState([&](SpoolState& state) -> DWORD {
    const SpoolPrinter* printer = FindPrinterById(state, handle->printerId);
    if (!printer) return ERROR_INVALID_HANDLE;
    SpoolJob job;
    job.id = state.nextJobId++;
    job.printerId = printer->id;
    job.printerName = printer->name;
    job.machineName = u"\\\\" + ComputerName();
    job.userName = CurrentUserName();
    job.document = doc.pDocName ? doc.pDocName : u"";
    job.outputFile = doc.pOutputFile ? doc.pOutputFile : u"";
    job.datatype = doc.pDatatype ? std::u16string(doc.pDatatype)
                   : !handle->datatype.empty() ? handle->datatype
                                               : printer->datatype;
    job.status = JOB_STATUS_SPOOLING;
    job.priority = printer->defaultPriority ? printer->defaultPriority : DEF_PRIORITY;
    job.submitted = NowUtc();
    job.devmode = !handle->devmode.empty() ? handle->devmode : EffectiveDevmode(*printer);
    const fs::path path = SpoolJobFile(job.id);
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    file = std::fopen(path.c_str(), "wbe");
    if (!file) return ERROR_WRITE_FAULT;
    buffer.reset(new char[kWriteBufferBytes]);
    std::setvbuf(file, buffer.get(), _IOFBF, kWriteBufferBytes);
    jobId = job.id;
    state.jobs.push_back(std::move(job));
    return ERROR_SUCCESS;
  });
  if (error != ERROR_SUCCESS) {
    if (file) std::fclose(file);
    return Fail(error);
  }
  handle->document = OpenDocument{jobId, file, std::move(buffer), 0, 0, {}};
  return jobId;
}

extern "C" BOOL StartPagePrinter(HANDLE hPrinter) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return FALSE;
  std::lock_guard lock(handle->mutex);
  if (!handle->document.file) return Fail(ERROR_SPL_NO_STARTDOC);
  ++handle->document.pages;
  return TRUE;
}

extern "C" BOOL EndPagePrinter(HANDLE hPrinter) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return FALSE;
  std::lock_guard lock(handle->mutex);
  if (!handle->document.file) return Fail(ERROR_SPL_NO_STARTDOC);
  if (std::fflush(handle->document.file) != 0) return Fail(ERROR_WRITE_FAULT);
  const OpenDocument doc = handle->document;
  const DWORD error = EditSpoolState([&](SpoolState& state) {
    if (SpoolJob* job = FindJobIn(state, doc.jobId)) job->totalPages = doc.pages;
    return ERROR_SUCCESS;
  });
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

extern "C" BOOL WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return FALSE;
  if (!pcWritten || (cbBuf > 0 && !pBuf)) return Fail(ERROR_INVALID_PARAMETER);
  *pcWritten = 0;
  std::lock_guard lock(handle->mutex);
  OpenDocument& doc = handle->document;
  if (!doc.file) return Fail(ERROR_SPL_NO_STARTDOC);
  if (WasCancelled(doc)) return Fail(ERROR_PRINT_CANCELLED);
  if (cbBuf > UINT32_MAX - doc.written) return Fail(ERROR_DISK_FULL);
  if (cbBuf > 0 && std::fwrite(pBuf, 1, cbBuf, doc.file) != cbBuf) return Fail(ERROR_WRITE_FAULT);
  doc.written += cbBuf;
  *pcWritten = cbBuf;
  return TRUE;
}

extern "C" BOOL EndDocPrinter(HANDLE hPrinter) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return FALSE;
  const DWORD error = FinishDocument(*handle);
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

extern "C" BOOL AbortPrinter(HANDLE hPrinter) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return FALSE;
  std::lock_guard lock(handle->mutex);
  OpenDocument& doc = handle->document;
  if (!doc.file) return Fail(ERROR_SPL_NO_STARTDOC);
  std::fclose(doc.file);
  const uint32_t jobId = doc.jobId;
  doc = OpenDocument{};
  const DWORD error = EditSpoolState([&](SpoolState& state) {
    RemoveJob(state, jobId);
    return ERROR_SUCCESS;
  });
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

extern "C" BOOL GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return FALSE;
  if (auto fault = RunSpoolHook("GetJobW", hPrinter, Level, cbBuf)) return AnswerFault(*fault, pcbNeeded);
  if (Level != 1 && Level != 2) return Fail(ERROR_INVALID_LEVEL);
  std::shared_ptr<const SpoolState> state;
  if (DWORD error = ShareSpoolState(state); error != ERROR_SUCCESS) return Fail(error);
  const SpoolJob* job = FindJobIn(*state, JobId);
  if (!job || job->printerId != handle->printerId) return Fail(ERROR_INVALID_PARAMETER);
  InfoLayout layout(Level == 1 ? sizeof(JOB_INFO_1W) : sizeof(JOB_INFO_2W), 1);
  LayoutJob(*state, *job, FindPrinterById(*state, job->printerId), Level, layout);
  return layout.Deliver(pJob, cbBuf, pcbNeeded);
}

extern "C" BOOL SetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return FALSE;
  if (Level > 2) return Fail(ERROR_INVALID_LEVEL);
  if ((Level == 0 && Command == 0) || (Level != 0 && !pJob)) return Fail(ERROR_INVALID_PARAMETER);
  const std::u16string user = CurrentUserName();
  const DWORD error = EditSpoolState([&](SpoolState& state) -> DWORD {
    SpoolJob* job = FindJobIn(state, JobId);
    if (!job || job->printerId != handle->printerId) return ERROR_INVALID_PARAMETER;
    if (!EqualsNoCase(job->userName, user) && !(handle->granted & PRINTER_ACCESS_ADMINISTER))
      return ERROR_ACCESS_DENIED;
    if (Level != 0)
      if (DWORD e = ChangeJob(*job, Level, pJob); e != ERROR_SUCCESS) return e;
    return Command != 0 ? RunJobCommand(state, *job, Command) : ERROR_SUCCESS;
  });
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}
