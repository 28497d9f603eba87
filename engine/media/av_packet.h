#pragma once
// The engine's packet record and its allocation.
extern "C" {
#include <libavcodec/packet.h>
}

namespace vexo {

using TAVPacket = AVPacket;

// A zero-filled packet record.
TAVPacket* NewPacket();
// Releases the packet and its payload and sets the reference to nothing;
// an empty reference is left alone.
void FreePacket(TAVPacket*& packet);

}  // namespace vexo
