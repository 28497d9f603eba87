#include "engine/video/av_screen_utils.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace vexo {

TSurfacePixelFormat MakeSurfacePixelFormat(const TDevicePixelFormat& format) {
  TSurfacePixelFormat result;
  result.Format = format;
  const uint32_t masks[4] = {format.RBitMask, format.GBitMask, format.BBitMask, format.ABitMask};
  for (int i = 0; i < 4; ++i) {
    const int bits = std::popcount(masks[i]);
    result.Shift[i] = masks[i] ? uint8_t(std::countr_zero(masks[i])) : 0;
    result.Max[i] = uint8_t((1u << bits) - 1);
    result.Loss[i] = uint8_t(8 - bits);
  }
  result.BytesPerPixel = int32_t(format.BitCount / 8);
  return result;
}

uint32_t PackPixel(uint32_t color, const TSurfacePixelFormat& format) {
  uint32_t channel[3] = {color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF};
  uint32_t packed = 0;
  for (int i = 0; i < 3; ++i) {
    uint32_t value = channel[i];
    if (format.BytesPerPixel == 2) value >>= format.Loss[i];
    packed |= value << format.Shift[i];
  }
  if (format.BytesPerPixel >= 4) return packed;
  if (format.BytesPerPixel <= 0) return 0;
  return packed & ((1u << (8 * format.BytesPerPixel)) - 1);
}

int32_t PixFmtOfFourCC(TFourCC fourCC) {
  if (fourCC == FCC_UYVY) return AV_PIX_FMT_UYVY422;
  if (fourCC == FCC_YUY2) return AV_PIX_FMT_YUYV422;
  if (fourCC == FCC_ARGB || fourCC == FCC_RGB3) return AV_PIX_FMT_RGB32;
  return AV_PIX_FMT_YUV420P;
}

bool IsPlanarPixFmt(int32_t pixFmt) {
  switch (pixFmt) {
    case PIX_FMT_YUV420P:
    case PIX_FMT_YUVJ420P:
    case PIX_FMT_YUV411P:
    case PIX_FMT_YUVJ422P:
    case PIX_FMT_YUVJ444P:
    case PIX_FMT_YUVJ440P:
    case PIX_FMT_GRAY8:
      return true;
    default:
      return false;
  }
}

int32_t FourCCLineBytes(TFourCC fourCC, int32_t width) {
  switch (PixFmtOfFourCC(fourCC)) {
    case AV_PIX_FMT_UYVY422:
    case AV_PIX_FMT_YUYV422:
      return width * 2;
    case AV_PIX_FMT_RGB32:
      return width * 4;
    default:
      return width;
  }
}

int32_t FourCCPictureBytes(TFourCC fourCC, int32_t width, int32_t height) {
  const int32_t luma = FourCCLineBytes(fourCC, width) * height;
  if (fourCC == FCC_GRAY || !IsPlanarPixFmt(PixFmtOfFourCC(fourCC))) return luma;
  return luma + 2 * ((width + 1) / 2) * ((height + 1) / 2);
}

int32_t NextPowerOfTwo(int32_t n) {
  return int32_t(std::bit_ceil(uint32_t(std::max(n, 1))));
}

namespace {

// One axis of the cut at the far screen edge: the destination ends at the
// screen edge and the source keeps the visible share of its span.
void CutFarEdge(int32_t& srcNear, int32_t& srcFar, int32_t& dstNear, int32_t& dstFar,
                int32_t screen) {
  if (screen >= dstFar) return;
  dstNear = std::min(dstNear, screen - 1);
  const float ratio = float(screen - dstNear) / float(dstFar - dstNear);
  srcFar = srcNear + int32_t(std::trunc(double(srcFar - srcNear) * double(ratio)));
  dstFar = screen;
}

// One axis of the cut at the near (negative) screen edge.
void CutNearEdge(int32_t& srcNear, int32_t& srcFar, int32_t& dstNear, int32_t& dstFar) {
  const float span = float(dstFar - dstNear);
  const float f = span > 0 ? std::min(float(-dstNear) / span, 1.0f) : 1.0f;
  srcNear = int32_t(std::trunc(double(srcFar - srcNear) * double(f)));
  srcFar = std::max(1, srcFar) + 1;
  dstNear = 0;
  dstFar = std::max(1, dstFar);
}

}  // namespace

void ClipOverlayToScreen(TVideoRect& source, TVideoRect& dest, int32_t screenWidth,
                         int32_t screenHeight) {
  CutFarEdge(source.Left, source.Right, dest.Left, dest.Right, screenWidth);
  CutFarEdge(source.Top, source.Bottom, dest.Top, dest.Bottom, screenHeight);
  if (dest.Left < 0)
    CutNearEdge(source.Left, source.Right, dest.Left, dest.Right);
  else if (dest.Top < 0)
    CutNearEdge(source.Top, source.Bottom, dest.Top, dest.Bottom);
}

}  // namespace vexo
