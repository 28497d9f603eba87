#include "engine/media/av_packet.h"

#include "engine/media/media_lib.h"

namespace vexo {

TAVPacket* NewPacket() {
  return ff::av_packet_alloc();
}

void FreePacket(TAVPacket*& packet) {
  if (!packet) return;
  // Reference-counted payloads need no copy before release; av_packet_free
  // drops the payload (owned or borrowed) and the record.
  ff::av_packet_free(&packet);
  packet = nullptr;
}

}  // namespace vexo
