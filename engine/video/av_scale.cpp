#include "engine/video/av_scale.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "engine/media/media_lib.h"
#include "engine/video/av_scale_utils.h"
#include "engine/video/av_yuv_pack.h"
#include "engine/video/av_yuv_to_bgra.h"
#include "engine/video/streaming_store.h"
#include "engine/video/tone_map.h"
#include "engine/video/turned_picture.h"

namespace vexo {

namespace {

constexpr uint8_t LumaBorder = 0;
constexpr uint8_t ChromaBorder = 128;

// The scratch picture: a buffer that only grows, laid out per conversion.
std::unique_ptr<uint8_t[]> ScratchBuf;
int64_t ScratchCapacity = 0;
TAVPicture Scratch;
// Chroma of a grey source: a row of neutral samples read with line size 0.
std::vector<uint8_t> NeutralRow;

const uint8_t* NeutralChroma(int32_t samples) {
  if (NeutralRow.size() < size_t(samples) + 16) NeutralRow.assign(size_t(samples) + 16, 128);
  return NeutralRow.data();
}

// Lays the scratch picture over a buffer big enough for `fmt` at w x h.
void PrepareScratch(int32_t fmt, int32_t w, int32_t h) {
  Scratch = TAVPicture{};
  if (w <= 0 || h <= 0) return;
  const AVPixelFormat pixFmt = AVPixelFormat(fmt);
  const int size = ff::av_image_get_buffer_size(pixFmt, w, h, 1);
  if (size <= 0) return;
  if (size > ScratchCapacity) {
    ScratchBuf.reset();
    ScratchBuf.reset(new uint8_t[size_t(size)]);
    ScratchCapacity = size;
  }
  ff::av_image_fill_arrays(Scratch.data, Scratch.linesize, ScratchBuf.get(), pixFmt, w, h, 1);
}

// The area a plane copy writes, before chroma shifting.
struct TPlaneArea {
  int32_t Width, Height, ContentWidth, ContentHeight;
  TBorders Borders;
};

// Copies or scales one plane into the content rectangle of a destination
// plane and paints its borders when asked. A missing source plane (the chroma
// of a grey source) reads as neutral chroma.
void CopyPlane(const uint8_t* src, int32_t srcLineSize, int32_t srcWidth, int32_t srcHeight,
               TChromaShifts srcShifts, uint8_t* dst, int32_t dstLineSize, const TPlaneArea& area,
               TChromaShifts dstShifts, bool fill, uint8_t borderValue) {
  if (!dst) return;
  // A picture one pixel wide or tall still has one chroma sample per line.
  const int32_t sw = srcWidth > 0 ? std::max(srcWidth >> srcShifts.H, 1) : 0;
  const int32_t sh = srcHeight > 0 ? std::max(srcHeight >> srcShifts.V, 1) : 0;
  const int32_t dw = area.Width >> dstShifts.H, dh = area.Height >> dstShifts.V;
  const int32_t cw = area.ContentWidth >> dstShifts.H, ch = area.ContentHeight >> dstShifts.V;
  TBorders b;
  b.Left = area.Borders.Left >> dstShifts.H;
  b.Top = area.Borders.Top >> dstShifts.V;
  b.Right = dw - cw - b.Left;
  b.Bottom = dh - ch - b.Top;
  if (!src) {
    for (int32_t y = 0; y < ch; ++y)
      std::memset(dst + ptrdiff_t(b.Top + y) * dstLineSize + b.Left, ChromaBorder, size_t(cw));
  } else if (dw == sw && dh == sh) {
    // A destination row narrower than the source's line size gets only what fits.
    const size_t bytes = size_t(std::min(std::abs(srcLineSize), std::abs(dstLineSize)));
    if (srcLineSize == dstLineSize && srcLineSize > 0 && dh > 0) {
      std::memcpy(dst, src, size_t(dh - 1) * size_t(dstLineSize) + bytes);
    } else {
      for (int32_t y = 0; y < dh; ++y)
        std::memcpy(dst + ptrdiff_t(y) * dstLineSize, src + ptrdiff_t(y) * srcLineSize, bytes);
    }
  } else {
    ScalePlane(src, srcLineSize, sw, sh, dst + ptrdiff_t(b.Top) * dstLineSize + b.Left, dstLineSize,
               cw, ch);
  }
  if (fill) FillBorders(dst, dstLineSize, dw, dh, b, borderValue);
}

// Where a reader finds chroma: planes, line sizes, the shifts, and the last
// row and column that hold samples (a scratch copy leaves the odd tail row
// and column of a subsampled plane unwritten; readers repeat the last one).
struct TChromaSource {
  const uint8_t* U;
  const uint8_t* V;
  int32_t ULineSize, VLineSize;
  TChromaShifts Shifts;
  int32_t LastRow, LastColumn;

  const uint8_t* URow(int32_t y) const { return U + ptrdiff_t(Row(y)) * ULineSize; }
  const uint8_t* VRow(int32_t y) const { return V + ptrdiff_t(Row(y)) * VLineSize; }
  int32_t Row(int32_t y) const { return std::min(y >> Shifts.V, LastRow); }
};

TChromaSource ChromaOf(const TAVPicture& pic, bool grey, TChromaShifts shifts, int32_t validColumns,
                       int32_t validRows, int32_t width) {
  if (grey || validColumns <= 0 || validRows <= 0) {
    const uint8_t* neutral = NeutralChroma(width);
    return {neutral, neutral, 0, 0, shifts, 0, width};
  }
  return {pic.data[1], pic.data[2],   pic.linesize[1], pic.linesize[2],
          shifts,      validRows - 1, validColumns - 1};
}

std::string UnexpectedFourCC(TFourCC code, int32_t pixFmt) {
  return "Unexpected dst_fourcc: " + FourCCText(code) + " (src_pix_fmt: " + std::to_string(pixFmt) +
         ")";
}

int32_t PlanarToPlanar420(const TAVPicture& src, const TAVPicture& dst, int32_t sw, int32_t sh,
                          TChromaShifts shifts, bool grey, const TPlaneArea& area, bool fill,
                          TFourCC code) {
  CopyPlane(src.data[0], src.linesize[0], sw, sh, {0, 0}, dst.data[0], dst.linesize[0], area,
            {0, 0}, fill, LumaBorder);
  // "ENC " keeps the source's U, V order; the others put V first.
  const int u = code == FCC_ENC ? 1 : 2, v = code == FCC_ENC ? 2 : 1;
  CopyPlane(grey ? nullptr : src.data[1], src.linesize[1], sw, sh, shifts, dst.data[u],
            dst.linesize[u], area, {1, 1}, fill, ChromaBorder);
  CopyPlane(grey ? nullptr : src.data[2], src.linesize[2], sw, sh, shifts, dst.data[v],
            dst.linesize[v], area, {1, 1}, fill, ChromaBorder);
  return (dst.linesize[0] + dst.linesize[1]) * area.Height;
}

int32_t PlanarToPacked422(const TAVPicture& src, const TAVPicture& dst, int32_t sw, int32_t sh,
                          int32_t pixFmt, TChromaShifts shifts, bool grey, const TPlaneArea& area,
                          TFourCC code) {
  const int32_t dw = area.Width, dh = area.Height;
  PrepareScratch(pixFmt, dw, dh);
  if (!Scratch.data[0] || !dst.data[0]) return dst.linesize[0] * dh;
  // The whole destination is packed from the scratch, so its bands are always
  // painted there: unpainted they would carry whatever the buffer last held.
  CopyPlane(src.data[0], src.linesize[0], sw, sh, {0, 0}, Scratch.data[0], Scratch.linesize[0],
            area, {0, 0}, true, LumaBorder);
  if (!grey) {
    for (int p = 1; p <= 2; ++p)
      CopyPlane(src.data[p], src.linesize[p], sw, sh, shifts, Scratch.data[p], Scratch.linesize[p],
                area, shifts, true, ChromaBorder);
  }
  const TChromaSource chroma = ChromaOf(Scratch, grey, shifts, dw >> shifts.H, dh >> shifts.V, dw);
  const bool uyvy = code == FCC_UYVY;
  for (int32_t y = 0; y < dh; ++y)
    PackYuv422Row(Scratch.data[0] + ptrdiff_t(y) * Scratch.linesize[0], chroma.URow(y),
                  chroma.VRow(y), dw / 2, chroma.Shifts.H, chroma.LastColumn, uyvy,
                  dst.data[0] + ptrdiff_t(y) * dst.linesize[0]);
  return dst.linesize[0] * dh;
}

// First pixel of content row `row` in a bottom-up 32-bit picture.
uint8_t* BottomUpRow(const TAVPicture& dst, const TPlaneArea& area, int32_t row) {
  const ptrdiff_t ls = dst.linesize[0];
  return dst.data[0] + ls * (area.Height - 1) - ptrdiff_t(area.Borders.Top + row) * ls +
         4 * area.Borders.Left;
}

// Bands of a bottom-up picture: its top band lies at the end of the memory.
void FillBottomUpBorders(const TAVPicture& dst, const TPlaneArea& area) {
  TBorders b = area.Borders;
  std::swap(b.Top, b.Bottom);
  b.Left *= 4, b.Right *= 4;
  FillBorders(dst.data[0], dst.linesize[0], area.Width * 4, area.Height, b, 0);
}

int32_t PlanarTo32Bit(const TAVPicture& src, const TAVPicture& dst, int32_t sw, int32_t sh,
                      int32_t pixFmt, TChromaShifts shifts, bool grey, const TPlaneArea& area,
                      bool fill) {
  const TYuvToBgraFactors factors = YuvToBgraFactors(YuvCoefficients(src.Colour));
  const int32_t cw = area.ContentWidth, ch = area.ContentHeight;
  const int32_t ls = dst.linesize[0];
  if (!dst.data[0]) return ls * area.Height;
  TAVPicture pic = src;
  TChromaSource chroma;
  if (sw == area.Width && sh == area.Height) {
    // Whole source chroma planes: every sample a pixel asks for exists.
    chroma = ChromaOf(src, grey, shifts, INT32_MAX, INT32_MAX, cw);
  } else {
    PrepareScratch(pixFmt, cw, ch);
    pic = Scratch;
    const TPlaneArea content{cw, ch, cw, ch, {}};
    CopyPlane(src.data[0], src.linesize[0], sw, sh, {0, 0}, pic.data[0], pic.linesize[0], content,
              {0, 0}, false, LumaBorder);
    if (!grey) {
      for (int p = 1; p <= 2; ++p)
        CopyPlane(src.data[p], src.linesize[p], sw, sh, shifts, pic.data[p], pic.linesize[p],
                  content, shifts, false, ChromaBorder);
    }
    chroma = ChromaOf(pic, grey, shifts, cw >> shifts.H, ch >> shifts.V, cw);
  }
  const int32_t width = cw & ~1;
  if (pic.data[0] && width > 0) {
    static TYuvToBgraRow converter;
    converter.SetStreaming(StreamsPicture(int64_t(std::abs(ls)) * area.Height));
    converter.SetFactors(factors);
    int32_t chromaRow = -1;
    for (int32_t y = 0; y < ch; ++y) {
      if (chroma.Row(y) != chromaRow) {
        chromaRow = chroma.Row(y);
        converter.SetChroma(chroma.URow(y), chroma.VRow(y), width, chroma.Shifts.H,
                            chroma.LastColumn);
      }
      converter.ConvertRow(pic.data[0] + ptrdiff_t(y) * pic.linesize[0], BottomUpRow(dst, area, y));
    }
  }
  if (fill) FillBottomUpBorders(dst, area);
  return ls * area.Height;
}

int32_t PackedTo32Bit(const TAVPicture& src, const TAVPicture& dst, int32_t sw, int32_t sh,
                      const TPlaneArea& area, bool fill) {
  if (!dst.data[0]) return dst.linesize[0] * area.ContentHeight;
  // Never read past the source, whatever the content size.
  const int32_t rows = std::min(area.ContentHeight, sh);
  const int32_t cols = std::min(area.ContentWidth, sw);
  for (int32_t y = 0; y < rows && src.data[0]; ++y) {
    const uint8_t* in = src.data[0] + ptrdiff_t(y) * src.linesize[0];
    uint8_t* out = BottomUpRow(dst, area, y);
    for (int32_t x = 0; x < cols; ++x) {
      out[4 * x + 0] = in[3 * x + 0];
      out[4 * x + 1] = in[3 * x + 1];
      out[4 * x + 2] = in[3 * x + 2];
      out[4 * x + 3] = 0xFF;
    }
  }
  if (fill) FillBottomUpBorders(dst, area);
  return dst.linesize[0] * area.ContentHeight;
}

// ClampByte((B + G + R) / 3): a third never lies on a half, so integers do it.
inline uint8_t LumaOfBgr(const uint8_t* p) {
  return uint8_t((p[0] + p[1] + p[2] + 1) / 3);
}

inline uint8_t ChromaByte(int value) {
  return uint8_t(std::clamp(value, 0, 255));
}

int32_t PackedToPacked422(const TAVPicture& src, const TAVPicture& dst, int32_t sw, int32_t sh,
                          const TPlaneArea& area, bool fill, TFourCC code) {
  if (!IsPacked422FourCC(code))
    throw std::logic_error("packedRGB_to_packedYUV - unexpected yuv format: " + FourCCText(code));
  const int32_t cw = area.ContentWidth, ch = area.ContentHeight;
  if (!dst.data[0]) return cw * ch * 2;
  const ptrdiff_t ls = dst.linesize[0];
  const int32_t rows = std::min(ch, sh), pairs = std::min(cw, sw) / 2;
  const bool uyvy = code == FCC_UYVY;
  for (int32_t y = 0; y < rows && src.data[0]; ++y) {
    const uint8_t* in = src.data[0] + ptrdiff_t(y) * src.linesize[0];
    uint8_t* out = dst.data[0] + ptrdiff_t(area.Borders.Top + y) * ls + 2 * area.Borders.Left;
    for (int32_t i = 0; i < pairs; ++i, in += 6, out += 4) {
      const uint8_t y0 = LumaOfBgr(in), y1 = LumaOfBgr(in + 3);
      const uint8_t u = ChromaByte(in[0] - y0 + 128), v = ChromaByte(in[5] - y0 + 128);
      if (uyvy) {
        out[0] = u, out[1] = y0, out[2] = v, out[3] = y1;
      } else {
        out[0] = y0, out[1] = u, out[2] = y1, out[3] = v;
      }
    }
  }
  if (fill) {
    TBorders b = area.Borders;
    b.Left *= 2, b.Right *= 2;
    FillBorders(dst.data[0], dst.linesize[0], area.Width * 2, area.Height, b, 0);
  }
  return cw * ch * 2;
}

int32_t PackedToPlanar420(const TAVPicture& src, const TAVPicture& dst, int32_t sw, int32_t sh,
                          const TPlaneArea& area) {
  const int32_t cw = area.ContentWidth, ch = area.ContentHeight;
  const int32_t rows = std::min(ch, sh), pairs = std::min(cw, sw) / 2;
  if (dst.data[0] && dst.data[1] && dst.data[2] && src.data[0]) {
    for (int32_t y = 0; y < rows; ++y) {
      const uint8_t* in = src.data[0] + ptrdiff_t(y) * src.linesize[0];
      uint8_t* luma = dst.data[0] + ptrdiff_t(y) * dst.linesize[0];
      // U goes to plane 2 and V to plane 1 whatever the code asks for.
      uint8_t* u = dst.data[2] + ptrdiff_t(y / 2) * dst.linesize[2];
      uint8_t* v = dst.data[1] + ptrdiff_t(y / 2) * dst.linesize[1];
      const bool chromaRow = y % 2 == 0;
      for (int32_t i = 0; i < pairs; ++i, in += 6) {
        const uint8_t y0 = LumaOfBgr(in);
        luma[2 * i] = y0;
        luma[2 * i + 1] = LumaOfBgr(in + 3);
        if (chromaRow) {
          u[i] = ChromaByte(in[0] - y0 + 128);
          v[i] = ChromaByte(in[5] - y0 + 128);
        }
      }
    }
  }
  return int32_t(std::nearbyint(double(cw) * double(ch) * 1.5));
}

}  // namespace

TAVPicture PictureOfFrame(const AVFrame& frame) {
  TAVPicture pic;
  pic.Colour = ColourOfFrame(frame);
  for (int i = 0; i < 4; ++i) {
    pic.data[i] = frame.data[i];
    pic.linesize[i] = frame.linesize[i];
  }
  return pic;
}

namespace {

TPictureColour LastColour;

int32_t ConvertResolved(const TAVPicture& src, const TAVPicture& dst, int32_t srcWidth,
                        std::string& errMsg, uint8_t fillBorders, TFourCC dstFourCC,
                        int32_t srcPixFmt, int32_t dstHeight, int32_t dstWidth,
                        int32_t contentHeight, int32_t contentWidth, int32_t srcHeight,
                        TPictureTurn turn);

// A picture in a format without a path of its own, brought by libswscale to
// the nearest format that has one, at its own size.
struct TIntermediate {
  std::unique_ptr<uint8_t[]> Buf;
  int64_t Capacity = 0;
  SwsContext* Context = nullptr;
} Inter;

// The layout a source is brought to: Y, Cb, Cr with the source's
// subsampling (alpha kept for composing), grey, or, for R, G, B and palette
// sources, 4:4:4 Y, Cb, Cr (full range for 32-bit destinations, which get
// back the colours; limited BT.601 for the Y, Cb, Cr ones, as displays expect).
AVPixelFormat IntermediateFormat(const AVPixFmtDescriptor& d, bool& alpha) {
  alpha = (d.flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
  if (d.flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BAYER))
    return alpha ? AV_PIX_FMT_YUVA444P : AV_PIX_FMT_YUV444P;
  if (d.nb_components <= 2) return alpha ? AV_PIX_FMT_YUVA444P : AV_PIX_FMT_GRAY8;
  const int h = d.log2_chroma_w, v = d.log2_chroma_h;
  if (h == 0 && v == 0) return alpha ? AV_PIX_FMT_YUVA444P : AV_PIX_FMT_YUV444P;
  if (h == 1 && v == 0) return alpha ? AV_PIX_FMT_YUVA422P : AV_PIX_FMT_YUV422P;
  if (h == 0 && v == 1) return alpha ? AV_PIX_FMT_YUVA444P : AV_PIX_FMT_YUV440P;
  if (h == 2 && v == 0 && !alpha) return AV_PIX_FMT_YUV411P;
  return alpha ? AV_PIX_FMT_YUVA420P : AV_PIX_FMT_YUV420P;
}

// Composes a 4:x:x picture with alpha over black, in place: each sample moves
// towards black by its pixel's transparency (a chroma sample by that of the
// first pixel it covers).
void ComposeOverBlack(const TAVPicture& pic, int32_t w, int32_t h, int hShift, int vShift,
                      int lumaBlack) {
  const uint8_t* alpha = pic.data[3];
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* luma = pic.data[0] + ptrdiff_t(y) * pic.linesize[0];
    const uint8_t* a = alpha + ptrdiff_t(y) * pic.linesize[3];
    for (int32_t x = 0; x < w; ++x)
      luma[x] = uint8_t(lumaBlack + ((luma[x] - lumaBlack) * a[x] + 127) / 255);
  }
  const int32_t cw = -((-w) >> hShift), ch = -((-h) >> vShift);
  for (int p = 1; p <= 2; ++p)
    for (int32_t y = 0; y < ch; ++y) {
      uint8_t* c = pic.data[p] + ptrdiff_t(y) * pic.linesize[p];
      const uint8_t* a = alpha + ptrdiff_t(y << vShift) * pic.linesize[3];
      for (int32_t x = 0; x < cw; ++x)
        c[x] = uint8_t(128 + ((c[x] - 128) * a[x << hShift] + (c[x] >= 128 ? 127 : -127)) / 255);
    }
}

std::string UnsupportedFormat(int32_t pixFmt) {
  return "Unsupported picture format: " + PixFmtText(pixFmt);
}

// Lays `pic` over the intermediate buffer, grown for `fmt` at w x h.
bool PrepareIntermediate(AVPixelFormat fmt, int32_t w, int32_t h, TAVPicture& pic) {
  const int size = ff::av_image_get_buffer_size(fmt, w, h, 1);
  if (size <= 0) return false;
  if (size > Inter.Capacity) {
    Inter.Buf.reset();
    Inter.Buf.reset(new uint8_t[size_t(size)]);
    Inter.Capacity = size;
  }
  ff::av_image_fill_arrays(pic.data, pic.linesize, Inter.Buf.get(), fmt, w, h, 1);
  return true;
}

int32_t ConvertThroughSwscale(const TAVPicture& src, const TAVPicture& dst, int32_t sw,
                              std::string& errMsg, uint8_t fillBorders, TFourCC dstFourCC,
                              int32_t srcPixFmt, int32_t dstHeight, int32_t dstWidth,
                              int32_t contentHeight, int32_t contentWidth, int32_t sh,
                              TPictureTurn turn) {
  const AVPixelFormat fmt = AVPixelFormat(srcPixFmt);
  const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(fmt);
  if (!d || !ff::sws_isSupportedInput(fmt) || sw <= 0 || sh <= 0 || !src.data[0]) {
    errMsg = UnsupportedFormat(srcPixFmt);
    return 0;
  }
  bool alpha = false;
  const AVPixelFormat interFmt = IntermediateFormat(*d, alpha);
  const bool fromRgb =
      (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BAYER)) != 0;
  TPictureColour interColour = src.Colour;
  if (fromRgb) {
    interColour = TPictureColour{};
    interColour.Matrix = TColourMatrix::Bt601;
    interColour.Range = Is32BitFourCC(dstFourCC) ? TColourRange::Full : TColourRange::Limited;
  }
  TAVPicture pic;
  if (!PrepareIntermediate(interFmt, sw, sh, pic)) {
    errMsg = UnsupportedFormat(srcPixFmt);
    return 0;
  }
  pic.Colour = interColour;
  Inter.Context = ff::sws_getCachedContext(Inter.Context, sw, sh, fmt, sw, sh, interFmt, SWS_POINT,
                                           nullptr, nullptr, nullptr);
  if (!Inter.Context) {
    errMsg = UnsupportedFormat(srcPixFmt);
    return 0;
  }
  const int cs = SwsColourSpace(fromRgb ? interColour.Matrix : src.Colour.Matrix);
  const bool srcFull = fromRgb || src.Colour.Range == TColourRange::Full;
  const bool dstFull = interColour.Range == TColourRange::Full;
  ff::sws_setColorspaceDetails(Inter.Context, ff::sws_getCoefficients(cs), srcFull,
                               ff::sws_getCoefficients(cs), dstFull, 0, 1 << 16, 1 << 16);
  const uint8_t* const srcPlanes[4] = {src.data[0], src.data[1], src.data[2], src.data[3]};
  const int srcLines[4] = {src.linesize[0], src.linesize[1], src.linesize[2], src.linesize[3]};
  ff::sws_scale(Inter.Context, srcPlanes, srcLines, 0, sh, pic.data, pic.linesize);
  int32_t interPixFmt = interFmt;
  if (alpha) {
    const AVPixFmtDescriptor* i = ff::av_pix_fmt_desc_get(interFmt);
    ComposeOverBlack(pic, sw, sh, i->log2_chroma_w, i->log2_chroma_h,
                     interColour.Range == TColourRange::Full ? 0 : 16);
    interPixFmt = interFmt == AV_PIX_FMT_YUVA420P   ? AV_PIX_FMT_YUV420P
                  : interFmt == AV_PIX_FMT_YUVA422P ? AV_PIX_FMT_YUV422P
                                                    : AV_PIX_FMT_YUV444P;
  }
  return ConvertResolved(pic, dst, sw, errMsg, fillBorders, dstFourCC, interPixFmt, dstHeight,
                         dstWidth, contentHeight, contentWidth, sh, turn);
}

int32_t ConvertResolved(const TAVPicture& src, const TAVPicture& dst, int32_t srcWidth,
                        std::string& errMsg, uint8_t fillBorders, TFourCC dstFourCC,
                        int32_t srcPixFmt, int32_t dstHeight, int32_t dstWidth,
                        int32_t contentHeight, int32_t contentWidth, int32_t srcHeight,
                        TPictureTurn turn) {
  if (ToneMapsPicture(srcPixFmt, src.Colour) && srcWidth > 0 && srcHeight > 0 && src.data[0]) {
    // High dynamic range, of any sample size and layout: tone-mapped into
    // BT.709, straight to R, G, B for 32-bit destinations, 4:4:4 for others.
    const bool rgb = Is32BitFourCC(dstFourCC);
    const AVPixelFormat interFmt = rgb ? PIX_FMT_BGR24 : AV_PIX_FMT_YUV444P;
    TAVPicture pic;
    if (!PrepareIntermediate(interFmt, srcWidth, srcHeight, pic)) {
      errMsg = UnsupportedFormat(srcPixFmt);
      return 0;
    }
    ToneMapPicture(src, srcPixFmt, srcWidth, srcHeight, pic,
                   rgb ? TToneOutput::Bgr : TToneOutput::Yuv);
    pic.Colour = TPictureColour{TColourMatrix::Bt709, TColourRange::Limited};
    return ConvertResolved(pic, dst, srcWidth, errMsg, fillBorders, dstFourCC, interFmt, dstHeight,
                           dstWidth, contentHeight, contentWidth, srcHeight, turn);
  }
  TChromaShifts shifts;
  const bool ownPath = PlanarSourceShifts(srcPixFmt, shifts) || srcPixFmt == PIX_FMT_BGR24;
  if (!ownPath)
    return ConvertThroughSwscale(src, dst, srcWidth, errMsg, fillBorders, dstFourCC, srcPixFmt,
                                 dstHeight, dstWidth, contentHeight, contentWidth, srcHeight, turn);
  LastColour = src.Colour;
  if (TurnOfOrientation(turn) != ptNone) {
    TTurnedPicture turned;
    if (TurnPicture(src, srcWidth, srcHeight, srcPixFmt, turn, turned))
      return ConvertResolved(turned.Picture, dst, turned.Width, errMsg, fillBorders, dstFourCC,
                             turned.PixFmt, dstHeight, dstWidth, contentHeight, contentWidth,
                             turned.Height, ptNone);
  }
  TPlaneArea area;
  area.Width = std::max(dstWidth, 0);
  area.Height = std::max(dstHeight, 0);
  // A content rectangle larger than the destination would put it outside.
  area.ContentWidth = std::clamp(contentWidth, 0, area.Width);
  area.ContentHeight = std::clamp(contentHeight, 0, area.Height);
  area.Borders = BorderSizes(area.Width, area.Height, area.ContentWidth, area.ContentHeight);
  const int32_t sw = std::max(srcWidth, 0), sh = std::max(srcHeight, 0);
  const bool fill = fillBorders == 1;

  if (srcPixFmt != PIX_FMT_BGR24) {
    const bool grey = srcPixFmt == PIX_FMT_GRAY8;
    if (IsPlanar420FourCC(dstFourCC))
      return PlanarToPlanar420(src, dst, sw, sh, shifts, grey, area, fill, dstFourCC);
    if (IsPacked422FourCC(dstFourCC))
      return PlanarToPacked422(src, dst, sw, sh, srcPixFmt, shifts, grey, area, dstFourCC);
    if (Is32BitFourCC(dstFourCC))
      return PlanarTo32Bit(src, dst, sw, sh, srcPixFmt, shifts, grey, area, fill);
    throw std::logic_error(UnexpectedFourCC(dstFourCC, srcPixFmt));
  }
  if (Is32BitFourCC(dstFourCC)) return PackedTo32Bit(src, dst, sw, sh, area, fill);
  if (IsPacked422FourCC(dstFourCC))
    return PackedToPacked422(src, dst, sw, sh, area, fill, dstFourCC);
  if (IsPlanar420FourCC(dstFourCC)) return PackedToPlanar420(src, dst, sw, sh, area);
  throw std::logic_error(UnexpectedFourCC(dstFourCC, srcPixFmt));
}

}  // namespace

int32_t ConvertPicture(const TAVPicture& src, const TAVPicture& dst, int32_t srcWidth,
                       std::string& errMsg, uint8_t fillBorders, TFourCC dstFourCC,
                       int32_t srcPixFmt, int32_t dstHeight, int32_t dstWidth,
                       int32_t contentHeight, int32_t contentWidth, int32_t srcHeight,
                       TPictureTurn turn) {
  TAVPicture source = src;
  source.Colour = ResolvedColour(src.Colour, srcPixFmt, srcWidth, srcHeight);
  return ConvertResolved(source, dst, srcWidth, errMsg, fillBorders, dstFourCC, srcPixFmt,
                         dstHeight, dstWidth, contentHeight, contentWidth, srcHeight, turn);
}

TPictureColour ConvertedColour() {
  return LastColour;
}

std::string PixFmtText(int32_t pixFmt) {
  const char* name =
      ff::av_get_pix_fmt_name ? ff::av_get_pix_fmt_name(AVPixelFormat(pixFmt)) : nullptr;
  return name ? std::string(name) : std::to_string(pixFmt);
}

void FreeConvertScratch() {
  FreeTurnScratch();
  Inter.Buf.reset();
  Inter.Capacity = 0;
  if (Inter.Context && ff::sws_freeContext) ff::sws_freeContext(Inter.Context);
  Inter.Context = nullptr;
  ScratchBuf.reset();
  ScratchCapacity = 0;
  Scratch = TAVPicture{};
}

int64_t ConvertScratchCapacity() {
  return ScratchCapacity;
}

}  // namespace vexo
