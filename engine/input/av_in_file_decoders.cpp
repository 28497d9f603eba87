// Opening decoders and handing one decoder context on from file to file.
#include <cstring>
#include <new>

#include "engine/input/av_in_file.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/media/decoder_names.h"
#include "engine/media/media_lib.h"

namespace vexo {

AVCodecContext* NewDecoderContext(const AVStream* stream) {
  AVCodecContext* ctx = ff::avcodec_alloc_context3(nullptr);
  if (!ctx) throw std::bad_alloc();
  ff::avcodec_parameters_to_context(ctx, stream->codecpar);
  ctx->pkt_timebase = stream->time_base;
  return ctx;
}

void TAVInFile::OpenDecoder(int32_t kind, TAVInFile* prevFile, bool atOpen) {
  TTrack* track = TrackOf(kind);
  TTrack* prevTrack = prevFile ? prevFile->TrackOf(kind) : nullptr;
  const std::string label = kind == tkVideo ? "Video" : "Audio";
  const int32_t prevIndex = prevFile ? prevFile->FileIndex : -1;
  if (track) {
    // Only a context that is open (by its file or through a chain) can be
    // taken over; an unopened one would decode nothing.
    const bool prevLive = prevTrack && (prevTrack->Opened || prevTrack->SharedFrom >= 0);
    if (Params.CodecCtxShare == 1 && !atOpen && prevFile && prevLive &&
        CanShareDecoder(track, prevTrack, kind) && InputFormat() &&
        InputFormat() == prevFile->InputFormat()) {
      track->CodecCtx = prevTrack->CodecCtx;
      track->SharedFrom = prevTrack->Opened ? prevFile->FileIndex : prevTrack->SharedFrom;
      Log(label + "CodecCtx SHARE, FileInd: " + std::to_string(prevIndex) + " -> " +
          std::to_string(FileIndex));
    } else if (!track->Opened && !track->OpenFailed && (!prevFile || !atOpen) &&
               track->OwnCodecCtx) {
      track->CodecCtx = track->OwnCodecCtx;
      track->SharedFrom = -1;
      track->CodecCtx->thread_count = 0;  // as many as the machine has cores
      if (kind == tkVideo) track->CodecCtx->lowres = PhotoScale();
      const int opened = ff::avcodec_open2(track->CodecCtx, track->Codec, nullptr);
      if (opened >= 0) {
        track->Opened = 1;
        Log(label + "CodecCtx INIT, FileInd: " + std::to_string(FileIndex));
      } else {
        DecoderOpenFailed(*track, kind, opened);
        track = TrackOf(kind);
      }
    }
  }
  if (kind == tkVideo) {
    if (DecoderIs(Video.CodecName, "mjpeg"))
      Video.HeaderPixFmt = PIX_FMT_YUVJ422P;
    else if (DecoderIs(Video.CodecName, "rawvideo") && Video.CodecCtx)
      Video.HeaderPixFmt = Video.CodecCtx->pix_fmt;
    else
      Video.HeaderPixFmt = 0;
  }
  if (prevFile && !atOpen && (!track || track->Opened || track->OpenFailed))
    ReleaseSharedDecoders(prevFile, kind);
}

// Damaged codec data (an AAC stream whose configuration names a profile the
// decoder does not implement, say) lets the file open and its decoder fail.
// A sound track that cannot be decoded is dropped and the file plays silent,
// as one without a decoder does; pictures that cannot be decoded fail the
// file's first decode.
void TAVInFile::DecoderOpenFailed(TTrack& track, int32_t kind, int code) {
  char reason[AV_ERROR_MAX_STRING_SIZE] = {};
  ff::av_strerror(code, reason, sizeof reason);
  const bool video = kind == tkVideo;
  Log(std::string(video ? "Video" : "Audio") + "CodecCtx INIT failed, FileInd: " +
      std::to_string(FileIndex) + ": " + reason + (video ? "" : "; the file plays without sound"));
  track.OpenFailed = 1;
  // The library leaves a context whose open failed half set up: a fresh one
  // stands in, so that nothing later meets the remains.
  CloseOwnDecoder(track);
  track.CodecCtx = track.OwnCodecCtx;
  track.SharedFrom = -1;
  if (!video) DropAudio();
}

void TAVInFile::DropAudio() {
  TTrack& track = Audio[0];
  AudioCount = 0;
  if (track.StreamIndex >= 0 && size_t(track.StreamIndex) < StreamMap.size())
    StreamMap[size_t(track.StreamIndex)] = nullptr;
  if (track.OwnCodecCtx) ff::avcodec_free_context(&track.OwnCodecCtx);
  track.CodecCtx = nullptr;
  track.Stream = nullptr;
  track.Opened = 0;
  track.PacketQueue.reset();
}

void FlushDecoder(AVCodecContext* ctx) {
  if (ctx && ff::avcodec_is_open(ctx)) ff::avcodec_flush_buffers(ctx);
}

bool TAVInFile::CanShareDecoder(const TTrack* own, const TTrack* prev, int32_t kind) {
  if (!own || !prev || !own->Codec || own->Codec != prev->Codec) return false;
  if (kind == tkVideo) {
    if (own->Width != prev->Width || own->Height != prev->Height) return false;
    if (DecoderIs(prev->CodecName, "h264")) return false;
    if (DecoderIs(prev->CodecName, "mpeg2video") && prev->FrameCount == 1)
      return own->FrameCount == 1;
    return own->FrameCount != 1;
  }
  if (own->SampleRate != prev->SampleRate || own->Channels != prev->Channels) return false;
  if (DecoderIs(prev->CodecName, "mpeg4aac") && own->CodecCtx && prev->CodecCtx) {
    const AVCodecContext* a = own->CodecCtx;
    const AVCodecContext* b = prev->CodecCtx;
    if (a->extradata_size > 0 && b->extradata_size > 0)
      return a->extradata_size == b->extradata_size &&
             std::memcmp(a->extradata, b->extradata, size_t(a->extradata_size)) == 0;
  }
  return true;
}

void TAVInFile::CloseOwnDecoder(TTrack& track) {
  if (track.OwnCodecCtx) ff::avcodec_free_context(&track.OwnCodecCtx);
  track.OwnCodecCtx = track.Stream ? NewDecoderContext(track.Stream) : nullptr;
}

void TAVInFile::ReleaseSharedDecoders(TAVInFile* file, int32_t kind) {
  TTrack* track = file ? file->TrackOf(kind) : nullptr;
  if (!track) return;
  const int32_t owner = track->SharedFrom >= 0 ? track->SharedFrom : file->FileIndex;
  auto release = [&](TAVInFile* each, int32_t index) {
    TTrack* t = each ? each->TrackOf(kind) : nullptr;
    if (!t || (t->SharedFrom != owner && index != owner)) return;
    if (t->Opened) CloseOwnDecoder(*t);
    t->Opened = 0;
    t->SharedFrom = -1;
    t->CodecCtx = t->OwnCodecCtx;
  };
  if (file->FilesRef) {
    const TAVInFileArray& files = *file->FilesRef;
    const size_t count =
        file->FileCount > 0 ? std::min(files.size(), size_t(file->FileCount)) : files.size();
    for (size_t i = 0; i < count; ++i) release(files[i].get(), int32_t(i));
  } else {
    // Outside a list the chain can only run back through the earlier files.
    for (TAVInFile* each = file; each; each = each->PrevFileRef) release(each, each->FileIndex);
  }
}

}  // namespace vexo
