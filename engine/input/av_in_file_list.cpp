#include "engine/input/av_in_file_list.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <new>
#include <set>

#include "engine/input/audio_resampler.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "engine/playlist/av_playlist.h"

namespace vexo {

namespace {

std::string NameWithoutFolder(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// Milliseconds a file lasts on the timeline; a file without a usable rate
// takes no time rather than poisoning every later start time.
double FileMs(const TAVInFile& file) {
  const TTrack& video = file.Video;
  if (file.VariableRate()) return file.FrameSeconds(video.FrameCount) * 1000.0;
  return video.FrameRate > 0 ? double(video.FrameCount) * 1000.0 / video.FrameRate : 0.0;
}

}  // namespace

TAVInFileList::TAVInFileList(const TAVPlayList& playList, TScreenSize screen, bool fitToScreen,
                             bool gapless, bool playAudio, std::string& error,
                             std::string& errorFile, TListProgressEvent onProgress,
                             TNextFileEvent onNextFile)
    : Gapless(gapless ? 1 : 0),
      OnNextFile(std::move(onNextFile)),
      ScreenWidth(screen.Width),
      ScreenHeight(screen.Height),
      FOnProgress(std::move(onProgress)) {
  error.clear();
  errorFile.clear();
  if (fitToScreen) FPhotoSize = screen;
  Count = playList.Count();
  StartFrames.assign(size_t(Count), 0);
  StartMs.assign(size_t(Count), 0);
  WaveBuf.PlayAudio = playAudio ? 1 : 0;
  Progress(lpStarting, Count - 1);
  if (!OpenFiles(playList, error, errorFile)) return;
  if (Count == 0) return;

  if (MaxVideoWidth > 0) {
    BiggestWidth = MaxVideoWidth;
    BiggestHeight = MaxVideoHeight;
  } else {
    BiggestWidth = MaxImageWidth;
    BiggestHeight = MaxImageHeight;
    VideoCodecName = Files[0]->Video.CodecName;
  }
  CurFileRef = Files[0].get();
  Progress(lpAllOpened, 0);

  if (fitToScreen && ScreenWidth > 0 && ScreenHeight > 0)
    ComputeFrameSize(ScreenWidth, ScreenHeight, true, float(ScreenWidth) / float(ScreenHeight));
  else
    ComputeFrameSize(EncodeParams.Width, EncodeParams.Height, false,
                     float(EncodeParams.AspectNum) / float(EncodeParams.AspectDen));
  if (HasAudio) SetUpSound();
  Progress(lpConvertersReady, 0);
}

void TAVInFileList::Progress(int32_t stage, int32_t index) {
  if (Count > 1 && FOnProgress) FOnProgress(*this, stage, index);
}

// A damaged entry does not block the others: it is left out, and only a
// list of which no entry opens fails, with the first entry's error.
bool TAVInFileList::OpenFiles(const TAVPlayList& playList, std::string& error,
                              std::string& errorFile) {
  const int32_t entries = Count;
  Files.reserve(size_t(entries));
  auto opened = [this] { return int32_t(Files.size()); };
  for (int32_t i = 0; i < entries; ++i) {
    if (FCancelled) {
      error = kOpenCancelled;
      errorFile = NameWithoutFolder(playList.Strings(i));
      Count = opened();
      for (auto& each : Files) each->FileCount = Count;
      return false;
    }
    TAVInFile* prev = Files.empty() ? nullptr : Files.back().get();
    const std::string& path = playList.Strings(i);
    std::string fileError;
    Files.push_back(std::make_unique<TAVInFile>(path, fileError, opened(), prev, FPhotoSize.Width,
                                                FPhotoSize.Height));
    TAVInFile& file = *Files.back();
    if (!fileError.empty()) {
      Progress(lpFileFailed, 0);
      Log("Left out of the list: " + path + ": " + fileError);
      LeftOut.push_back({i, path, fileError});
      Files.pop_back();
      continue;
    }
    file.WaveBuf = &WaveBuf;
    file.FrameBufRef = &FrameRing;
    file.PrevFileRef = prev;
    file.FilesRef = &Files;
    file.FitWidth = file.FitHeight = 0;
    Progress(lpFileOpened, i + 1);
    AddToTimeline(file);
    // Measured: only the first files are needed open for now.
    if (prev && prev->FileIndex >= kOpenAtStart) prev->Suspend();
  }
  Count = opened();
  if (Count > kOpenAtStart) Files.back()->Suspend();
  StartFrames.resize(size_t(Count));
  StartMs.resize(size_t(Count));
  for (auto& each : Files) each->FileCount = Count;
  if (Count == 0 && !LeftOut.empty()) {
    error = LeftOut.front().Error;
    errorFile = NameWithoutFolder(LeftOut.front().Path);
    // Nothing was left out of a list that failed.
    LeftOut.clear();
    return false;
  }
  return true;
}

void TAVInFileList::SetOnPictureReady(const std::function<void()>& onReady) {
  for (auto& file : Files) file->SetOnPictureReady(onReady);
}

void TAVInFileList::KeepOpenNear() {
  const int32_t sound = HasAudio && !AudioTrack.empty() ? AudioTrack[0].AudioFile : CurFile;
  const int32_t first = std::min(CurFile, sound) - 1, last = std::max(CurFile, sound) + 1;
  for (int32_t i = 0; i < Count; ++i) {
    TAVInFile& file = *Files[size_t(i)];
    if (i < first || i > last)
      file.Suspend();
    else if (i > first)
      file.Resume();
  }
}

void TAVInFileList::AddToTimeline(TAVInFile& file) {
  const int32_t i = file.FileIndex;
  const TTrack& video = file.Video;
  StartFrames[size_t(i)] = TotalFrames;
  StartMs[size_t(i)] = int32_t(std::lround(TotalMs));
  TotalMs += float(FileMs(file));
  TotalFrames += int32_t(video.FrameCount);

  if (file.IsImage) {
    MaxImageWidth = std::max(MaxImageWidth, video.Width);
    MaxImageHeight = std::max(MaxImageHeight, video.Height);
  } else {
    if (video.Width > MaxVideoWidth) {
      MaxVideoWidth = video.Width;
      VideoCodecName = video.CodecName;
    }
    MaxVideoHeight = std::max(MaxVideoHeight, video.Height);
    MaxFrameRate = std::max(MaxFrameRate, video.FrameRate);
  }

  // A photo opened without probing does not know its aspect yet; taking its
  // 0 as the smallest aspect would let any screen aspect pass as gapless.
  if (video.DisplayAspect > 0) {
    if (MinAspect <= 0 || video.DisplayAspect < MinAspect) MinAspect = video.DisplayAspect;
    MaxAspect = std::max(MaxAspect, video.DisplayAspect);
  }

  if (file.AudioCount > 0) {
    const TTrack& audio = file.Audio[0];
    if (!HasAudio) {
      AudioTrack.assign(1, TListTrack{});
      HasAudio = 1;
    }
    TListTrack& sound = AudioTrack[0];
    if (audio.SampleRate > sound.MaxRate) {
      sound.MaxRate = OutRate = audio.SampleRate;
      sound.Codec = audio.Codec;
      sound.CodecName = audio.CodecName;
    }
    if (audio.Channels > sound.MaxChannels) sound.MaxChannels = OutChannels = audio.Channels;
  }
}

void TAVInFileList::SetUpSound() {
  for (int32_t i = 0; i < Count; ++i) {
    TAVInFile& file = *Files[size_t(i)];
    TAVInFile* prev = i > 0 ? Files[size_t(i) - 1].get() : nullptr;
    if (file.AudioCount == 0) SetUpSilence(file);
    MakeResamplers(file, prev);
  }
}

void TAVInFileList::SetUpSilence(TAVInFile& file) {
  // Silence of the file's video length, in the output format.
  TTrack& audio = file.Audio[0];
  audio.Opened = 0;
  audio.SharedFrom = -1;
  audio.Queued = 1;
  audio.SampleRate = OutRate;
  audio.Channels = OutChannels;
  audio.TicksPerSecond = float(OutRate);
  audio.TicksPerFrame = file.Video.FrameRate > 0 ? float(OutRate) / file.Video.FrameRate : 1;
}

void TAVInFileList::MakeResamplers(TAVInFile& file, TAVInFile* prev) {
  const TTrack& audio = file.Audio[0];
  const bool sameInput = prev && prev->Audio[0].SampleRate == audio.SampleRate &&
                         prev->Audio[0].Channels == audio.Channels;
  if (audio.SampleRate != OutRate || audio.Channels != OutChannels) {
    file.AudioResample =
        sameInput && prev->AudioResample
            ? prev->AudioResample
            : NewAudioResampler(OutChannels, audio.Channels, OutRate, audio.SampleRate);
  }
  if (audio.SampleRate != EncodeParams.SampleRate || audio.Channels != EncodeParams.Channels) {
    file.EncResample = sameInput && prev->EncResample
                           ? prev->EncResample
                           : NewAudioResampler(EncodeParams.Channels, audio.Channels,
                                               EncodeParams.SampleRate, audio.SampleRate);
  }
}

int32_t TAVInFileList::FileIndexOfFrame(int32_t frame) const {
  int32_t i = 0;
  while (i < Count - 1 &&
         int64_t(StartFrames[size_t(i)]) + Files[size_t(i)]->Video.FrameCount - 1 < frame)
    ++i;
  return i;
}

int32_t TAVInFileList::FrameToMs(int32_t frame) const {
  if (Count == 0) return 0;
  const int32_t i = FileIndexOfFrame(frame);
  const TAVInFile& file = *Files[size_t(i)];
  const float rate = file.Video.FrameRate;
  const int32_t inFrames = frame - StartFrames[size_t(i)];
  // Multiplying first keeps whole results whole: (f / rate) * 1000 would
  // truncate 290 to 289 for some frames.
  const double inFile = file.VariableRate() ? file.FrameSeconds(inFrames) * 1000.0
                        : rate > 0          ? double(inFrames) * 1000.0 / rate
                                            : 0.0;
  return int32_t(inFile) + StartMs[size_t(i)];
}

int32_t TAVInFileList::MsToFrame(int32_t ms) const {
  if (Count == 0) return 0;
  int32_t i = 0;
  while (i + 1 < Count && StartMs[size_t(i) + 1] < ms) ++i;
  const TAVInFile& file = *Files[size_t(i)];
  if (file.VariableRate())
    return int32_t(file.FrameAtMs(double(ms - StartMs[size_t(i)]))) + StartFrames[size_t(i)];
  const double rate = file.Video.FrameRate;
  return int32_t(double(ms - StartMs[size_t(i)]) * rate / 1000.0) + StartFrames[size_t(i)];
}

TAVInFileList::~TAVInFileList() {
  // Converters are shared along runs of files of one input format; each is
  // freed once, whoever holds it.
  std::set<SwrContext*> resamplers(FRetiredResamplers.begin(), FRetiredResamplers.end());
  for (auto& file : Files) {
    resamplers.insert(file->AudioResample);
    resamplers.insert(file->EncResample);
    file->AudioResample = file->EncResample = nullptr;
  }
  for (SwrContext* resampler : resamplers) FreeAudioResampler(resampler);
  // Each file frees the decoder contexts it made itself and none it borrowed;
  // giving the borrowers their own back leaves no file pointing at another's.
  for (auto& file : Files)
    for (TTrack* track : {&file->Video, &file->Audio[0]}) track->CodecCtx = track->OwnCodecCtx;
  Files.clear();
}

}  // namespace vexo
