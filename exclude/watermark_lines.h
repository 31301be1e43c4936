// The SET lines that describe the stamp (watermark) loaded in a context, built from the
// watermark field list of the command table (ExcGetWaterMarkFields).
#pragma once

#include "exclude/line_buffer.h"
#include "settings/context/driver_context.h"

// Stamp kinds that select the field rows.
constexpr int kExcWaterMarkText = 0;
constexpr int kExcWaterMarkImage = 1;

// Appends to `buffer` the lines of the stamp in `context` for `kind` (0 text, 1 image): each
// field row that applies writes its item's command node line, the node's text before the value
// without a trailing double quote, the value formatted by the row's value type (a string in
// quotes), the node's text after it without a leading double quote; the keyword row writes
// "@PJL SET WMKORDER = PAPER \r\n". A row without a command node, or whose value gives no text,
// writes nothing. After a row that wrote, its skip count passes over that many rows, unless it
// is the page-range switch (item 116) and that is on. When anything was written a NUL follows,
// counted in the length. 0 done; -1 without a buffer or context, or when memory is short (what
// this call appended is then taken back).
int ExcBuildWaterMarkLines(ExcLineBuffer* buffer, DriverContext* context, int kind);
