// The status rows that carry text: a settings file (row 1), the print type with its credentials
// (row 10), the watermark of the scratch stamp (row 16) and the user id (row 26); and the record
// and item helpers every handler shares.
#include <algorithm>
#include <cstring>

#include "data/item_ids.h"
#include "exclude/api_job_items.h"
#include "exclude/api_model_tests.h"
#include "exclude/api_text_checks.h"
#include "exclude/status_handlers.h"
#include "settings/constraints/eval.h"
#include "settings/context/settings_history.h"
#include "settings/description/access.h"
#include "settings/devmode/item_checks.h"
#include "settings/items/store.h"
#include "settings/persistence/settings_export.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/platform_tests.h"

namespace {

// Row 10's record: packed ANSI fields after the job type and the flags.
constexpr DWORD kPrintTypeBytes = 392;
struct TextField {
  DWORD flag;
  DWORD offset;
  DWORD width;
  WORD item;
};
constexpr TextField kUserIdField = {0x1, 12, 9, kItemUserID};
constexpr TextField kJobPasswordField = {0x2, 21, 5, kItemJOBPassword};
constexpr TextField kStoredPasswordField = {0x4, 26, 5, kItemStoredPassword};
constexpr TextField kOwnerField = {0x8, 31, 17, kItemOwnerName};
constexpr TextField kDocumentField = {0x10, 48, 17, kItemDocumentName};
constexpr TextField kMergeField = {0x20, 65, 65, kItemMergeFileName};
constexpr TextField kOverlayField = {0x40, 130, 260, kItemOvlPath};
constexpr TextField kTextFields[] = {kUserIdField, kJobPasswordField, kStoredPasswordField, kOwnerField,
                                     kDocumentField, kMergeField, kOverlayField};
constexpr DWORD kAllTextFlags = 0x7F;
constexpr DWORD kJobTextBytes = 20;

// Job-credential masks of the items.
constexpr DWORD kMaskOwner = 0x2, kMaskJobPassword = 0x4, kMaskUserId = 0x8, kMaskDocument = 0x10,
                kMaskStoredPassword = 0x80;
constexpr DWORD kMaskCredentialsOfFile = kMaskOwner | kMaskJobPassword | kMaskUserId | kMaskDocument | kMaskStoredPassword;

// Print types.
constexpr DWORD kTypeNormal = 0, kTypeLocked = 1, kTypeProof = 2, kTypeStored = 3, kTypeMerge = 5,
                kTypeOverlay = 7, kTypeJobText = 255;
constexpr DWORD kPasswordLength = 4;

// Row 1's record.
constexpr DWORD kSettingsFileBytes = 816;
constexpr DWORD kFileNameOffset = 4, kFileNameWidth = 260;
constexpr DWORD kPresetNameOffset = 264, kPresetNameWidth = 37;
constexpr DWORD kCommentOffset = 301, kCommentWidth = 513;

// Row 26's record.
constexpr DWORD kUserIdBytes = 392;
constexpr DWORD kUserIdFlagOffset = 8;

// Row 16's record.
constexpr DWORD kWatermarkBytesV1 = 372, kWatermarkBytesV2 = 412;
constexpr DWORD kKindText = 1, kKindImage = 2, kKindOverlay = 3, kKindPattern = 128;

bool IsAllDigits(const char* text) {
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

DWORD Get(StatusCall& call, WORD item) { return OptGetValue(call.context, item); }

// A text item's value as ANSI, NUL-ended within `capacity`.
void ItemText(StatusCall& call, WORD item, char* out, DWORD capacity) {
  WCHAR wide[kFileNameWidth + 1] = {};
  OptGetString(call.context, OptFindItem(call.context->itemTable, item), wide, kFileNameWidth + 1);
  out[0] = 0;
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, out, static_cast<int>(capacity), nullptr, nullptr) <= 0) out[0] = 0;
  out[capacity - 1] = 0;
}

// The record's text fields, each read within its width; FALSE when a flagged one has no NUL.
struct PrintTypeTexts {
  char text[std::size(kTextFields)][kFileNameWidth + 1];
  const char* of(const TextField& field) const {
    for (size_t i = 0; i < std::size(kTextFields); ++i)
      if (kTextFields[i].offset == field.offset) return text[i];
    return "";
  }
};
BOOL ReadPrintTypeTexts(const BYTE* record, DWORD flags, PrintTypeTexts* texts) {
  for (size_t i = 0; i < std::size(kTextFields); ++i) {
    texts->text[i][0] = 0;
    const TextField& field = kTextFields[i];
    if ((flags & field.flag) && !RecordReadText(record, field.offset, field.width, texts->text[i])) return FALSE;
  }
  return TRUE;
}

// A user id given (flag) must be non-empty and alphanumeric; without the flag the one the
// service holds must not be empty.
bool UserIdPresent(StatusCall& call, DWORD flags, const PrintTypeTexts& texts) {
  if (flags & kUserIdField.flag) {
    const char* id = texts.of(kUserIdField);
    return id[0] != 0 && ApiIsAlnumName(id);
  }
  ApiReadJobItems(call.context, kMaskUserId);
  char held[16];
  ItemText(call, kItemUserID, held, sizeof held);
  return held[0] != 0;
}

bool JobPasswordPresent(StatusCall& call, DWORD flags, const PrintTypeTexts& texts) {
  if (flags & kJobPasswordField.flag) {
    const char* password = texts.of(kJobPasswordField);
    return std::strlen(password) == kPasswordLength && IsAllDigits(password);
  }
  ApiReadJobItems(call.context, kMaskJobPassword);
  char held[16];
  ItemText(call, kItemJOBPassword, held, sizeof held);
  return std::strlen(held) == kPasswordLength;
}

bool OptionalUserIdValid(DWORD flags, const PrintTypeTexts& texts) {
  return !(flags & kUserIdField.flag) || ApiIsAlnumName(texts.of(kUserIdField));
}

// The checks of each print type; the overlay path's full form goes to `overlayPath`.
bool PrintTypeAllows(StatusCall& call, DWORD type, DWORD flags, const PrintTypeTexts& texts, char* overlayPath) {
  switch (type) {
    case kTypeNormal: return OptionalUserIdValid(flags, texts);
    case kTypeLocked: return UserIdPresent(call, flags, texts) && JobPasswordPresent(call, flags, texts);
    case kTypeProof: return UserIdPresent(call, flags, texts);
    case kTypeStored: {
      if (!OptionalUserIdValid(flags, texts)) return false;
      const char* stored = texts.of(kStoredPasswordField);
      if ((flags & kStoredPasswordField.flag) &&
          (!IsAllDigits(stored) || (stored[0] != 0 && std::strlen(stored) != kPasswordLength)))
        return false;
      if ((flags & kOwnerField.flag) && ApiHasChar(texts.of(kOwnerField), '"')) return false;
      return !((flags & kDocumentField.flag) && ApiHasChar(texts.of(kDocumentField), '"'));
    }
    case kTypeMerge: return !(flags & kMergeField.flag) || ApiIsValidFileName(texts.of(kMergeField), FALSE);
    case kTypeOverlay: {
      if (Get(call, kItemFuncSelectWaterMark) != 0) return false;
      if (!(flags & kOverlayField.flag)) {
        char held[kFileNameWidth + 1];
        ItemText(call, kItemOvlPath, held, sizeof held);
        return held[0] != 0;
      }
      const char* path = texts.of(kOverlayField);
      if (!path[0] || !ApiIsOverlayFileName(path)) return false;
      if (!SysIsWin9x()) return ApiPrepareFilePath(path, overlayPath) == 1;
      WCHAR wide[MAX_PATH], shortPath[MAX_PATH];
      if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) <= 0 || !ApiGetShortPath(wide, shortPath)) return false;
      return WideCharToMultiByte(CP_ACP, 0, shortPath, -1, overlayPath, MAX_PATH, nullptr, nullptr) > 0;
    }
    default: return false;
  }
}

// Writes a flagged field into its item and queues its hand-over to the service.
bool WriteTextField(StatusCall& call, DWORD flags, const TextField& field, const char* text, DWORD mask) {
  if (!(flags & field.flag)) return true;
  if (!StatusSetText(call, field.item, text)) return false;
  call.pending.jobMask |= mask;
  return true;
}

// The text of a watermark field: the record's bounded field, which must not be empty.
bool ReadWatermarkText(const BYTE* record, DWORD offset, DWORD width, char* out) {
  return RecordReadText(record, offset, width, out) && out[0] != 0;
}

struct ColourRow {
  BYTE red, green, blue;
};
constexpr ColourRow kWatermarkColours[] = {{0, 0, 0},     {255, 0, 0},   {0, 255, 0},  {0, 0, 255},
                                           {0, 255, 255}, {255, 0, 255}, {255, 255, 0}};

// The watermark's numbers: (record offset, item), read by the get and checked by the set.
struct WatermarkNumber {
  DWORD offset;
  WORD item;
};
constexpr WatermarkNumber kWatermarkNumbers[] = {
    {4, kItemWmKind}, {8, kItemWmPosi},  {12, kItemWmOpaque}, {16, kItemWmPage},  {20, kItemWmFontStyle},
    {24, kItemWmEffect}, {28, kItemWmColorIndex}, {32, 112}, {36, 122}, {40, 119},
};
constexpr WatermarkNumber kPatternNumbers[] = {
    {372, 894}, {376, kItemWmPatternKind}, {380, kItemWmPatternAlign}, {384, kItemWmPatternDir},
    {388, 900}, {392, kItemWmTileKind},
};
constexpr DWORD kTextOffset = 44, kTextWidth = 33;
constexpr DWORD kFontOffset = 77, kFontWidth = 32;
constexpr DWORD kImageOffset = 109, kImageWidth = 260;

bool InRange(DWORD value, DWORD low, DWORD high) { return value >= low && value <= high; }

// The checks of a watermark record; the values are then written by SetWatermarkItems.
bool WatermarkAllows(StatusCall& call, const BYTE* record, char* text, char* font, char* image) {
  const DWORD kind = RecordLoad(record, 4);
  const DWORD position = RecordLoad(record, 8);
  const DWORD angle = RecordLoad(record, 40);
  const DWORD size = RecordLoad(record, 36);
  const bool textKind = kind == kKindText || kind == kKindPattern;
  if (kind == kKindPattern && (call.recordVersion < 2 || !(call.functionSwitches & kApiFuncPatternStamp))) return false;
  if (!StatusIsAccepted(call, kItemWmKind, kind)) return false;
  if ((textKind || kind == kKindImage) && !StatusIsAccepted(call, kItemWmPosi, position)) return false;
  if (RecordLoad(record, 12) > 1 || RecordLoad(record, 16) > 1) return false;
  if (RecordLoad(record, 28) >= std::size(kWatermarkColours) || RecordLoad(record, 32) > 100) return false;
  if (textKind && !InRange(size, 6, 999)) return false;
  if (kind == kKindImage && !InRange(size, 30, 999)) return false;
  if (angle >= 360 || (angle != 0 && position != 0 && position != 64)) return false;
  if (textKind && (!ReadWatermarkText(record, kTextOffset, kTextWidth, text) ||
                   !ReadWatermarkText(record, kFontOffset, kFontWidth, font) || !ApiIsFontPresent(font)))
    return false;
  if ((kind == kKindImage || kind == kKindOverlay) &&
      (!ReadWatermarkText(record, kImageOffset, kImageWidth, image) || !ApiCheckImageFile(kind, image)))
    return false;
  if (kind != kKindPattern) return true;
  if (RecordLoad(record, 372) >= 1000 || RecordLoad(record, 388) > 100) return false;
  for (WORD item : {kItemWmPatternKind, kItemWmPatternAlign, kItemWmPatternDir, kItemWmTileKind}) {
    const auto* number = std::find_if(std::begin(kPatternNumbers), std::end(kPatternNumbers),
                                      [&](const WatermarkNumber& n) { return n.item == item; });
    if (!StatusIsAccepted(call, item, RecordLoad(record, number->offset))) return false;
  }
  return true;
}

bool SetWatermarkItems(StatusCall& call, const BYTE* record, const char* text, const char* font, const char* image) {
  DriverContext* context = call.context;
  const DWORD kind = RecordLoad(record, 4);
  bool written = true;
  for (const WatermarkNumber& number : kWatermarkNumbers) {
    // The size is the font's point size for text, the scale of an image.
    const WORD item = number.offset == 36 && kind == kKindImage ? WORD{128} : number.item;
    written &= OptSetValue(context, item, RecordLoad(record, number.offset)) != FALSE;
  }
  if (kind == kKindPattern)
    for (const WatermarkNumber& number : kPatternNumbers)
      written &= OptSetValue(context, number.item, RecordLoad(record, number.offset)) != FALSE;
  const ColourRow& colour = kWatermarkColours[RecordLoad(record, 28)];
  written &= OptSetValue(context, kItemWmColorR, colour.red) && OptSetValue(context, kItemWmColorG, colour.green) &&
             OptSetValue(context, kItemWmColorB, colour.blue);
  if (text[0]) written &= StatusSetText(call, kItemWmCharName, text) && StatusSetText(call, kItemWmFontName, font);
  if (image[0]) written &= StatusSetText(call, kItemWmImage, image) != FALSE;
  return written;
}

}  // namespace

// ---- Shared ---------------------------------------------------------------------------------

BOOL RecordReadText(const BYTE* record, DWORD offset, DWORD width, char* out) {
  const void* end = std::memchr(record + offset, 0, width);
  out[0] = 0;
  if (!end) return FALSE;
  std::memcpy(out, record + offset, static_cast<const BYTE*>(end) - (record + offset) + 1);
  return TRUE;
}

void RecordWriteItemText(StatusCall& call, BYTE* record, DWORD offset, DWORD width, WORD item) {
  char text[kFileNameWidth + 1];
  ItemText(call, item, text, std::min<DWORD>(width, sizeof text));
  std::memset(record + offset, 0, width);
  std::memcpy(record + offset, text, std::min<size_t>(std::strlen(text), width - 1));
}

BOOL StatusIsAccepted(StatusCall& call, WORD item, DWORD value) {
  const int check = OptCheckValue(item, value, call.context);
  // An item the model gives no record is judged by its row's own checks alone.
  return check == kCheckAccepted || (check == kCheckHidden && DescGetNode(item, call.context) == nullptr);
}

BOOL StatusCheckedSet(StatusCall& call, WORD item, DWORD value) {
  return StatusIsAccepted(call, item, value) && OptSetValue(call.context, item, value);
}

BOOL StatusSetText(StatusCall& call, WORD item, const char* text) {
  WCHAR wide[kFileNameWidth + 1];
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kFileNameWidth + 1) <= 0) return FALSE;
  ItemTableRow* row = OptFindItem(call.context->itemTable, item);
  return row && OptSetString(call.context, row, wide);
}

void StatusQueueStore(StatusCall& call, WORD item) {
  StatusPendingWrites& pending = call.pending;
  for (DWORD i = 0; i < pending.storeCount; ++i)
    if (pending.storeItems[i] == item) return;
  if (pending.storeCount < kStatusRowItems) pending.storeItems[pending.storeCount++] = item;
}

// ---- Row 1 ----------------------------------------------------------------------------------

int StatusSetSettingsFile(StatusCall& call, const BYTE* record) {
  const DWORD type = Get(call, kItemPrnMethod);
  if (type == kTypeStored || type == kTypeMerge || type == kTypeOverlay) return -1;
  char name[kFileNameWidth + 1];
  WCHAR file[MAX_PATH];
  if (!RecordReadText(record, kFileNameOffset, kFileNameWidth, name) || !name[0] || !ApiIsValidPath(name)) return -1;
  if (MultiByteToWideChar(CP_ACP, 0, name, -1, file, MAX_PATH) <= 0) return -1;
  // A file that does not match this printer is refused before anything is kept.
  if (!XferLoad(call.context->printer, file, kXferRead, call.context)) return -1;
  if (CtxGetTransferStatus(call.context) == kXferStatusHeaderMismatch) return -1;
  call.pending.jobMask |= kMaskCredentialsOfFile;
  call.pending.saveSettings = true;
  return 1;
}

LONG StatusGetSettingsFile(StatusCall& call, BYTE* record) {
  if (!record) return kSettingsFileBytes;
  char name[kFileNameWidth + 1];
  WCHAR file[MAX_PATH];
  std::memset(record + kPresetNameOffset, 0, kSettingsFileBytes - kPresetNameOffset);
  if (!RecordReadText(record, kFileNameOffset, kFileNameWidth, name) || !name[0] || !ApiIsValidPath(name) ||
      MultiByteToWideChar(CP_ACP, 0, name, -1, file, MAX_PATH) <= 0)
    return kSettingsFileBytes;
  // The file's name and comment are read on a copy of the settings, which is then put back.
  if (!DmHistoryPush(call.context)) return kSettingsFileBytes;
  if (XferLoad(call.context->printer, file, kXferRead, call.context) &&
      CtxGetTransferStatus(call.context) != kXferStatusHeaderMismatch) {
    RecordWriteItemText(call, record, kPresetNameOffset, kPresetNameWidth, kItemPresetName);
    RecordWriteItemText(call, record, kCommentOffset, kCommentWidth, kItemPresetComment);
  }
  DmHistoryPop(call.context, TRUE);
  return kSettingsFileBytes;
}

// ---- Row 10 ---------------------------------------------------------------------------------

int StatusSetPrintType(StatusCall& call, const BYTE* record) {
  const DWORD type = RecordLoad(record, 4);
  const DWORD flags = RecordLoad(record, 8);
  if (type == kTypeJobText) {
    if (!(call.functionSwitches & kApiFuncUserCode)) return -1;
    if (!(flags & kOverlayField.flag)) return 1;
    char text[kJobTextBytes + 1] = {};
    std::memcpy(text, record + kOverlayField.offset, kJobTextBytes);
    return StatusSetText(call, kItemAPIJobText, text) ? 1 : -1;
  }
  PrintTypeTexts texts;
  if (!ReadPrintTypeTexts(record, flags, &texts)) return -1;
  if (!StatusIsAccepted(call, kItemPrnMethod, type)) return -1;
  char overlayPath[MAX_PATH] = {};
  if (!PrintTypeAllows(call, type, flags, texts, overlayPath)) return -1;
  if (!OptSetValue(call.context, kItemPrnMethod, type)) return -1;
  StatusQueueStore(call, kItemPrnMethod);
  bool written = true;
  switch (type) {
    case kTypeNormal:
    case kTypeProof: written = WriteTextField(call, flags, kUserIdField, texts.of(kUserIdField), kMaskUserId); break;
    case kTypeLocked:
      written = WriteTextField(call, flags, kUserIdField, texts.of(kUserIdField), kMaskUserId) &&
                WriteTextField(call, flags, kJobPasswordField, texts.of(kJobPasswordField), kMaskJobPassword);
      break;
    case kTypeStored:
      written = WriteTextField(call, flags, kUserIdField, texts.of(kUserIdField), kMaskUserId) &&
                WriteTextField(call, flags, kStoredPasswordField, texts.of(kStoredPasswordField), kMaskStoredPassword) &&
                WriteTextField(call, flags, kOwnerField, texts.of(kOwnerField), kMaskOwner) &&
                WriteTextField(call, flags, kDocumentField, texts.of(kDocumentField), kMaskDocument);
      break;
    case kTypeMerge: written = WriteTextField(call, flags, kMergeField, texts.of(kMergeField), 0); break;
    case kTypeOverlay:
      if (flags & kOverlayField.flag) {
        written = StatusSetText(call, kItemOvlPath, overlayPath) != FALSE;
        StatusQueueStore(call, kItemOvlPath);
      }
      break;
    default: break;
  }
  return written ? 1 : -1;
}

int StatusVerifyPrintType(StatusCall& call, const BYTE* record) {
  const DWORD type = RecordLoad(record, 4);
  return type == kTypeJobText || Get(call, kItemPrnMethod) == type ? 1 : -1;
}

LONG StatusGetPrintType(StatusCall& call, BYTE* record) {
  if (!record) return kPrintTypeBytes;
  if (RecordLoad(record, 4) == kTypeJobText && (call.functionSwitches & kApiFuncUserCode)) {
    std::memset(record + 8, 0, kPrintTypeBytes - 8);
    RecordWriteItemText(call, record, kOverlayField.offset, kJobTextBytes + 1, kItemAPIJobText);
    RecordStore(record, 8, kOverlayField.flag);
    return kPrintTypeBytes;
  }
  ApiReadJobItems(call.context, 0xFF);
  std::memset(record + 4, 0, kPrintTypeBytes - 4);
  RecordStore(record, 4, Get(call, kItemPrnMethod));
  RecordStore(record, 8, kAllTextFlags);
  for (const TextField& field : kTextFields) RecordWriteItemText(call, record, field.offset, field.width, field.item);
  return kPrintTypeBytes;
}

void StatusReapplyPrintType(StatusCall& call, const BYTE* record) {
  const DWORD type = RecordLoad(record, 4);
  const DWORD flags = RecordLoad(record, 8);
  struct Reapply {
    DWORD type;
    TextField field;
  };
  static constexpr Reapply kReapply[] = {
      {kTypeNormal, kUserIdField},    {kTypeLocked, kUserIdField},        {kTypeProof, kUserIdField},
      {kTypeStored, kUserIdField},    {kTypeLocked, kJobPasswordField},   {kTypeStored, kStoredPasswordField},
      {kTypeStored, kOwnerField},     {kTypeStored, kDocumentField},      {kTypeMerge, kMergeField},
      {kTypeOverlay, kOverlayField},
  };
  for (const Reapply& r : kReapply)
    if (r.type == type && (flags & r.field.flag))
      CondApplyNodeRules(DescGetNode(r.field.item, call.context), call.context);
}

// ---- Row 16 ---------------------------------------------------------------------------------

int StatusSetWatermark(StatusCall& call, const BYTE* record) {
  char text[kTextWidth + 1] = {}, font[kFontWidth + 1] = {}, image[kImageWidth + 1] = {};
  if (call.recordVersion == 0 || !WatermarkAllows(call, record, text, font, image)) return -1;
  if (!SetWatermarkItems(call, record, text, font, image)) return -1;
  call.pending.saveScratchStamp = true;
  return 1;
}

LONG StatusGetWatermark(StatusCall& call, BYTE* record) {
  const DWORD bytes = StatusRecordBytes(16, call.recordVersion);
  if (!record || bytes == 0) return bytes;
  DriverContext* context = call.context;
  // The scratch stamp is read on a copy of the settings, which is then put back.
  const bool pushed = DmHistoryPush(context) != FALSE;
  if (pushed && ApiHasScratchStamp(context)) LstLoadStamp(context, kApiScratchStamp);
  std::memset(record + 4, 0, bytes - 4);
  for (const WatermarkNumber& number : kWatermarkNumbers) RecordStore(record, number.offset, Get(call, number.item));
  if (Get(call, kItemWmKind) == kKindImage) RecordStore(record, 36, Get(call, 128));
  RecordWriteItemText(call, record, kTextOffset, kTextWidth, kItemWmCharName);
  RecordWriteItemText(call, record, kFontOffset, kFontWidth, kItemWmFontName);
  RecordWriteItemText(call, record, kImageOffset, kImageWidth, kItemWmImage);
  if (call.recordVersion >= 2)
    for (const WatermarkNumber& number : kPatternNumbers) RecordStore(record, number.offset, Get(call, number.item));
  if (pushed) DmHistoryPop(context, TRUE);
  return bytes;
}

// ---- Row 26 ---------------------------------------------------------------------------------

int StatusSetUserId(StatusCall& call, const BYTE* record) {
  char id[kUserIdField.width + 1];
  if (!RecordReadText(record, kUserIdField.offset, kUserIdField.width, id) || !ApiIsAlnumName(id)) return -1;
  const DWORD type = Get(call, kItemPrnMethod);
  if (!id[0] && (type == kTypeLocked || type == kTypeProof)) return -1;
  if (!StatusSetText(call, kItemUserID, id)) return -1;
  call.pending.jobMask |= kMaskUserId;
  return 1;
}

LONG StatusGetUserId(StatusCall& call, BYTE* record) {
  if (!record) return kUserIdBytes;
  ApiReadJobItems(call.context, kMaskUserId);
  std::memset(record + 4, 0, kUserIdBytes - 4);
  RecordWriteItemText(call, record, kUserIdField.offset, kUserIdField.width, kItemUserID);
  RecordStore(record, kUserIdFlagOffset, record[kUserIdField.offset] != 0 ? 0x1 : 0);
  return kUserIdBytes;
}

DWORD StatusRecordBytes(DWORD row, DWORD version) {
  switch (row) {
    case 1: return kSettingsFileBytes;
    case 10: return kPrintTypeBytes;
    case 26: return kUserIdBytes;
    case 16: return version >= 2 ? kWatermarkBytesV2 : version == 1 ? kWatermarkBytesV1 : 0;
    default: return row >= 1 && row <= kStatusRowCount ? 32 : 0;
  }
}
