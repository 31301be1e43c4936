// The job stream of one document. Velm records are reserved in place in a chain of chunks and
// leave as data packets when the page is sent or when too much is held; PJL packets (packets.h)
// leave at once. Every byte reaches the output library through StrmWrite, in pieces it accepts.
//
// The stream belongs to the device state (the PDEV), which it reaches only through StreamOwner:
// the allocation list its further chunks come from, the flags word that takes the abort bit, and
// the two values that decide whether a flush sends anything.
#pragma once

#include <cstddef>

#include "win32.h"

constexpr DWORD kStreamChunkBytes = 10240;    // inline chunk, and the unit of further chunks
constexpr DWORD kStreamHoldLimit = 0x100000;  // more buffered than this: flush before growing
constexpr DWORD kStreamWritePiece = 4096;     // most bytes handed to the write function at once
constexpr DWORD kStreamMaxReserve = 0x7FFFFFFF;
constexpr DWORD kPdevFlagAbort = 0x8;  // set in the owner's flags by a failed or short write

// The output library's "DrvSplWritePrinter".
using StrmWriteFn = BOOL(WINAPI*)(HANDLE output, LPVOID bytes, DWORD count, LPDWORD written);

// A chunk header; its data area follows it directly.
struct StreamChunk {
  StreamChunk* next;
  BYTE* write;  // next free byte
  BYTE* end;    // one past the data area
};

// What the stream needs of the device state that holds it.
struct StreamOwner {
  void* context;                                  // handed back to alloc and free
  void* (*alloc)(void* context, SIZE_T bytes);    // the owner's allocation list; null on failure
  void (*free)(void* context, void* block);
  DWORD* flags;                                   // kPdevFlagAbort is set here
  const DWORD* pageCounter;                       // pages started in this document
  BOOL passThrough;                               // page 1 then carries no record packets
};

struct CommandStream {
  HANDLE printer;
  StreamOwner owner;
  StreamChunk first;
  BYTE firstData[kStreamChunkBytes];
  StreamChunk* head;
  StreamChunk* tail;       // the chunk being filled
  DWORD bytesBuffered;     // sum of the reservations since the last reset
  DWORD recordsBuffered;   // number of reservations since the last reset
  HMODULE outputModule;
  HANDLE outputHandle;     // what the output library's start-of-document returned
  StrmWriteFn writeCallback;
  DWORD flushCount;        // flushes so far: tells a rollback whether its bytes already left
};
static_assert(offsetof(CommandStream, firstData) == offsetof(CommandStream, first) + sizeof(StreamChunk),
              "the inline chunk's data follows its header like every other chunk's");

// Empties the stream onto its inline chunk. Does not free further chunks (StrmFlush does); call
// it once before first use, after the owner and output binding are set.
void StrmReset(CommandStream* stream);

// n bytes for one record in the chunk being filled, or null (allocation or flush failure, n of
// 0 or above kStreamMaxReserve). The bytes are not cleared. May flush first when more than
// kStreamHoldLimit bytes are held, so pointers into earlier reservations die with any call.
BYTE* StrmReserve(CommandStream* stream, DWORD n);

// Raw write of n bytes in pieces of at most kStreamWritePiece. A refused or short piece sets the
// abort flag and gives FALSE. Without an output library the bytes are dropped and count as done.
BOOL StrmWrite(CommandStream* stream, const void* bytes, DWORD n);

// Sends every chunk that holds records as one 0xF5 packet, frees the further chunks and resets
// the stream, also after a failed write. Nothing buffered sends nothing. Page 1 of a pass-through
// job sends nothing: its records are dropped.
BOOL StrmFlush(CommandStream* stream);

// Gives back the unused end of the last reservation: the write pointer moves to `record` plus
// `used` rounded up to 4. `record` must be that reservation. The buffered count stays as it was.
void StrmTrim(CommandStream* stream, BYTE* record, DWORD used);

// A point to return to when a record that is reserved in several pieces fails halfway.
struct StreamMark {
  StreamChunk* tail;
  BYTE* write;
  DWORD bytesBuffered;
  DWORD recordsBuffered;
  DWORD flushCount;
};
StreamMark StrmMark(const CommandStream* stream);
// Gives back everything reserved since the mark and frees the chunks that came with it. FALSE
// when a flush has sent part of it since: those bytes are gone and the stream stays as it is.
BOOL StrmRollback(CommandStream* stream, const StreamMark& mark);
