// Decoding one picture of an input file into the video screen's frame buffer.
#include <algorithm>
#include <cmath>

#include "engine/input/av_in_file.h"
#include "engine/input/heif_photo.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/media/decoder_names.h"
#include "engine/media/media_lib.h"
#include "engine/video/av_scale.h"
#include "engine/video/av_screen.h"
#include "engine/video/subtitle_draw.h"
#include "engine/video/tone_map.h"

namespace vexo {

namespace {

bool IsKey(const TAVPacket& packet) {
  return (packet.flags & AV_PKT_FLAG_KEY) != 0;
}

}  // namespace

void TAVInFile::FitPicture(int32_t width, int32_t height, float pixelAspect, float screenAspect) {
  const double d = Video.DisplayAspect, s = Video.SampleAspect, p = pixelAspect, q = screenAspect;
  if (std::fabs(d - q) < 0.001) {
    FitWidth = width;
    FitHeight = height;
  } else if (d > q) {
    FitWidth = width;
    FitHeight = int32_t(std::nearbyint(width / s / d * p));
  } else {
    FitHeight = height;
    FitWidth = int32_t(std::nearbyint(height * s * d / p));
  }
}

// The library's raw-video decoder copes with a short packet by failing it; a
// raw 4:2:0 stream whose packets cannot hold a picture is broken as a whole.
void TAVInFile::CheckRawPacket(const TAVPacket& packet) const {
  if (!DecoderIs(Video.CodecName, "rawvideo") || packet.size <= 0) return;
  const int32_t format = Video.CodecCtx ? Video.CodecCtx->pix_fmt : Video.HeaderPixFmt;
  if (format == PIX_FMT_BGR24) return;
  if (double(packet.size) < double(Video.Width) * Video.Height * 1.5)
    throw TAVDecodeError("Unexpected packet size (raw yuv)");
}

// Sends one packet, or the end of the stream when there is none. False when
// the decoder refused the packet, which then counts as decoded to nothing.
bool TAVInFile::SendVideoPacket(TAVPacket* packet) {
  AVCodecContext* ctx = Video.CodecCtx;
  if (!packet) {
    FVideoDraining = true;
    return ff::avcodec_send_packet(ctx, nullptr) >= 0;
  }
  int sent = ff::avcodec_send_packet(ctx, packet);
  if (sent == AVERROR_EOF) {
    // Drained at an earlier end and sought since without a flush.
    FlushDecoder(ctx);
    FVideoDraining = false;
    sent = ff::avcodec_send_packet(ctx, packet);
  }
  return sent >= 0;
}

// Reads and decodes until the decoder hands out a picture (0), the input ends
// (readFailed) or, under dfKeySeek, a packet before the first key frame was
// dropped (drSkipped). A packet may yield no picture yet: the decoder keeps
// pictures back for reordering and threading and hands them out later.
int TAVInFile::ReceivePicture(int32_t flags, bool& keySeen, bool& keyStampKnown, int64_t& keyStamp,
                              bool& readFailed) {
  AVCodecContext* ctx = Video.CodecCtx;
  if (!ctx || !ff::avcodec_is_open(ctx)) {
    readFailed = true;
    return drEnd;
  }
  if (!DecFrame) DecFrame = ff::av_frame_alloc();
  if (!DstPicture) DstPicture = ff::av_frame_alloc();
  if (!DecFrame || !DstPicture) throw std::bad_alloc();
  for (;;) {
    const int received = ff::avcodec_receive_frame(ctx, DecFrame);
    if (received >= 0) return drPicture;
    if (received == AVERROR_EOF || FVideoDraining) {
      readFailed = true;
      return drEnd;
    }
    TAVPacket* packet = nullptr;
    if (ReadPacket(packet, Video.StreamIndex) != 0) {
      SendVideoPacket(nullptr);
      continue;
    }
    if (IsKey(*packet)) {
      // Pictures of discarded packets (before an edit list's start) never show.
      if ((flags & dfKeySeek) && !keyStampKnown && packet->pts != AV_NOPTS_VALUE &&
          !(packet->flags & AV_PKT_FLAG_DISCARD)) {
        keyStamp = packet->pts;
        keyStampKnown = true;
      }
      if (packet->size == 0) Video.FramePos += 1;
      keySeen = true;
    }
    if ((flags & dfThinKeys) && Video.FramePos % 15 != 0) packet->flags &= ~AV_PKT_FLAG_KEY;
    if ((flags & dfKeySeek) && !keySeen) {
      FreePacket(packet);
      Video.FramePos += 1;
      return drSkipped;
    }
    try {
      CheckRawPacket(*packet);
    } catch (...) {
      FreePacket(packet);
      throw;
    }
    SendVideoPacket(packet->size > 0 ? packet : nullptr);
    FreePacket(packet);
  }
}

// The decoder's own pixel format is the one that counts: a header may say
// none or another, and a broadcast stream may change it midway. The
// conversion takes every format it can read, and names one it cannot.
void TAVInFile::CheckPixelFormat(TAVScreen&) {
  Video.HeaderPixFmt = DecFrame->format;
}

// The output picture lies over the screen's memory, wrapped afresh for every
// picture: the screen may have reallocated it since the last one.
void TAVInFile::WrapFrameBuffer(TAVScreen& screen) {
  ff::av_frame_unref(DstPicture);
  if (screen.FVideoMode == vmRaster) {
    DstPicture->data[0] = screen.FFrameBuf;
    DstPicture->linesize[0] = screen.FFrameStride;
  } else {
    ff::av_image_fill_arrays(DstPicture->data, DstPicture->linesize, screen.FFrameBuf,
                             AVPixelFormat(screen.FramePixFmt()), screen.Ovr_Width,
                             screen.Ovr_Height, 1);
    screen.FFrameLineBytes = DstPicture->linesize[0];
  }
  DstPicture->format = screen.FramePixFmt();
  DstPicture->width = screen.Ovr_Width;
  DstPicture->height = screen.Ovr_Height;
}

bool TAVInFile::DeviceToneMaps(const TAVScreen& screen, bool keepInRing) {
  const TPictureColour colour =
      ResolvedColour(ColourOfFrame(*DecFrame), DecFrame->format, DecFrame->width, DecFrame->height);
  if (!ToneMapsPicture(DecFrame->format, colour)) return false;
  // Pictures decoded ahead are kept in the screen's own layout; a picture
  // that is scaled into place or turned is the CPU's, and so is one under a
  // subtitle track, whose text is drawn into the converted picture (the same
  // table keeps the picture alike when the track is switched).
  const bool device =
      !keepInRing && FitWidth == screen.Ovr_Width && FitHeight == screen.Ovr_Height &&
      TurnOfOrientation(Video.Turn) == ptNone && !(Subtitles && Subtitles->Shown()) &&
      screen.DeviceToneMaps(DecFrame->format, colour, DecFrame->width, DecFrame->height);
  if (!FToneMapLogged) {
    FToneMapLogged = true;
    Log(device ? "HDR tone mapping: OpenGL shader" : "HDR tone mapping: CPU");
  }
  return device;
}

bool TAVInFile::ShowPicture(TAVScreen& screen, uint8_t firstFrame, bool keepInRing) {
  if (Params.ProbeEachImage == 0)
    FitPicture(screen.Ovr_Width, screen.Ovr_Height, screen.FPixelAspect, screen.FAspect);
  screen.FFrameDeep = DeviceToneMaps(screen, keepInRing);
  // Checked before converting: the conversion must never write past the buffer.
  const int64_t needed = screen.FVideoMode == vmRaster
                             ? int64_t(screen.FFrameStride) * screen.Ovr_Height
                             : ff::av_image_get_buffer_size(AVPixelFormat(screen.FramePixFmt()),
                                                            screen.Ovr_Width, screen.Ovr_Height, 1);
  if (!screen.FFrameBuf || needed > screen.FFrameBufSize)
    throw TAVDecodeError("ImageSize (" + std::to_string(needed) + ") exceeds allocated size (" +
                         std::to_string(screen.FFrameBufSize) + ")");
  WrapFrameBuffer(screen);
  if (screen.FFrameDeep) {
    // The device tone-maps the source's own samples.
    const TAVPicture src = PictureOfFrame(*DecFrame);
    DeepPlanes(src, DecFrame->format, DecFrame->width, DecFrame->height,
               PictureOfFrame(*DstPicture));
    screen.FFrameBytes = int32_t(needed);
    screen.FColour =
        ResolvedColour(src.Colour, DecFrame->format, DecFrame->width, DecFrame->height);
    return true;
  }
  // The decoded picture's own size: a header may have described another.
  screen.FFrameBytes = ConvertPicture(PictureOfFrame(*DecFrame), PictureOfFrame(*DstPicture),
                                      DecFrame->width, screen.FErrMsg, firstFrame, screen.FFourCC,
                                      DecFrame->format, screen.Ovr_Height, screen.Ovr_Width,
                                      FitHeight, FitWidth, DecFrame->height, Video.Turn);
  if (!screen.FErrMsg.empty()) {
    screen.FErrFile = FileName;
    return false;
  }
  screen.FColour = ConvertedColour();
  if (screen.FFrameBytes > screen.FFrameBufSize)
    throw TAVDecodeError("ImageSize (" + std::to_string(screen.FFrameBytes) +
                         ") exceeds allocated size (" + std::to_string(screen.FFrameBufSize) + ")");
  DrawPictureSubtitles(screen);
  if (keepInRing && FrameBufRef)
    FrameBufRef->Put(DstPicture, AVPixelFormat(screen.FPixFmt), screen.Ovr_Width,
                     screen.Ovr_Height);
  return true;
}

int64_t TAVInFile::PictureMs() const {
  const int64_t stamp = PictureStamp();
  if (stamp != AV_NOPTS_VALUE && Video.TicksPerSecond > 0)
    return int64_t(std::floor(double(stamp) * 1000.0 / Video.TicksPerSecond + 0.5));
  return int64_t(std::floor(FrameSeconds(Video.FramePos) * 1000.0 + 0.5));
}

TSubtitleCanvas TAVInFile::SubtitleCanvas(const TAVPicture& picture, TFourCC fourCC, int32_t width,
                                          int32_t height, float pixelAspect) const {
  TSubtitleCanvas canvas;
  canvas.FourCC = fourCC;
  for (int plane = 0; plane < 3; ++plane) {
    canvas.Data[plane] = picture.data[plane];
    canvas.LineBytes[plane] = picture.linesize[plane];
  }
  canvas.Width = width;
  canvas.Height = height;
  canvas.ContentWidth = std::clamp(FitWidth, 0, width);
  canvas.ContentHeight = std::clamp(FitHeight, 0, height);
  canvas.PixelAspect = pixelAspect;
  canvas.Colour = ConvertedColour();
  return canvas;
}

void TAVInFile::DrawPictureSubtitles(TAVScreen& screen) {
  TSubtitleTrack* track = Subtitles ? Subtitles->Shown() : nullptr;
  if (!track || !DecFrame) return;
  TAVPicture picture = PictureOfFrame(*DstPicture);
  if (screen.FFourCC == FCC_ARGB) picture.data[1] = picture.data[2] = nullptr;
  DrawSubtitles(*track, PictureMs(),
                SubtitleCanvas(picture, screen.FFourCC, screen.Ovr_Width, screen.Ovr_Height,
                               screen.FPixelAspect));
}

bool TAVInFile::ShowDecodedPicture(TAVScreen& screen) {
  screen.FErrMsg.clear();
  screen.FErrFile.clear();
  if (!DecFrame || !DstPicture || !DecFrame->data[0]) return false;
  return ShowPicture(screen, 0, false);
}

void TAVInFile::EncodePicture(TAVScreen& screen, uint8_t firstFrame) {
  if (!EncPicture) return;
  ConvertPicture(PictureOfFrame(*DecFrame), PictureOfFrame(*EncPicture), DecFrame->width,
                 screen.FErrMsg, firstFrame, FCC_ENC, DecFrame->format, EncodeParams.Height,
                 EncodeParams.Width, FitHeight, FitWidth, DecFrame->height, Video.Turn);
}

int TAVInFile::DecodeVideo(TAVScreen& screen, TAVInFile* prevFile, int32_t flags,
                           uint8_t firstFrame) {
  if (!PassesOverDamage()) return DecodePicture(screen, prevFile, flags, firstFrame);
  if (PictureError.empty()) {
    try {
      const int result = DecodePicture(screen, prevFile, flags, firstFrame);
      if (result != drEnd || screen.FErrMsg.empty()) return result;
      PictureError = screen.FErrMsg;
    } catch (const TAVDecodeError& e) {
      PictureError = e.what();
    }
    Log("Picture not shown: " + FileName + ": " + PictureError);
    screen.FErrMsg.clear();
    screen.FErrFile.clear();
  }
  // A damaged photo is not read again: its time passes as a picture's would.
  if (Video.FramePos >= std::max<int64_t>(Video.FrameCount, 1)) return drEnd;
  Video.FramePos += 1;
  return drPicture;
}

int TAVInFile::DecodePicture(TAVScreen& screen, TAVInFile* prevFile, int32_t flags,
                             uint8_t firstFrame) {
  screen.FErrMsg.clear();
  screen.FErrFile.clear();
  int r = drEnd;
  if (!Video.Opened && Video.SharedFrom < 0) OpenDecoder(tkVideo, prevFile, false);
  if (!DstPicture) DstPicture = ff::av_frame_alloc();
  if (!DstPicture) throw std::bad_alloc();
  TAVFrameBuf* ring = FrameBufRef;
  const bool ringHolds = ring && ring->Count > 0;
  if (flags & dfRingOnly) {
    // Pictures decoded ahead are handed out; nothing is read.
  } else if (ringHolds && !(flags & dfFillRing)) {
    // The oldest picture decoded ahead is due first; see below.
  } else if ((flags & dfFillRing) && ring && ring->Count >= ring->Size) {
    // The ring is full: the pictures in it are due before any new one.
    r = drPicture;
  } else if (Video.FramePos < Video.FrameCount || Video.FrameCount == 0) {
    bool readFailed = false, keySeen = false, keyStampKnown = false;
    int64_t keyStamp = 0;
    while (r != drPicture && !readFailed) {
      const int got = ReceivePicture(flags, keySeen, keyStampKnown, keyStamp, readFailed);
      if (got == drSkipped) return drSkipped;
      if (got != drPicture) continue;
      CheckPixelFormat(screen);
      if (FitWidth == 0)
        FitPicture(screen.Ovr_Width, screen.Ovr_Height, screen.FPixelAspect, screen.FAspect);
      if (flags & dfEncode) EncodePicture(screen, firstFrame);
      if ((flags & dfShow) && !ShowPicture(screen, firstFrame, (flags & dfFillRing) != 0))
        return drEnd;
      r = drPicture;
      // The first picture after a seek names its own position: the demultiplexer
      // may have gone back further than asked, and the decoder may drop
      // pictures before an edit list's start. A picture decoded without being
      // shown still moves the file on.
      const int64_t stamp = PictureStamp();
      if ((flags & dfKeySeek) && stamp != AV_NOPTS_VALUE && stamp >= 0) {
        keyStamp = stamp;
        keyStampKnown = true;
      }
      Video.FramePos = keyStampKnown ? FrameOfStamp(double(keyStamp)) + 1 : Video.FramePos + 1;
      // A picture's own stamp never puts it before where counting does. An AVI
      // stamps its pictures with their frame index, and an empty chunk (a
      // repeated picture) is no packet today: the gap in the stamps counts. In
      // MPEG streams the parser may give a key picture the stamp of a B picture
      // shown before it; the pictures after it carry their own again.
      if (stamp != AV_NOPTS_VALUE && StampsPlacePictures())
        Video.FramePos = std::max(Video.FramePos,
                                  int64_t(std::llround(double(stamp) / Video.TicksPerFrame)) + 1);
    }
  }
  if ((flags & dfShow) && !(flags & dfFillRing) && ring && ring->Count > 0 && r != drPicture) {
    screen.FFrameDeep = false;
    WrapFrameBuffer(screen);
    AVFrame* dest = DstPicture;
    ring->Take(dest, AVPixelFormat(screen.FPixFmt), screen.Ovr_Width, screen.Ovr_Height);
    r = drPicture;
  }
  if (r == drEnd && Video.FramePos == 0) {
    if (screen.FErrMsg.empty())
      screen.FErrMsg = FHeif && !FHeif->DecodeError().empty() ? FHeif->DecodeError()
                                                              : "Failed to decode 1st frame";
    screen.FErrFile = FileName;
    return drEnd;
  }
  // A file that ends before its counted frames still advances the timeline
  // frame by frame; the surface keeps its last picture.
  if (r == drEnd && screen.FErrMsg.empty() && FileCount > 1 && Video.FramePos > 1 &&
      Video.FramePos < Video.FrameCount) {
    Video.FramePos += 1;
    r = drPicture;
  }
  return r;
}

}  // namespace vexo
