#include "engine/media/av_packet_buf.h"

#include <stdexcept>

#include "engine/media/media_lib.h"

namespace vexo {

TAVPacketBuf::TAVPacketBuf() : Items(size_t(GrowStep), nullptr) {}

// Held packets are released too: a queue dropped with packets in it must not
// leak their payloads.
TAVPacketBuf::~TAVPacketBuf() {
  Clear();
}

void TAVPacketBuf::Push(TAVPacket*&& packet) {
  if (!packet) return;
  if (Items[size_t(WritePos)])
    throw std::logic_error("av_packet_buf.cpp: packet queue slot " + std::to_string(WritePos) +
                           " is not empty");
  // A payload that still belongs to the demultiplexer would be overwritten by
  // the next read; a failed copy leaves an empty packet, which decodes as none.
  if (ff::av_packet_make_refcounted(packet) < 0) ff::av_packet_unref(packet);
  Items[size_t(WritePos)] = packet;
  packet = nullptr;
  Count += 1;
  if (Count == Capacity) {
    Items.resize(size_t(Capacity + GrowStep), nullptr);
    if (ReadPos > WritePos) {
      // The held packets wrap: the part from ReadPos to the old end moves to
      // the new end so that the order survives.
      for (int32_t i = Capacity - 1; i >= ReadPos; --i) {
        Items[size_t(i + GrowStep)] = Items[size_t(i)];
        Items[size_t(i)] = nullptr;
      }
      ReadPos += GrowStep;
    }
    Capacity += GrowStep;
  }
  WritePos = (WritePos + 1) % Capacity;
}

TAVPacket* TAVPacketBuf::Pop() {
  if (Count == 0) return nullptr;
  TAVPacket* packet = Items[size_t(ReadPos)];
  Items[size_t(ReadPos)] = nullptr;
  Count -= 1;
  ReadPos = (ReadPos + 1) % Capacity;
  return packet;
}

void TAVPacketBuf::Clear() {
  for (TAVPacket*& packet : Items) FreePacket(packet);
  Count = 0;
  WritePos = 0;
  ReadPos = 0;
}

}  // namespace vexo
