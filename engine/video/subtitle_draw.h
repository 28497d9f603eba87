#pragma once
// Subtitles drawn into a converted picture, in the layout the picture is in,
// so that every output path, full screen and the snapshot show them alike.
// Text tracks are laid out and styled by libass; bitmap tracks are scaled
// from their own frame onto the picture.
#include <cstdint>

#include "engine/media/av_types.h"
#include "engine/video/picture_colour.h"

namespace vexo {

struct TSubtitleTrack;

// A converted picture. Planes as the conversion writes them: the 32-bit
// layout bottom-up in plane 0; a 4:2:0 layout with Y in plane 0, V in plane 1
// and U in plane 2; a packed 4:2:2 layout in plane 0.
struct TSubtitleCanvas {
  TFourCC FourCC = FCC_ARGB;
  uint8_t* Data[3] = {};
  int32_t LineBytes[3] = {};
  int32_t Width = 0;
  int32_t Height = 0;
  // The picture within the canvas, centred; the bands around it stay clear.
  int32_t ContentWidth = 0;
  int32_t ContentHeight = 0;
  // The width of one canvas pixel on the screen over its height.
  float PixelAspect = 1;
  // What the canvas's Y, Cb, Cr samples mean.
  TPictureColour Colour;
};

// Draws what `track` shows at `ms` (the file's own time). False, having
// touched nothing, when nothing shows then.
bool DrawSubtitles(TSubtitleTrack& track, int64_t ms, const TSubtitleCanvas& canvas);

}  // namespace vexo
