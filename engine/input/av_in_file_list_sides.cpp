// The video side and the sound side of a file list, each moving on to the
// next file when its current one is exhausted. Whichever side reaches a file
// first prepares it; whichever leaves a file last flushes it.
#include <cmath>
#include <functional>
#include <string>

#include "engine/input/av_in_file_list.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "engine/video/av_screen.h"

namespace vexo {

void TAVInFileList::FlushFile(int32_t index) {
  TAVInFile& file = *Files[size_t(index)];
  TAVInFile* next = index + 1 < Count ? Files[size_t(index) + 1].get() : nullptr;
  // A decoder context the next file has taken over decodes that file now;
  // flushing it here would drop the pictures or sound it holds for it.
  TTrack* tracks[] = {&file.Video, &file.Audio[0]};
  TTrack* nextTracks[] = {next ? &next->Video : nullptr, next ? &next->Audio[0] : nullptr};
  AVCodecContext* handedOn[] = {nullptr, nullptr};
  for (size_t k = 0; k < 2; ++k) {
    if (nextTracks[k] && tracks[k]->CodecCtx && nextTracks[k]->CodecCtx == tracks[k]->CodecCtx) {
      handedOn[k] = tracks[k]->CodecCtx;
      tracks[k]->CodecCtx = nullptr;
    }
  }
  file.Flush();
  for (size_t k = 0; k < 2; ++k)
    if (handedOn[k]) tracks[k]->CodecCtx = handedOn[k];
}

void TAVInFileList::PrepareFile(int32_t index) {
  TAVInFile& file = *Files[size_t(index)];
  file.Resume();
  if (!file.StreamsInfoOK) {
    // A failure here shows up as the file's first decode failing.
    std::string ignored;
    file.InitDecoders(index > 0 ? Files[size_t(index) - 1].get() : nullptr, ignored);
  }
  TakeUpAudioChoice(index);
  FlushFile(index);
  file.Seek(0, true);
}

void TAVInFileList::FlushForVideo(int32_t index) {
  TAVInFile& file = *Files[size_t(index)];
  TTrack& sound = file.Audio[0];
  const bool soundStillHere = HasAudio && AudioTrack[0].AudioFile == index;
  const int64_t skipTicks = sound.SkipTicks, delivered = sound.DeliveredBytes;
  const int32_t filled = WaveBuf.Filled;
  FlushFile(index);
  WaveBuf.Filled = filled;
  if (soundStillHere) {
    // Only a photo is left by the pictures while its silence still plays; its
    // count of silence handed out must survive, or the photo sounds twice.
    sound.SkipTicks = skipTicks;
    sound.DeliveredBytes = delivered;
  }
}

void TAVInFileList::ResetVideoDecoder(TAVInFile& file) {
  const TTrack& video = file.Video;
  if (video.Opened || video.SharedFrom >= 0) FlushDecoder(video.CodecCtx);
}

int32_t TAVInFileList::DecodeVideo(TAVScreen& screen, int32_t flags) {
  if (Count == 0) return drEnd;
  FirstFrame = FramePos == 0 ? 1 : 0;
  int32_t result = CurFileRef->DecodeVideo(screen, nullptr, flags, FirstFrame);
  FramePos = StartFrames[size_t(CurFile)] + int32_t(CurFileRef->Video.FramePos);
  if (result == drEnd && screen.FErrMsg.empty() && CurFile < Count - 1) {
    FirstFrame = 1;
    PrevFileRef = CurFileRef;
    const int32_t prevIndex = CurFile;
    CurFile += 1;
    CurFileRef = Files[size_t(CurFile)].get();
    if (!HasAudio || AudioTrack[0].AudioFile < CurFile) {
      const int32_t filled = WaveBuf.Filled;
      PrepareFile(CurFile);
      WaveBuf.Filled = filled;  // sound of the file the sound side is on
    }
    if (!HasAudio || AudioTrack[0].AudioFile >= CurFile || PrevFileRef->IsImage)
      FlushForVideo(prevIndex);
    else
      ResetVideoDecoder(*PrevFileRef);
    KeepOpenNear();
    if (OnNextFile) OnNextFile(*this);
    result = CurFileRef->DecodeVideo(screen, PrevFileRef, flags, FirstFrame);
    FramePos = StartFrames[size_t(CurFile)] + int32_t(CurFileRef->Video.FramePos);
  }
  return result;
}

void TAVInFileList::CarryOverrun(TAVInFile& from, TAVInFile& to) {
  const TTrack& done = from.Audio[0];
  if (done.DeliveredBytes <= done.ExpectedBytes) return;
  const int64_t excess = done.DeliveredBytes - done.ExpectedBytes;
  TTrack& next = to.Audio[0];
  const double bytesPerSecond = double(WaveBuf.OutRate) * WaveBuf.OutChannels * 2;
  next.SkipTicks = std::llround(double(excess) / bytesPerSecond * next.TicksPerSecond);
  next.DeliveredBytes = excess;
}

bool TAVInFileList::SelectAudioStream(int32_t index, int32_t streamIndex) {
  if (!HasAudio || index < 0 || index >= Count) return false;
  TAVInFile& file = *Files[size_t(index)];
  const int32_t soundFile = AudioTrack[0].AudioFile;
  // A file whose sound has played takes the choice when it plays again.
  if (index < soundFile || file.Suspended() || file.AudioStreamIndex() == streamIndex) return false;
  // The new stream decodes with a context of its own: one handed along the
  // list holds the old stream's state.
  TAVInFile::ReleaseSharedDecoders(&file, tkAudio);
  const int32_t rate = file.Audio[0].SampleRate, channels = file.Audio[0].Channels;
  if (!file.SelectAudioStream(streamIndex)) return false;
  // What was decoded of the old stream and not yet handed out is not heard.
  if (index == soundFile) WaveBuf.Filled = 0;
  if (file.AudioCount == 0) SetUpSilence(file);
  const TTrack& audio = file.Audio[0];
  if (audio.SampleRate != rate || audio.Channels != channels) {
    for (SwrContext*& used : {std::ref(file.AudioResample), std::ref(file.EncResample)}) {
      if (used) FRetiredResamplers.push_back(used);
      used = nullptr;
    }
    MakeResamplers(file, nullptr);
  }
  Log("Sound stream " + std::to_string(streamIndex) + " of " + file.FileName);
  return true;
}

void TAVInFileList::RequestAudioStream(int32_t index, int32_t streamIndex) {
  FAudioRequest.store(int64_t(uint32_t(index)) << 32 | uint32_t(streamIndex));
}

bool TAVInFileList::TakeAudioRequest() {
  const int64_t request = FAudioRequest.exchange(-1);
  return request >= 0 && SelectAudioStream(int32_t(request >> 32), int32_t(request & 0xFFFFFFFF));
}

void TAVInFileList::TakeUpAudioChoice(int32_t index) {
  const int32_t chosen = RememberedAudioStream(Files[size_t(index)]->FileName);
  // The file starts afresh; sound collected meanwhile belongs to another.
  const int32_t filled = WaveBuf.Filled;
  if (chosen >= 0 && SelectAudioStream(index, chosen)) WaveBuf.Filled = filled;
}

int32_t TAVInFileList::DecodeAudio(uint8_t*& out, int32_t& count, int32_t mode) {
  count = 0;
  if (!HasAudio) return -1;
  TakeAudioRequest();
  if (mode == 0) {
    WaveBuf.OutRate = OutRate;
    WaveBuf.OutChannels = OutChannels;
  } else {
    WaveBuf.OutRate = EncodeParams.SampleRate;
    WaveBuf.OutChannels = EncodeParams.Channels;
  }
  WaveBuf.ChunkBytes = int32_t(WaveBuf.OutRate * 0.1 * WaveBuf.OutChannels) * 2;
  WaveBuf.OutBytes = 2 * WaveBuf.ChunkBytes;

  int32_t& audioFile = AudioTrack[0].AudioFile;
  int32_t result = Files[size_t(audioFile)]->DecodeAudio(out, count, mode, nullptr);
  while (result != 0 && audioFile < Count - 1) {
    const int32_t prevIndex = audioFile;
    TAVInFile& prev = *Files[size_t(prevIndex)];
    audioFile += 1;
    TAVInFile& file = *Files[size_t(audioFile)];
    if (CurFile < audioFile) PrepareFile(audioFile);
    CarryOverrun(prev, file);
    if (CurFile >= audioFile) FlushFile(prevIndex);
    KeepOpenNear();
    result = file.DecodeAudio(out, count, mode, &prev);
  }
  return result;
}

}  // namespace vexo
