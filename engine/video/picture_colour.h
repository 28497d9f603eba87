#pragma once
// How the samples of a decoded picture turn into colours: the matrix from
// Y, Cb, Cr to R, G, B, the range of the samples, and the transfer and
// primaries that tell a high-dynamic-range picture.
#include <cstdint>

struct AVFrame;

namespace vexo {

enum class TColourMatrix : uint8_t { Unknown, Bt601, Bt709, Bt2020, Fcc, Smpte240 };
enum class TColourRange : uint8_t { Unknown, Limited, Full };
enum class TColourTransfer : uint8_t { Sdr, Pq, Hlg };

struct TPictureColour {
  TColourMatrix Matrix = TColourMatrix::Unknown;
  TColourRange Range = TColourRange::Unknown;
  TColourTransfer Transfer = TColourTransfer::Sdr;
  bool Bt2020Primaries = false;
  bool operator==(const TPictureColour&) const = default;
};

// What the frame's tags say; unknowns stay unknown.
TPictureColour ColourOfFrame(const AVFrame& frame);

// Fills in what a picture of `pixFmt` at width x height does not say, as
// libswscale and the players do: the full-range (J) formats and grey are full
// range whatever the tags say, other formats limited when untagged; an
// untagged matrix is BT.709 for high definition (wider than 1024 or taller
// than 576) and BT.601 below.
TPictureColour ResolvedColour(TPictureColour colour, int32_t pixFmt, int32_t width, int32_t height);

// The real-valued conversion of a resolved colour, for 8-bit samples:
//   R = LumaScale (Y - LumaOffset) + Rv (V - 128)
//   G = LumaScale (Y - LumaOffset) - Gu (U - 128) - Gv (V - 128)
//   B = LumaScale (Y - LumaOffset) + Bu (U - 128)
struct TYuvCoefficients {
  double LumaScale = 1, LumaOffset = 0;
  double Rv = 0, Gu = 0, Gv = 0, Bu = 0;
};
TYuvCoefficients YuvCoefficients(const TPictureColour& resolved);

// libswscale's colour space number (SWS_CS_*) of a resolved matrix.
int SwsColourSpace(TColourMatrix matrix);

}  // namespace vexo
