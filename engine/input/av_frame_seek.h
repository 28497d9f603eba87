#pragma once
// Exact positioning of one input file: the key-frame search and the decode
// forward to the wanted frame, as the player control performs them.
#include <cstdint>

namespace vexo {

class TAVInFile;
class TAVScreen;

// The key-frame search, shared by the quick positioning while the position
// bar is dragged and by the exact seek below. Seeks `file` to frame `target`
// (0-based, within the file), then one frame earlier at a time, until the
// demultiplexer lands on a key frame at or before the target; that key
// packet then waits at the head of the video queue and the demultiplexer
// reads on behind it. KeyFramePos is the frame of the last packet met (its
// stamp rounded to the nearest frame). With `firstOnly` the first seek
// serves, and its key packet is kept even when it lies past the target.
// True when a key packet was queued.
bool SearchKeyFrame(TAVInFile& file, int64_t target, bool withAudio, bool firstOnly = false);

// Positions `file` so that frame `frame` (0-based, within the file) is decoded
// into the screen's frame buffer and FramePos is frame + 1. Seeks back one
// frame at a time until the demultiplexer lands on a key frame at or before
// the target, decodes that key frame, then decodes without converting up to
// the target and converts the target; when the pictures after the key frame
// show that its stamp placed it too early, searches again from before it.
// Leaves the file's sound aligned to the
// frame reached. Returns the last decode result: 0 when the target is on the
// screen, -1 at the end of the file or with the screen's FErrMsg set.
int SeekFileToFrame(TAVInFile& file, TAVScreen& screen, int64_t frame, bool withAudio,
                    TAVInFile* prevFile = nullptr, uint8_t firstFrame = 0);

}  // namespace vexo
