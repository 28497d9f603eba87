#include "engine/video/av_scale_utils.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

namespace vexo {

TBorders BorderSizes(int32_t dstWidth, int32_t dstHeight, int32_t contentWidth,
                     int32_t contentHeight) {
  TBorders b;
  uint32_t dx = uint32_t(dstWidth - contentWidth);
  uint32_t dy = uint32_t(dstHeight - contentHeight);
  b.Left = int32_t(dx >> 1);
  b.Right = int32_t(dx - (dx >> 1));
  b.Top = int32_t(dy >> 1);
  b.Bottom = int32_t(dy - (dy >> 1));
  return b;
}

bool PlanarSourceShifts(int pixFmt, TChromaShifts& shifts) {
  switch (pixFmt) {
    case PIX_FMT_YUV420P:
    case PIX_FMT_YUVJ420P:
      shifts = {1, 1};
      return true;
    case PIX_FMT_YUV411P:
      shifts = {2, 0};
      return true;
    // The limited-range twins of the full-range layouts share their paths.
    case PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUV422P:
      shifts = {1, 0};
      return true;
    case PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUV444P:
      shifts = {0, 0};
      return true;
    case PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUV440P:
      shifts = {0, 1};
      return true;
    case PIX_FMT_GRAY8:
      // Grey has no chroma planes; its neutral chroma is read at half size.
      shifts = {1, 1};
      return true;
    default:
      return false;
  }
}

bool IsPlanar420FourCC(TFourCC code) {
  return code == FCC_ENC || code == FCC_YV12 || code == FCC_I420 || code == FCC_IYUV ||
         code == FCC_GRAY;
}

bool IsPacked422FourCC(TFourCC code) {
  return code == FCC_UYVY || code == FCC_YUY2;
}

bool Is32BitFourCC(TFourCC code) {
  return code == FCC_ARGB || code == FCC_RGB3;
}

void ScalePlane(const uint8_t* src, int32_t srcLineSize, int32_t srcWidth, int32_t srcHeight,
                uint8_t* dst, int32_t dstLineSize, int32_t contentWidth, int32_t contentHeight) {
  if (!src || !dst || srcWidth <= 0 || srcHeight <= 0 || contentWidth <= 0 || contentHeight <= 0)
    return;
  const float rx = float((long double)srcWidth / contentWidth);
  const float ry = float((long double)srcHeight / contentHeight);
  // The column of every output sample is the same on each row: map it once.
  // The products are exact in double (an int times a float needs < 53 bits).
  static thread_local std::vector<int32_t> columns;
  columns.resize(size_t(contentWidth));
  for (int32_t x = 0; x < contentWidth; ++x)
    columns[x] = std::min(int32_t(std::trunc(double(x) * double(rx))), srcWidth - 1);
  const int32_t* map = columns.data();
  int32_t lastRow = -1;
  uint8_t* lastOut = nullptr;
  for (int32_t y = 0; y < contentHeight; ++y) {
    const int32_t row = std::min(int32_t(std::trunc(double(y) * double(ry))), srcHeight - 1);
    uint8_t* out = dst + ptrdiff_t(y) * dstLineSize;
    if (row == lastRow) {
      std::memcpy(out, lastOut, size_t(contentWidth));
    } else {
      const uint8_t* in = src + ptrdiff_t(row) * srcLineSize;
      for (int32_t x = 0; x < contentWidth; ++x) out[x] = in[map[x]];
    }
    lastRow = row;
    lastOut = out;
  }
}

void FillBorders(uint8_t* plane, int32_t lineSize, int32_t width, int32_t height,
                 const TBorders& borders, uint8_t value) {
  if (!plane || width <= 0 || height <= 0) return;
  const int32_t top = std::clamp(borders.Top, 0, height);
  const int32_t bottom = std::clamp(borders.Bottom, 0, height - top);
  const int32_t left = std::clamp(borders.Left, 0, width);
  const int32_t right = std::clamp(borders.Right, 0, width - left);
  auto row = [&](int32_t y) { return plane + ptrdiff_t(y) * lineSize; };
  for (int32_t y = 0; y < top; ++y) std::memset(row(y), value, size_t(width));
  for (int32_t y = height - bottom; y < height; ++y) std::memset(row(y), value, size_t(width));
  if (left == 0 && right == 0) return;
  for (int32_t y = top; y < height - bottom; ++y) {
    std::memset(row(y), value, size_t(left));
    std::memset(row(y) + width - right, value, size_t(right));
  }
}

}  // namespace vexo
