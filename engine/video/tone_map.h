#pragma once
// High-dynamic-range pictures (PQ or HLG, BT.2020) brought to an ordinary
// screen: tone-mapped to BT.709 in limited range through a 3D lookup table
// over the source's Y, Cb, Cr, read in the range the source says.
#include <cstdint>
#include <vector>

#include "engine/video/av_scale.h"

namespace vexo {

// Whether a picture of `pixFmt` and `colour` (resolved) is tone-mapped: an
// HDR transfer, planar Y, Cb, Cr of 9 to 16 bits in native order, and tone
// mapping switched on.
bool ToneMapsPicture(int32_t pixFmt, const TPictureColour& colour);

// What the tone mapping writes: 8-bit 4:4:4 Y, Cb, Cr planes in BT.709,
// limited range (for the planar and packed 4:2:2 screens); or packed 8-bit
// B, G, R in full range (for 32-bit pictures: all 256 levels of each
// channel, where limited range in between would leave 219 of them).
enum class TToneOutput { Yuv, Bgr };

// Tone-maps `src` (width x height in `pixFmt`) into `dst`, a picture of the
// same size laid out as `output` says.
void ToneMapPicture(const TAVPicture& src, int32_t pixFmt, int32_t width, int32_t height,
                    const TAVPicture& dst, TToneOutput output);

// One sample triple through the tone mapping, in floating point, without
// the table: Y, Cb, Cr of `bits` bits in, 8-bit BT.709 limited range out.
void ToneMapSample(TColourTransfer transfer, int bits, int y, int cb, int cr, uint8_t out[3]);

// The table the 32-bit output is read from, for a graphics card to sample
// the same way: kToneGrid^3 entries of four floats (B, G, R in 8-bit units,
// unrounded, and a pad), Cr running fastest, then Cb, then Y. Grid point i of
// each axis stands for the 16-bit code i * 65472 / (kToneGrid - 1), a 10-bit
// code in the high bits; in between, trilinear.
constexpr int kToneGrid = 33;
std::vector<float> ToneMapTable(TColourTransfer transfer, bool fullRange);

// Whether a tone-mapped picture of `pixFmt` can go to a device that tone-maps
// itself as DeepPlanes: 4:2:0 layouts.
bool HasDeepPlanes(int32_t pixFmt);

// The Y, Cb, Cr samples of `src` (width x height, 4:2:0 in `pixFmt`, see
// HasDeepPlanes) as three planes of native 16-bit words, the codes in the
// high bits, into `dst` (laid out as AV_PIX_FMT_YUV420P16): nothing of the
// source's depth is lost on the way.
void DeepPlanes(const TAVPicture& src, int32_t pixFmt, int32_t width, int32_t height,
                const TAVPicture& dst);

}  // namespace vexo
