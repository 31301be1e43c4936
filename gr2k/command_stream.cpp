#include "gr2k/command_stream.h"

#include "gr2k/packets.h"

namespace {

BYTE* ChunkData(StreamChunk* chunk) { return reinterpret_cast<BYTE*>(chunk + 1); }

void SetAbort(CommandStream* stream) {
  if (stream->owner.flags) *stream->owner.flags |= kPdevFlagAbort;
}

// Frees every chunk behind `keep` and makes `keep` the last one.
void FreeChunksAfter(CommandStream* stream, StreamChunk* keep) {
  StreamChunk* chunk = keep->next;
  keep->next = nullptr;
  while (chunk) {
    StreamChunk* next = chunk->next;
    if (stream->owner.free) stream->owner.free(stream->owner.context, chunk);
    chunk = next;
  }
}

// Records of page 1 of a pass-through job are never sent: the application's raw bytes are that
// page.
bool HoldsBackRecords(const CommandStream* stream) {
  return stream->owner.passThrough && stream->owner.pageCounter && *stream->owner.pageCounter == 1;
}

}  // namespace

void StrmReset(CommandStream* stream) {
  stream->first.next = nullptr;
  stream->first.write = stream->firstData;
  stream->first.end = stream->firstData + kStreamChunkBytes;
  stream->head = &stream->first;
  stream->tail = &stream->first;
  stream->bytesBuffered = 0;
  stream->recordsBuffered = 0;
}

BYTE* StrmReserve(CommandStream* stream, DWORD n) {
  if (!stream || n == 0 || n > kStreamMaxReserve) return nullptr;
  // One byte must stay spare, so a request of exactly the free bytes takes a new chunk.
  if (n >= static_cast<size_t>(stream->tail->end - stream->tail->write)) {
    if (stream->bytesBuffered > kStreamHoldLimit && !StrmFlush(stream)) return nullptr;
    if (!stream->owner.alloc) return nullptr;
    const size_t data = (static_cast<size_t>(n) - 1) / kStreamChunkBytes * kStreamChunkBytes + kStreamChunkBytes;
    auto* chunk = static_cast<StreamChunk*>(stream->owner.alloc(stream->owner.context, sizeof(StreamChunk) + data));
    if (!chunk) return nullptr;
    chunk->next = nullptr;
    chunk->write = ChunkData(chunk);
    chunk->end = ChunkData(chunk) + data;
    stream->tail->next = chunk;
    stream->tail = chunk;
  }
  BYTE* record = stream->tail->write;
  stream->tail->write += n;
  stream->bytesBuffered += n;
  stream->recordsBuffered += 1;
  return record;
}

BOOL StrmWrite(CommandStream* stream, const void* bytes, DWORD n) {
  if (!stream || (!bytes && n != 0)) return FALSE;
  const BYTE* at = static_cast<const BYTE*>(bytes);
  while (n > 0) {
    const DWORD piece = n < kStreamWritePiece ? n : kStreamWritePiece;
    if (stream->outputModule && stream->writeCallback) {
      DWORD written = 0;
      if (!stream->writeCallback(stream->outputHandle, const_cast<BYTE*>(at), piece, &written) ||
          written != piece) {
        SetAbort(stream);
        return FALSE;
      }
    }
    at += piece;
    n -= piece;
  }
  return TRUE;
}

BOOL StrmFlush(CommandStream* stream) {
  if (!stream) return FALSE;
  if (stream->bytesBuffered == 0) return TRUE;
  stream->flushCount += 1;
  BOOL ok = TRUE;
  if (!HoldsBackRecords(stream)) {
    for (StreamChunk* chunk = stream->head; chunk && ok; chunk = chunk->next) {
      // A chunk left empty (passed over by a request that did not fit) is an empty packet.
      const DWORD used = static_cast<DWORD>(chunk->write - ChunkData(chunk));
      BYTE header[kPacketHeaderBytes];
      PacketWriteHeader(header, kPacketRecords, used);
      ok = StrmWrite(stream, header, sizeof(header)) && StrmWrite(stream, ChunkData(chunk), used);
    }
  }
  FreeChunksAfter(stream, &stream->first);
  StrmReset(stream);
  return ok;
}

void StrmTrim(CommandStream* stream, BYTE* record, DWORD used) {
  BYTE* end = record + ((static_cast<size_t>(used) + 3) & ~static_cast<size_t>(3));
  if (record >= ChunkData(stream->tail) && end <= stream->tail->write) stream->tail->write = end;
}

StreamMark StrmMark(const CommandStream* stream) {
  return {stream->tail, stream->tail->write, stream->bytesBuffered, stream->recordsBuffered,
          stream->flushCount};
}

BOOL StrmRollback(CommandStream* stream, const StreamMark& mark) {
  if (mark.flushCount != stream->flushCount) return FALSE;
  FreeChunksAfter(stream, mark.tail);
  stream->tail = mark.tail;
  stream->tail->write = mark.write;
  stream->bytesBuffered = mark.bytesBuffered;
  stream->recordsBuffered = mark.recordsBuffered;
  return TRUE;
}
