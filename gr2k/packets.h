// The job stream's outer format: an 8-byte header {u8 type, three zero bytes, u32 body length}
// and the body. PJL text leaves at once as one packet; records leave as 0xF5 packets at a flush.
#pragma once

#include "gr2k/command_stream.h"

constexpr BYTE kPacketEmpty = 0xF0;      // empty, right behind the page-start PJL
constexpr BYTE kPacketPageEnd = 0xF1;    // page-end PJL
constexpr BYTE kPacketJobStart = 0xF3;   // job-start PJL, and the JOBNAME line
constexpr BYTE kPacketPageStart = 0xF4;  // page-start PJL
constexpr BYTE kPacketRecords = 0xF5;    // the used bytes of one chunk of records
constexpr DWORD kPacketHeaderBytes = 8;

void PacketWriteHeader(BYTE* header, BYTE type, DWORD bodyLength);

// A PJL text builder (the job-control templates). Without a buffer it measures: *length gets
// the text length. With one it writes the text (no terminating NUL counted) into at most
// `capacity` bytes and sets *length to what it wrote. A negative result is a failure.
using PjlBuilder = int (*)(void* context, char* buffer, DWORD capacity, DWORD* length);

// Builds a PJL text and writes it as one packet of `type` in a single StrmWrite. The text is
// measured first and the packet buffer comes from the owner's allocation list.
BOOL PjlEmitPacket(CommandStream* stream, BYTE type, PjlBuilder builder, void* context);

// Writes `length` bytes of ready text as one packet of `type`.
BOOL PjlEmitText(CommandStream* stream, BYTE type, const char* text, DWORD length);

// The three packets of the job-control templates; the page start is followed by the empty
// 0xF0 packet.
BOOL PjlEmitJobStart(CommandStream* stream, PjlBuilder jobStart, void* context);
BOOL PjlEmitPageStart(CommandStream* stream, PjlBuilder pageStart, void* context);
BOOL PjlEmitPageEnd(CommandStream* stream, PjlBuilder pageEnd, void* context);
