// Seeking of the player control: the file at a timeline frame, the key frame
// before the target, and the decode up to the exact frame. Runs on the
// user-interface thread while no playback thread runs.
#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <utility>

#include "engine/input/av_frame_seek.h"
#include "engine/input/av_in_file_list.h"
#include "engine/media/av_log.h"
#include "engine/media/av_packet.h"
#include "engine/media/av_types.h"
#include "engine/playback/av_player.h"
#include "engine/video/av_screen.h"

namespace vexo {

namespace {

// Decode flags of a seek: convert, and skip packets up to a key frame.
constexpr int32_t kSeekDecode = dfShow | dfKeySeek;

}  // namespace

void TAVPlayer::SeekTo(int32_t frame, int32_t ms, bool force) {
  if (!FList) return;
  if (ms > 0 && frame == 0) frame = FList->MsToFrame(ms);
  const int32_t target = std::max(0, std::min(frame, FList->TotalFrames - 1));
  if (force || target != FPosition) {
    FPosition = target;
    if (FParams.SeekUpdate == 1 && PositionFile(target, false)) DecodeToScreen(force);
  } else if (target == 0 && FList->Count > 0) {
    FList->CurFileRef = &FList->File(0);
  }
}

void TAVPlayer::SeekToFrame(int32_t frame) {
  struct TRestore {
    TAVParams& params;
    uint8_t algo, update;
    ~TRestore() {
      params.SeekAlgo = algo;
      params.SeekUpdate = update;
    }
  } restore{FParams, FParams.SeekAlgo, FParams.SeekUpdate};
  FParams.SeekUpdate = 0;
  SeekTo(frame, 0, true);
  FinishSeek();
}

void TAVPlayer::SeekMs(int32_t ms) {
  if (FState == psTracking) SeekTo(0, ms, FParams.PhotoSeek != 0);
}

bool TAVPlayer::PositionFile(int32_t frame, bool withAudio, bool search) {
  TAVInFileList& list = *FList;
  const int32_t previous = list.CurFile;
  const int32_t index = list.FileIndexOfFrame(frame);
  list.CurFile = index;
  if (list.HasAudio && !list.AudioTrack.empty()) list.AudioTrack[0].AudioFile = index;
  TAVInFile& file = list.File(index);
  list.CurFileRef = &file;
  list.FirstFrame = 0;
  list.KeepOpenNear();

  if (index != previous) {
    TAVInFile& prevFile = list.File(previous);
    list.PrevFileRef = &prevFile;
    list.FirstFrame = 1;
    prevFile.Flush();
    TAVInFile::ReleaseSharedDecoders(&prevFile, tkAudio);
    if (frame == 0) {
      TAVInFile::ReleaseSharedDecoders(&prevFile, tkVideo);
      list.PrevFileRef = nullptr;
    }
    if (!file.StreamsInfoOK) {
      std::string error;
      file.InitDecoders(file.PrevFileRef, error);
      if (!error.empty()) {
        Fail(peDecode, std::filesystem::path(file.FileName).filename().string(), error);
        return false;
      }
    }
    list.TakeUpAudioChoice(index);
    file.Seek(0, true);
    OnListPictureSize();
    if (!FList) return false;
    if (!file.IsImage) {
      TAVPacket* packet = nullptr;
      if (file.ReadPacket(packet, file.Video.StreamIndex) == 0 && packet)
        file.Video.PacketQueue->Push(std::move(packet));
      FreePacket(packet);
    }
  }

  FFileStart = list.StartFrames[size_t(index)];
  TTrack& video = file.Video;
  video.TargetFrame = frame - FFileStart;
  // Seeking an AVI's sound along with its pictures lands far off.
  if (file.FormatName() == "avi") withAudio = false;
  if (file.IsImage || !search) return true;
  SearchKeyFrame(file, video.TargetFrame, withAudio, FParams.SeekAlgo == saFirstKeyFrame);
  return true;
}

bool TAVPlayer::ScreenFailed() {
  if (!FScreen || FScreen->FErrMsg.empty()) return false;
  const std::string file = FScreen->FErrFile, text = FScreen->FErrMsg;
  Fail(peDecode, file, text);
  return true;
}

void TAVPlayer::DecodeToScreen(bool force) {
  if (!FList || !FList->CurFileRef || !FScreen || FErrorCode != peNone) return;
  TAVInFileList& list = *FList;
  TAVInFile& file = *list.CurFileRef;
  TTrack& video = file.Video;
  const int32_t start = list.StartFrames[size_t(list.CurFile)];
  if (file.IsImage && !force) {
    list.FramePos = start + 1;
    video.ShownFrame = 0;
    return;
  }
  int32_t result = 0;
  try {
    do {
      result = file.DecodeVideo(*FScreen, list.PrevFileRef, kSeekDecode, list.FirstFrame);
      ++video.DecodedSinceSeek;
      if (ScreenFailed()) return;
    } while (result != drPicture && result != drEnd);
  } catch (const std::exception& e) {
    Fail(peDecode, std::filesystem::path(file.FileName).filename().string(), e.what());
    return;
  }
  list.FramePos = start + int32_t(video.FramePos);
  if (result == drPicture && (force || FParams.SeekUpdate == 1)) {
    const bool alreadyShown = video.ShownFrame == video.FramePos - 1;
    const bool edge = video.TargetFrame == 0 || video.TargetFrame == video.FrameCount - 1;
    if (!alreadyShown || edge) PaintFrame(false);
  }
  video.ShownFrame = int32_t(video.FramePos - 1);
}

void TAVPlayer::FinishSeek() {
  if (!FList || !FList->CurFileRef) return;
  if (FParams.SeekAlgo == saExactFrame) {
    // The exact frame: the engine's seek knows which key frames it can trust.
    if (!PositionFile(std::max(0, FPosition), FParams.SeekAudio != 0, false)) return;
    TAVInFileList& list = *FList;
    TAVInFile& file = *list.CurFileRef;
    if (file.IsImage) {
      DecodeToScreen(true);
    } else if (FScreen) {
      int result = 0;
      try {
        result = SeekFileToFrame(file, *FScreen, file.Video.TargetFrame, FParams.SeekAudio != 0,
                                 list.PrevFileRef, list.FirstFrame);
      } catch (const std::exception& e) {
        Fail(peDecode, std::filesystem::path(file.FileName).filename().string(), e.what());
        return;
      }
      if (ScreenFailed()) return;
      list.FramePos = list.StartFrames[size_t(list.CurFile)] + int32_t(file.Video.FramePos);
      if (result == drPicture) PaintFrame(false);
    }
  } else {
    const TAVInFile& file = *FList->CurFileRef;
    if (FParams.SeekUpdate == 0 || file.IsImage || FParams.SeekAudio == 1) {
      if (!PositionFile(std::max(0, FPosition), FParams.SeekAudio != 0)) return;
      const bool image = FList->CurFileRef->IsImage;
      DecodeToScreen(image || (FParams.SeekUpdate == 0 && FParams.SeekAlgo != saExactFrame));
    }
  }
  if (!FList || !FScreen) return;
  TAVInFileList& list = *FList;
  TAVInFile& file = *list.CurFileRef;
  TTrack& video = file.Video;
  FPosition = int32_t(video.FramePos) + FFileStart - 1;
  video.SeekFrame = int32_t(video.FramePos - 1);

  // The file's sound starts again where its pictures now are.
  if (file.AudioCount > 0 && video.FrameRate > 0) {
    TTrack& audio = file.Audio[0];
    audio.SkipTicks = std::llround(file.FrameTicks(audio, video.SeekFrame));
    audio.DeliveredBytes = std::llround(file.FrameSeconds(video.SeekFrame) * list.OutRate) *
                           int64_t(list.OutChannels) * 2;
  }
  if (OnPosition) OnPosition();
  Log("ms_up KeyFrPos=" + std::to_string(video.KeyFramePos) +
      " FrDecFile=" + std::to_string(video.FramePos) + "/" + std::to_string(video.FrameCount) +
      " FrDecList=" + std::to_string(list.FramePos) + "/" + std::to_string(list.TotalFrames) +
      " InListFramePos=" + std::to_string(FPosition));
}

void TAVPlayer::NavigateKey(TNavigateKey key) {
  if (!FList) return;
  const int32_t i = FList->CurFile, n = FList->Count;
  const bool playing = FState == psPlaying;
  const int64_t firstPos = FList->File(0).Video.FramePos;
  int32_t target = -1;
  switch (key) {
    case nkEnd:
      if (i < n - 1)
        target = FList->StartFrames[size_t(n - 1)];
      else if (!playing)
        target = FList->TotalFrames;
      break;
    case nkHome:
      if (!(i == 0 && firstPos <= 1)) target = 0;
      break;
    case nkLeft:
      if (i > 0 || firstPos < 2) {
        if (i >= 1) {
          const bool early = FList->File(i).Video.FramePos <= 30;
          target = FList->StartFrames[size_t(early ? i - 1 : i)];
          if (playing && FList->File(i).IsImage) target = std::max(0, target - 1);
        }
      } else {
        target = 0;
      }
      break;
    case nkRight:
      if (i < n - 1)
        target = FList->StartFrames[size_t(i + 1)];
      else if (!playing)
        target = FList->TotalFrames;
      break;
  }
  if (target < 0) return;
  SeekKeepingState(target);
}

void TAVPlayer::SeekByMs(int32_t deltaMs) {
  if (!FList || FList->TotalFrames <= 0 || FErrorCode != peNone || FState == psTracking) return;
  const int64_t now = FList->FrameToMs(std::max(FPosition, 0));
  const int64_t total = FList->FrameToMs(FList->TotalFrames);
  const int32_t ms = int32_t(std::clamp<int64_t>(now + deltaMs, 0, total));
  const int32_t target = std::clamp(FList->MsToFrame(ms), 0, FList->TotalFrames - 1);
  if (target == std::max(FPosition, 0)) return;
  SeekKeepingState(target);
}

void TAVPlayer::SeekKeepingState(int32_t target) {
  const bool playing = FState == psPlaying;
  if (playing) {
    StopThreads();
    FState = psPaused;
  }
  try {
    SeekToFrame(target);
  } catch (const std::exception& e) {
    Log(e.what());
    Close();
    return;
  }
  if (playing && FState == psPaused) SetState(psPlaying);
}

}  // namespace vexo
