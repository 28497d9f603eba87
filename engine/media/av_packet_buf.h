#pragma once
// Packets of one stream read ahead while the other stream was wanted. A ring
// that grows by whole steps and never shrinks, so that a long run of packets of
// one stream costs one reallocation per step.
#include <cstdint>
#include <vector>

#include "engine/media/av_packet.h"

namespace vexo {

class TAVPacketBuf {
 public:
  static constexpr int32_t GrowStep = 128;

  TAVPacketBuf();
  ~TAVPacketBuf();
  TAVPacketBuf(const TAVPacketBuf&) = delete;
  TAVPacketBuf& operator=(const TAVPacketBuf&) = delete;

  // Takes the packet, handed over as Push(std::move(packet)): the caller's
  // reference is empty afterwards, so a FreePacket after it frees nothing.
  // The packet is made to own its payload, so that further demultiplexer
  // reads cannot invalidate it.
  void Push(TAVPacket*&& packet);
  // The oldest packet, owned by the caller from now on, or nullptr when empty.
  TAVPacket* Pop();
  // Releases every held packet; the capacity stays.
  void Clear();

  std::vector<TAVPacket*> Items;
  int32_t WritePos = 0;
  int32_t ReadPos = 0;
  int32_t Count = 0;
  int32_t Capacity = GrowStep;
};

}  // namespace vexo
