#include "engine/video/subtitle_draw.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/input/subtitle_set.h"
#include "engine/media/av_log.h"

extern "C" {
#include <ass/ass.h>
}

namespace vexo {

namespace {

struct TRgba {
  uint8_t R = 0, G = 0, B = 0, A = 0;
};

struct TYuv {
  int Y = 0, U = 128, V = 128;
};

TYuv YuvOf(const TYuvCoefficients& c, const TRgba& p) {
  // The inverse of the conversion the coefficients describe.
  const double r = p.R, g = p.G, b = p.B;
  const double luma = (g + c.Gu * b / c.Bu + c.Gv * r / c.Rv) / (1 + c.Gu / c.Bu + c.Gv / c.Rv);
  const double u = (b - luma) / c.Bu, v = (r - luma) / c.Rv;
  TYuv out;
  out.Y = std::clamp(int(std::lround(luma / c.LumaScale + c.LumaOffset)), 0, 255);
  out.U = std::clamp(int(std::lround(u + 128)), 0, 255);
  out.V = std::clamp(int(std::lround(v + 128)), 0, 255);
  return out;
}

uint8_t Mix(uint8_t dst, int src, int alpha) {
  return uint8_t(dst + ((src - int(dst)) * alpha + 127) / 255);
}

bool IsPlanar(TFourCC code) {
  return code == FCC_YV12 || code == FCC_I420 || code == FCC_IYUV || code == FCC_GRAY;
}

// Blends w x h pixels at (x0, y0) of the canvas (top-down), each given by
// src(x, y) relative to the area; parts outside the canvas are left out.
template <class Source>
void BlendArea(const TSubtitleCanvas& c, int x0, int y0, int w, int h, Source src) {
  const int left = std::max(x0, 0), top = std::max(y0, 0);
  const int right = std::min(x0 + w, c.Width), bottom = std::min(y0 + h, c.Height);
  if (left >= right || top >= bottom) return;
  if (c.FourCC == FCC_ARGB || c.FourCC == FCC_RGB3) {
    for (int y = top; y < bottom; ++y) {
      uint8_t* row = c.Data[0] + size_t(c.Height - 1 - y) * size_t(c.LineBytes[0]);
      for (int x = left; x < right; ++x) {
        const TRgba p = src(x - x0, y - y0);
        if (p.A == 0) continue;
        uint8_t* px = row + size_t(x) * 4;
        px[0] = Mix(px[0], p.B, p.A);
        px[1] = Mix(px[1], p.G, p.A);
        px[2] = Mix(px[2], p.R, p.A);
      }
    }
    return;
  }
  const TYuvCoefficients coef = YuvCoefficients(c.Colour);
  // A text image has one colour: it is converted once.
  TRgba lastRgb{0, 0, 0, 0};
  TYuv lastYuv = YuvOf(coef, lastRgb);
  auto yuvOf = [&](const TRgba& p) {
    if (p.R != lastRgb.R || p.G != lastRgb.G || p.B != lastRgb.B) {
      lastRgb = p;
      lastYuv = YuvOf(coef, p);
    }
    return lastYuv;
  };
  const bool planar = IsPlanar(c.FourCC);
  const bool uyvy = c.FourCC == FCC_UYVY;
  // Chroma blocks: 2 x 2 pixels in 4:2:0, 2 x 1 in 4:2:2; each takes the
  // mean alpha and the alpha-weighted mean colour of its pixels.
  const int blockRows = planar ? 2 : 1;
  for (int by = top - (planar ? top % 2 : 0); by < bottom; by += blockRows)
    for (int bx = left - left % 2; bx < right; bx += 2) {
      int alphaSum = 0;
      double r = 0, g = 0, b = 0;
      for (int y = std::max(by, top); y < std::min(by + blockRows, bottom); ++y)
        for (int x = std::max(bx, left); x < std::min(bx + 2, right); ++x) {
          const TRgba p = src(x - x0, y - y0);
          if (p.A == 0) continue;
          alphaSum += p.A;
          r += double(p.R) * p.A, g += double(p.G) * p.A, b += double(p.B) * p.A;
          const TYuv yuv = yuvOf(p);
          uint8_t* luma = planar ? c.Data[0] + size_t(y) * size_t(c.LineBytes[0]) + size_t(x)
                                 : c.Data[0] + size_t(y) * size_t(c.LineBytes[0]) + size_t(x) * 2 +
                                       (uyvy ? 1 : 0);
          *luma = Mix(*luma, yuv.Y, p.A);
        }
      if (alphaSum == 0) continue;
      const TRgba mean{uint8_t(std::lround(r / alphaSum)), uint8_t(std::lround(g / alphaSum)),
                       uint8_t(std::lround(b / alphaSum)), 255};
      const TYuv yuv = yuvOf(mean);
      const int alpha = alphaSum / (blockRows * 2);
      if (planar) {
        if (c.FourCC == FCC_GRAY || !c.Data[1] || !c.Data[2]) continue;
        const size_t cx = size_t(bx / 2), cy = size_t(by / 2);
        uint8_t* v = c.Data[1] + cy * size_t(c.LineBytes[1]) + cx;
        uint8_t* u = c.Data[2] + cy * size_t(c.LineBytes[2]) + cx;
        *u = Mix(*u, yuv.U, alpha);
        *v = Mix(*v, yuv.V, alpha);
      } else {
        uint8_t* pair = c.Data[0] + size_t(by) * size_t(c.LineBytes[0]) + size_t(bx) * 2;
        uint8_t* u = uyvy ? pair : pair + 1;
        uint8_t* v = uyvy ? pair + 2 : pair + 3;
        *u = Mix(*u, yuv.U, alpha);
        *v = Mix(*v, yuv.V, alpha);
      }
    }
}

// One libass instance for the process: its font set-up is costly, and it is
// made only when the first subtitle is to be drawn. Drawing runs on the
// user-interface thread only.
struct TAss {
  ASS_Library* Library = nullptr;
  ASS_Renderer* Renderer = nullptr;
  bool Failed = false;
};

TAss& Ass() {
  static TAss ass;
  if (ass.Library || ass.Failed) return ass;
  ass.Library = ass_library_init();
  ass.Renderer = ass.Library ? ass_renderer_init(ass.Library) : nullptr;
  if (!ass.Renderer) {
    ass.Failed = true;
    Log("Subtitles: libass could not be set up");
    return ass;
  }
  ass_set_message_cb(
      ass.Library, [](int, const char*, va_list, void*) {}, nullptr);
  ass_set_fonts(ass.Renderer, nullptr, "sans-serif", ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
  return ass;
}

// The libass copy of a text track, kept with the track and brought up to
// date with the events added to its store since.
struct TAssTrack {
  ASS_Track* Track = nullptr;
  uint64_t Version = 0;
  ~TAssTrack() {
    if (Track) ass_free_track(Track);
  }
};

ASS_Track* AssTrackOf(TSubtitleTrack& track) {
  TAss& ass = Ass();
  if (!ass.Renderer) return nullptr;
  auto* state = static_cast<TAssTrack*>(track.RenderState.get());
  if (!state) {
    auto made = std::make_shared<TAssTrack>();
    made->Track = ass_new_track(ass.Library);
    if (!made->Track) return nullptr;
    if (!track.Header.empty())
      ass_process_codec_private(made->Track, track.Header.data(), int(track.Header.size()));
    state = made.get();
    track.RenderState = made;
  }
  if (state->Version != track.Store.Version()) {
    // Events that came since are those with a later serial number.
    for (const TSubtitleEvent& event : track.Store.Events()) {
      if (event.Serial <= state->Version) continue;
      const std::string chunk = std::to_string(event.Serial) + "," + event.Line;
      const int64_t length = event.EndMs > event.StartMs && event.EndMs < (INT64_MAX / 2)
                                 ? event.EndMs - event.StartMs
                                 : 5000;
      ass_process_chunk(state->Track, const_cast<char*>(chunk.data()), int(chunk.size()),
                        event.StartMs, length);
    }
    state->Version = track.Store.Version();
  }
  return state->Track;
}

bool DrawText(TSubtitleTrack& track, int64_t ms, const TSubtitleCanvas& c) {
  ASS_Track* assTrack = AssTrackOf(track);
  if (!assTrack) return false;
  ASS_Renderer* renderer = Ass().Renderer;
  ass_set_frame_size(renderer, c.Width, c.Height);
  ass_set_storage_size(renderer, c.ContentWidth, c.ContentHeight);
  const int bandX = (c.Width - c.ContentWidth) / 2, bandY = (c.Height - c.ContentHeight) / 2;
  ass_set_margins(renderer, bandY, c.Height - c.ContentHeight - bandY, bandX,
                  c.Width - c.ContentWidth - bandX);
  ass_set_use_margins(renderer, 0);
  ass_set_pixel_aspect(renderer, c.PixelAspect > 0 ? c.PixelAspect : 1);
  int changed = 0;
  bool drawn = false;
  for (ASS_Image* image = ass_render_frame(renderer, assTrack, ms, &changed); image;
       image = image->next) {
    if (image->w <= 0 || image->h <= 0) continue;
    const uint32_t colour = image->color;
    const int opacity = 255 - int(colour & 0xFF);
    const TRgba base{uint8_t(colour >> 24), uint8_t(colour >> 16), uint8_t(colour >> 8), 0};
    const unsigned char* mask = image->bitmap;
    const int stride = image->stride;
    BlendArea(c, image->dst_x, image->dst_y, image->w, image->h, [&](int x, int y) {
      TRgba p = base;
      p.A = uint8_t(mask[size_t(y) * size_t(stride) + size_t(x)] * opacity / 255);
      return p;
    });
    drawn = true;
  }
  return drawn;
}

bool DrawBitmaps(const TSubtitleTrack& track, const std::vector<const TSubtitleEvent*>& events,
                 const TSubtitleCanvas& c) {
  const int refWidth = track.RefWidth > 0 ? track.RefWidth : c.ContentWidth;
  const int refHeight = track.RefHeight > 0 ? track.RefHeight : c.ContentHeight;
  if (refWidth <= 0 || refHeight <= 0) return false;
  const double sx = double(c.ContentWidth) / refWidth, sy = double(c.ContentHeight) / refHeight;
  const int bandX = (c.Width - c.ContentWidth) / 2, bandY = (c.Height - c.ContentHeight) / 2;
  bool drawn = false;
  for (const TSubtitleEvent* event : events)
    for (const TSubtitleBitmap& bitmap : event->Bitmaps) {
      const int x0 = bandX + int(std::floor(bitmap.X * sx)),
                y0 = bandY + int(std::floor(bitmap.Y * sy));
      const int w = std::max(1, int(std::lround(bitmap.Width * sx))),
                h = std::max(1, int(std::lround(bitmap.Height * sy)));
      BlendArea(c, x0, y0, w, h, [&](int x, int y) {
        const int bxp = std::min(bitmap.Width - 1, int(x / sx));
        const int byp = std::min(bitmap.Height - 1, int(y / sy));
        const uint32_t argb = bitmap.Pixels[size_t(byp) * size_t(bitmap.Width) + size_t(bxp)];
        return TRgba{uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)};
      });
      drawn = true;
    }
  return drawn;
}

}  // namespace

bool DrawSubtitles(TSubtitleTrack& track, int64_t ms, const TSubtitleCanvas& canvas) {
  if (canvas.Width <= 0 || canvas.Height <= 0 || !canvas.Data[0] || canvas.ContentWidth <= 0 ||
      canvas.ContentHeight <= 0)
    return false;
  // Most pictures show no subtitle: they cost this look-up and nothing more.
  const std::vector<const TSubtitleEvent*> events = track.Store.At(ms);
  if (events.empty()) return false;
  return track.Text ? DrawText(track, ms, canvas) : DrawBitmaps(track, events, canvas);
}

}  // namespace vexo
