#include "engine/video/turned_picture.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "engine/media/av_types.h"
#include "engine/video/av_scale_utils.h"

namespace vexo {

namespace {

std::unique_ptr<uint8_t[]> TurnBuf;
int64_t TurnCapacity = 0;
// A 4:1:1 chroma plane widened to one sample per pixel.
std::vector<uint8_t> WideChroma;

int32_t CeilShift(int32_t v, int s) {
  return -((-v) >> s);
}

uint8_t* Reserve(int64_t bytes) {
  if (bytes > TurnCapacity) {
    TurnBuf.reset();
    TurnBuf.reset(new uint8_t[size_t(bytes)]);
    TurnCapacity = bytes;
  }
  return TurnBuf.get();
}

// Each 4:1:1 chroma sample repeated over the four pixels it covers.
const uint8_t* WidenChroma(const uint8_t* plane, int32_t lineSize, int32_t width, int32_t height) {
  const int32_t samples = CeilShift(width, 2);
  WideChroma.resize(size_t(width) * size_t(height));
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = plane + ptrdiff_t(y) * lineSize;
    uint8_t* out = WideChroma.data() + ptrdiff_t(y) * width;
    for (int32_t x = 0; x < width; ++x) out[x] = in[std::min(x >> 2, samples - 1)];
  }
  return WideChroma.data();
}

}  // namespace

int32_t TurnedPixFmt(int32_t pixFmt, TPictureTurn turn) {
  if (!TurnSwapsAxes(turn)) return pixFmt;
  switch (pixFmt) {
    case PIX_FMT_YUVJ422P:
      return PIX_FMT_YUVJ440P;
    case PIX_FMT_YUVJ440P:
      return PIX_FMT_YUVJ422P;
    case AV_PIX_FMT_YUV422P:
      return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUV440P:
      return AV_PIX_FMT_YUV422P;
    case PIX_FMT_YUV411P:
      return PIX_FMT_YUVJ444P;
    default:
      return pixFmt;
  }
}

bool TurnPicture(const TAVPicture& src, int32_t width, int32_t height, int32_t pixFmt,
                 TPictureTurn turn, TTurnedPicture& turned) {
  TChromaShifts shifts;
  const bool packed = pixFmt == PIX_FMT_BGR24;
  if (!packed && !PlanarSourceShifts(pixFmt, shifts)) return false;
  if (width <= 0 || height <= 0 || !src.data[0]) return false;
  const bool swap = TurnSwapsAxes(turn);
  const bool grey = pixFmt == PIX_FMT_GRAY8;
  const bool widen = swap && pixFmt == PIX_FMT_YUV411P;
  const int planes = packed || grey ? 1 : 3;
  if (planes == 3 && (!src.data[1] || !src.data[2])) return false;

  // Stored size of each plane and the turned layout.
  int32_t w[3] = {width}, h[3] = {height}, ls[3] = {};
  const int sampleBytes = packed ? 3 : 1;
  for (int p = 1; p < planes; ++p) {
    w[p] = widen ? width : CeilShift(width, shifts.H);
    h[p] = widen ? height : CeilShift(height, shifts.V);
  }
  int64_t total = 0;
  for (int p = 0; p < planes; ++p) {
    // Tight rows: an unscaled conversion copies whole source lines, and
    // padding would carry whatever the buffer last held.
    ls[p] = (swap ? h[p] : w[p]) * sampleBytes;
    total += int64_t(ls[p]) * (swap ? w[p] : h[p]);
  }
  uint8_t* buf = Reserve(total);

  turned = TTurnedPicture{};
  turned.Picture.Colour = src.Colour;
  turned.Width = swap ? height : width;
  turned.Height = swap ? width : height;
  turned.PixFmt = TurnedPixFmt(pixFmt, turn);
  for (int p = 0; p < planes; ++p) {
    const uint8_t* plane = src.data[p];
    int32_t lineSize = src.linesize[p];
    if (widen && p > 0) {
      plane = WidenChroma(plane, lineSize, width, height);
      lineSize = width;
    }
    TurnPlane(plane, lineSize, w[p], h[p], sampleBytes, turn, buf, ls[p]);
    turned.Picture.data[p] = buf;
    turned.Picture.linesize[p] = ls[p];
    buf += ptrdiff_t(ls[p]) * (swap ? w[p] : h[p]);
  }
  return true;
}

void FreeTurnScratch() {
  TurnBuf.reset();
  TurnCapacity = 0;
  WideChroma = {};
}

int64_t TurnScratchCapacity() {
  return TurnCapacity;
}

}  // namespace vexo
