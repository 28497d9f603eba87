#pragma once
// A decoded picture turned upright before it is converted. The turned copy
// lives in a buffer of its own that only grows; like the conversion's
// scratch, it is not thread-safe.
#include <cstdint>

#include "engine/video/av_scale.h"
#include "engine/video/picture_turn.h"

namespace vexo {

struct TTurnedPicture {
  TAVPicture Picture;
  int32_t Width = 0;
  int32_t Height = 0;
  // The layout of the turned planes: a quarter turn makes 4:2:2 into 4:4:0
  // and back, and 4:1:1 into 4:4:4 (its chroma widened first).
  int32_t PixFmt = 0;
};

// The pixel format a source of `pixFmt` has once turned.
int32_t TurnedPixFmt(int32_t pixFmt, TPictureTurn turn);

// Turns a width x height source in one of the formats the conversion accepts;
// false (and nothing written) for any other format or an empty picture.
bool TurnPicture(const TAVPicture& src, int32_t width, int32_t height, int32_t pixFmt,
                 TPictureTurn turn, TTurnedPicture& turned);

void FreeTurnScratch();
int64_t TurnScratchCapacity();

}  // namespace vexo
