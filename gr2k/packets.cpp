#include "gr2k/packets.h"

#include <cstring>

#include "settings/items/settings_record.h"

namespace {

// The buffer holds the header and, behind it, room for the text and a terminator the builder
// may write: the body itself carries no NUL.
constexpr DWORD kPacketSpare = 4;

BYTE* AllocPacket(CommandStream* stream, DWORD bodyLength) {
  if (!stream->owner.alloc || bodyLength > kStreamMaxReserve - kPacketHeaderBytes - kPacketSpare) return nullptr;
  return static_cast<BYTE*>(
      stream->owner.alloc(stream->owner.context, kPacketHeaderBytes + bodyLength + kPacketSpare));
}

void FreePacket(CommandStream* stream, BYTE* packet) {
  if (stream->owner.free) stream->owner.free(stream->owner.context, packet);
}

}  // namespace

void PacketWriteHeader(BYTE* header, BYTE type, DWORD bodyLength) {
  DmStoreU8(header, 0, type);
  DmStoreU8(header, 1, 0);
  DmStoreU16(header, 2, 0);
  DmStoreU32(header, 4, bodyLength);
}

BOOL PjlEmitPacket(CommandStream* stream, BYTE type, PjlBuilder builder, void* context) {
  if (!stream || !builder) return FALSE;
  DWORD measured = 0;
  if (builder(context, nullptr, 0, &measured) < 0) return FALSE;
  BYTE* packet = AllocPacket(stream, measured);
  if (!packet) return FALSE;
  DWORD written = 0;
  BOOL ok = builder(context, reinterpret_cast<char*>(packet + kPacketHeaderBytes), measured + kPacketSpare,
                    &written) >= 0 &&
            written <= measured;
  if (ok) {
    // A builder that writes less than it measured sends what it wrote, never stale bytes.
    PacketWriteHeader(packet, type, written);
    ok = StrmWrite(stream, packet, kPacketHeaderBytes + written);
  }
  FreePacket(stream, packet);
  return ok;
}

BOOL PjlEmitText(CommandStream* stream, BYTE type, const char* text, DWORD length) {
  if (!stream || (!text && length != 0)) return FALSE;
  BYTE* packet = AllocPacket(stream, length);
  if (!packet) return FALSE;
  PacketWriteHeader(packet, type, length);
  if (length) std::memcpy(packet + kPacketHeaderBytes, text, length);
  const BOOL ok = StrmWrite(stream, packet, kPacketHeaderBytes + length);
  FreePacket(stream, packet);
  return ok;
}

BOOL PjlEmitJobStart(CommandStream* stream, PjlBuilder jobStart, void* context) {
  return PjlEmitPacket(stream, kPacketJobStart, jobStart, context);
}

BOOL PjlEmitPageStart(CommandStream* stream, PjlBuilder pageStart, void* context) {
  if (!PjlEmitPacket(stream, kPacketPageStart, pageStart, context)) return FALSE;
  BYTE empty[kPacketHeaderBytes];
  PacketWriteHeader(empty, kPacketEmpty, 0);
  return StrmWrite(stream, empty, sizeof(empty));
}

BOOL PjlEmitPageEnd(CommandStream* stream, PjlBuilder pageEnd, void* context) {
  return PjlEmitPacket(stream, kPacketPageEnd, pageEnd, context);
}
