#pragma once
// Conversion of a decoded picture into the pixel layout a consumer asks for by
// FourCC, scaled to a content rectangle centred in the destination.
//
// Not thread-safe: the conversion keeps one scratch picture for the whole
// process, so conversions must not run on two threads at once.
#include <cstdint>
#include <string>

#include "engine/media/av_types.h"
#include "engine/video/picture_colour.h"
#include "engine/video/picture_turn.h"

struct AVFrame;

namespace vexo {

// Plane pointers and line sizes of a picture, as FFmpeg lays them out, and
// what its samples mean. Only planes 0 to 2 are used.
struct TAVPicture {
  uint8_t* data[4] = {};
  int32_t linesize[4] = {};
  TPictureColour Colour;
};

TAVPicture PictureOfFrame(const AVFrame& frame);

// Converts `src` (srcWidth x srcHeight in srcPixFmt) into `dst`, a picture of
// dstWidth x dstHeight in the layout `dstFourCC`, scaling it to contentWidth x
// contentHeight and centring it; the bands around it are painted only when
// fillBorders is 1. Returns the bytes the destination now holds, or 0 with
// errMsg set when the source format cannot be converted at all.
// The planar sources the conversion was designed for, and packed B, G, R, take
// its own paths; every other format libswscale reads is first brought to the
// nearest of them. A 32-bit destination gets the colours of the source's
// matrix and range (what it does not say is resolved as ResolvedColour does);
// Y, Cb, Cr destinations keep the samples, whose meaning ConvertedColour tells. A destination code
// that does not suit the source is a programming error and throws std::logic_error. With a turn the
// source is first turned upright (each plane turned whole, a 4:1:1 source's chroma widened to full
// size when a quarter turn would stand it on end); the content size is then that of the upright
// picture.
int32_t ConvertPicture(const TAVPicture& src, const TAVPicture& dst, int32_t srcWidth,
                       std::string& errMsg, uint8_t fillBorders, TFourCC dstFourCC,
                       int32_t srcPixFmt, int32_t dstHeight, int32_t dstWidth,
                       int32_t contentHeight, int32_t contentWidth, int32_t srcHeight,
                       TPictureTurn turn = ptNone);

// The meaning of the samples the last conversion wrote into a Y, Cb, Cr
// destination: the source's resolved colour, or that of the intermediate a
// source without Y, Cb, Cr samples was brought to.
TPictureColour ConvertedColour();

// A text naming a pixel format for messages: its name, or its number.
std::string PixFmtText(int32_t pixFmt);

// The scratch buffers only grow; this releases them (at program end).
void FreeConvertScratch();
// Bytes the scratch buffer holds now.
int64_t ConvertScratchCapacity();

}  // namespace vexo
