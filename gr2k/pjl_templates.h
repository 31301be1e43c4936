// The job-control text of a job: the model description's job-start, page-start and page-end
// templates run against the current settings. Each builder is a PjlBuilder (packets.h) over a
// driver context: without a buffer it measures, with one it writes.
//
// A template is a branch {condition, list taken when it holds or is absent, list otherwise};
// its nodes are option commands (the item's command node writes the value between its two
// `*OptionCommand` texts), literal command strings, nested branches and the device-font line.
// Both passes run the same writers, so the measured length and the written text agree byte for
// byte.
#pragma once

#include "gr2k/packets.h"
#include "settings/description/image.h"
#include "settings/context/driver_context.h"

// The three builders PjlEmitPacket calls, `context` being the PDEV's DriverContext. Without a
// buffer *length gets the text length, and the result is 1 when there is text, 0 when there is
// none (no template). With a buffer the text goes into at most `capacity` bytes (no NUL) and
// the result is 0. A negative result is a failure: an unknown node kind, an option node whose
// item or command node is missing, or text that does not fit the buffer.
int PjlBuildJobStart(void* context, char* buffer, DWORD capacity, DWORD* length);
int PjlBuildPageStart(void* context, char* buffer, DWORD capacity, DWORD* length);
int PjlBuildPageEnd(void* context, char* buffer, DWORD capacity, DWORD* length);

// Where the interpreter's writers put their bytes. With no buffer they only count; with one
// they copy as long as the bytes fit, and a piece that does not fit sets `overflow`.
struct PjlText {
  char* buffer;
  DWORD capacity;
  DWORD length;
  bool overflow;
};

// Runs one template: the branch's first list when its condition is absent or holds, else its
// second; nothing when that list is absent. Returns the walk's result (-1 on failure); without
// a buffer a result of 0 with text becomes 1.
int PjlMeasureOrWrite(DriverContext* context, const DescBranch* branch, PjlText* text);
// Walks one node list in order. A node that fails (-1) ends the walk with -1; otherwise the
// last node's result (0) is returned. `depth` counts the branches around the list.
int PjlRunTemplate(DriverContext* context, const DescTemplateNode* list, PjlText* text, int depth = 0);
// One option node: the command node of (item, value key) writes the item's current model
// value through the handler its UI type selects, or the item's special setting writes it.
// -1 when the item's row or the command node is missing, else 0.
int PjlEmitOptionCommand(DriverContext* context, WORD itemId, SHORT valueKey, PjlText* text);
// The special setting of `kind` (the item row's code) for the item of `row` through its
// command node `node`. FALSE when the kind has no special output (4, 11 and unknown kinds):
// the normal handler then runs. A special kind whose source is empty or cannot be had writes
// nothing and still answers TRUE.
BOOL PjlEmitSpecialSetting(DriverContext* context, DWORD kind, const ItemTableRow* row, const DescNode* node,
                           DWORD value, PjlText* text);
