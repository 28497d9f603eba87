#include "engine/video/picture_colour.h"

#include "engine/media/media_lib.h"

namespace vexo {

TPictureColour ColourOfFrame(const AVFrame& frame) {
  TPictureColour c;
  switch (frame.colorspace) {
    case AVCOL_SPC_BT709:
      c.Matrix = TColourMatrix::Bt709;
      break;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
      c.Matrix = TColourMatrix::Bt601;
      break;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      c.Matrix = TColourMatrix::Bt2020;
      break;
    case AVCOL_SPC_FCC:
      c.Matrix = TColourMatrix::Fcc;
      break;
    case AVCOL_SPC_SMPTE240M:
      c.Matrix = TColourMatrix::Smpte240;
      break;
    default:
      break;
  }
  if (frame.color_range == AVCOL_RANGE_JPEG) c.Range = TColourRange::Full;
  if (frame.color_range == AVCOL_RANGE_MPEG) c.Range = TColourRange::Limited;
  if (frame.color_trc == AVCOL_TRC_SMPTE2084) c.Transfer = TColourTransfer::Pq;
  if (frame.color_trc == AVCOL_TRC_ARIB_STD_B67) c.Transfer = TColourTransfer::Hlg;
  c.Bt2020Primaries = frame.color_primaries == AVCOL_PRI_BT2020;
  return c;
}

namespace {

bool IsFullRangeFormat(int32_t pixFmt) {
  switch (pixFmt) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
    case AV_PIX_FMT_GRAY8:
    case AV_PIX_FMT_YA8:
    case AV_PIX_FMT_GRAY9LE:
    case AV_PIX_FMT_GRAY10LE:
    case AV_PIX_FMT_GRAY12LE:
    case AV_PIX_FMT_GRAY14LE:
    case AV_PIX_FMT_GRAY16LE:
    case AV_PIX_FMT_GRAY16BE:
    case AV_PIX_FMT_YA16LE:
    case AV_PIX_FMT_YA16BE:
      return true;
    default:
      return false;
  }
}

}  // namespace

TPictureColour ResolvedColour(TPictureColour colour, int32_t pixFmt, int32_t width,
                              int32_t height) {
  if (IsFullRangeFormat(pixFmt))
    colour.Range = TColourRange::Full;
  else if (colour.Range == TColourRange::Unknown)
    colour.Range = TColourRange::Limited;
  if (colour.Matrix == TColourMatrix::Unknown)
    colour.Matrix = width > 1024 || height > 576 ? TColourMatrix::Bt709 : TColourMatrix::Bt601;
  return colour;
}

TYuvCoefficients YuvCoefficients(const TPictureColour& resolved) {
  double kr = 0.299, kb = 0.114;
  switch (resolved.Matrix) {
    case TColourMatrix::Bt709:
      kr = 0.2126, kb = 0.0722;
      break;
    case TColourMatrix::Bt2020:
      kr = 0.2627, kb = 0.0593;
      break;
    case TColourMatrix::Fcc:
      kr = 0.30, kb = 0.11;
      break;
    case TColourMatrix::Smpte240:
      kr = 0.212, kb = 0.087;
      break;
    default:
      break;
  }
  const double kg = 1 - kr - kb;
  TYuvCoefficients c;
  c.Rv = 2 * (1 - kr);
  c.Bu = 2 * (1 - kb);
  c.Gu = 2 * kb * (1 - kb) / kg;
  c.Gv = 2 * kr * (1 - kr) / kg;
  if (resolved.Range != TColourRange::Full) {
    c.LumaScale = 255.0 / 219;
    c.LumaOffset = 16;
    const double chroma = 255.0 / 224;
    c.Rv *= chroma, c.Bu *= chroma, c.Gu *= chroma, c.Gv *= chroma;
  }
  return c;
}

int SwsColourSpace(TColourMatrix matrix) {
  switch (matrix) {
    case TColourMatrix::Bt709:
      return SWS_CS_ITU709;
    case TColourMatrix::Bt2020:
      return SWS_CS_BT2020;
    case TColourMatrix::Fcc:
      return SWS_CS_FCC;
    case TColourMatrix::Smpte240:
      return SWS_CS_SMPTE240M;
    default:
      return SWS_CS_ITU601;
  }
}

}  // namespace vexo
