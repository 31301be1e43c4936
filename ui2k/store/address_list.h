// The address list: up to 1000 address records in the file "qnaddr.csv" of the shared settings
// folder, loaded into a store that the remote-destination and address dialogs edit, and written
// back. The file is ANSI text in the machine's code page, one record a line, 13 fields
// separated by ',' without quoting; a byte after a double-byte lead byte is never a separator.
// Reading ignores '\r' and ends a record at '\n'; writing ends each record with CR LF.
#pragma once

#include "win32.h"

constexpr WCHAR kCsvFileName[] = WSTR("qnaddr.csv");

constexpr DWORD kCsvFieldCount = 13;
constexpr DWORD kCsvMaxRecords = 1000;
// Fields 7 and 8 are lists: up to kCsvMaxListValues values of up to kCsvMaxValueLength
// characters each, kept and written joined by '|'.
constexpr DWORD kCsvMaxListValues = 1000;
constexpr DWORD kCsvMaxValueLength = 64;
constexpr WCHAR kCsvValueSeparator = WCH('|');

// Status codes of a load or a save.
constexpr DWORD kCsvStatusOk = 0;
constexpr DWORD kCsvStatusTooManyRecords = 0x370000;
constexpr DWORD kCsvStatusFieldTooLong = 0x380000;
constexpr DWORD kCsvStatusNotFound = 0x370009;
constexpr DWORD kCsvStatusSharing = 0x360009;
constexpr DWORD kCsvStatusReadFailed = 0x420001;
constexpr DWORD kCsvStatusNoMemory = 0x420002;

// One address record. The fields are numbered 1 to 13; what each means is the dialogs' business.
// The two list fields are blocks of SysAlloc, null while empty.
struct CsvRecord {
  WCHAR field1[65];
  WCHAR field2[65];
  WCHAR field3[65];
  WCHAR field4[65];
  WCHAR field5[65];
  WCHAR field6[33];
  WCHAR* field7;
  WCHAR* field8;
  WCHAR field9[5];
  WCHAR field10[9];
  WCHAR field11[2];
  WCHAR field12[2];
  WCHAR field13[2];
  DWORD number;  // 1-based position in the list
};

// A node of the ring; node i of the pool carries record i of the block.
struct CsvNode {
  CsvNode* prev;
  CsvNode* next;
  CsvRecord* record;
};

// The record store: the block of records, the node pool with its free chain, and the ring of
// records in use (head->prev is the tail) with its counts.
struct CsvList {
  CsvRecord* records;
  CsvNode* pool;
  CsvNode* freeNodes;  // chained through `next`
  CsvNode* head;
  CsvNode* tail;
  DWORD count;         // records in the ring
  DWORD unnamedCount;  // records of the ring whose field 1 is empty
  DWORD loadStatus;    // how the load ended (kCsvStatus*)
  DWORD status;        // the last load or save status: a kCsvStatus* or a system error of a save
};

// The maximum length of field `field` (1..13) in characters; for the list fields the whole
// joined text. 0 for another number.
DWORD CsvFieldLimit(DWORD field);
// The text of field `field` ("" for an empty list field or another number).
const WCHAR* CsvFieldText(const CsvRecord* record, DWORD field);

// Allocates the store and loads `path` into it. A file that cannot be read leaves an empty list
// and still succeeds, with the reason in (*list)->status; a file with more than 1000 records or
// a field too long keeps the records before it and succeeds with that status. FALSE, *list
// null and *status kCsvStatusNoMemory only when memory for the store cannot be had.
BOOL CsvLoadList(const WCHAR* path, CsvList** list, DWORD* status);
// Writes every record of the ring in order to `path`, through a temporary file in the same
// folder renamed over it, so a failed save leaves the old file whole. FALSE with list->status
// the system error when a write fails; FALSE with the load's status, writing nothing, when the
// load did not read the whole file (too many records, a field too long, a file that could not
// be read), so that records the list never held are not lost.
BOOL CsvSaveList(CsvList* list, const WCHAR* path);
// Frees the records' list fields and the store; a null list is ignored.
void CsvFreeList(CsvList* list);

// How CsvAddRecord counts the records before which it inserts.
constexpr DWORD kCsvCountAll = 0;
constexpr DWORD kCsvCountNamed = 1;
// Takes a free record and node and inserts the empty record before the `before`-th record
// (1-based, counting every record or, with kCsvCountNamed, those with a non-empty field 1), at
// the end when `before` is 0 or past the last. Null when the pool is used up.
CsvRecord* CsvAddRecord(CsvList* list, DWORD before, DWORD counting);
// Unlinks the `named`-th record with a non-empty field 1 (1-based), returns its node to the pool
// and frees its list fields. FALSE when there is no such record.
BOOL CsvRemoveRecord(CsvList* list, DWORD named);
// The `named`-th record with a non-empty field 1 (1-based); null when there is none.
CsvRecord* CsvFindNamed(const CsvList* list, DWORD named);

// Sets field `field` of a record of the list to `text` (null: empty), keeping the list's counts.
// A list field takes values joined by '|'. FALSE (ERROR_INVALID_PARAMETER) when the text is
// longer than the field allows, ERROR_NOT_ENOUGH_MEMORY when a list field cannot grow.
BOOL CsvSetField(CsvList* list, CsvRecord* record, DWORD field, const WCHAR* text);
// Sets list field 7 or 8 from `count` separate values; a '|' inside a value becomes a blank.
BOOL CsvSetListValues(CsvList* list, CsvRecord* record, DWORD field, const WCHAR* const* values, DWORD count);
