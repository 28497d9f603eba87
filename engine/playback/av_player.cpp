#include "engine/playback/av_player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <filesystem>
#include <thread>

#include "engine/input/av_in_file_list.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "engine/playback/audio_play_thread.h"
#include "engine/playback/player_host.h"
#include "engine/playback/video_play_thread.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_scale.h"
#include "engine/video/av_screen.h"

namespace vexo {

namespace {

constexpr float kAspectSlack = 0.001f;

// A moment between creating the overlay and setting its colour key: some
// overlay drivers take the key only once the new port runs on its window.
// It costs 5 ms per screen set-up, never per frame.
constexpr auto kOverlaySettleTime = std::chrono::milliseconds(5);

// The timeline's decode flags and answers are the file list's own.
static_assert(kDecodeConvert == dfShow && kDecodeCatchUp == dfKeySeek &&
              kDecodeMJpeg == dfThinKeys);
static_assert(kDecodeReady == drPicture && kDecodeSkipped == drSkipped);

std::string NameWithoutFolder(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

}  // namespace

const char* PlayStateName(uint8_t state) {
  static const char* const names[] = {"Closed", "Stopped", "Playing", "Paused", "Tracking"};
  return state < 5 ? names[state] : "Unknown";
}

TAVPlayer::TAVPlayer(TPlayerHost& host)
    : FHost(host), FWaveDevice(uint32_t(AVParams.PlayerTag)), FPlayAudio(AVParams.PlayAudio != 0) {
  if (MediaLibIsLoaded(mlAvFormat)) MediaLibInit();
}

TAVPlayer::~TAVPlayer() {
  FDestroying = true;
  StopThreads();
  FScreen.reset();
  FList.reset();
  FreeConvertScratch();
}

// ---- Opening and closing ----

void TAVPlayer::OpenPlayList(TAVPlayList* playList, uint8_t mode) {
  FParams = AVParams;
  if (!playList || playList->Count() == 0) {
    if (FState != psClosed || FErrorCode != peNone) {
      FErrorCode = peNone;
      FScreenErrMsg.clear();
      Close();
    }
    return;
  }
  FErrorCode = peNone;
  FScreenErrMsg.clear();
  FLeftOut.clear();
  if (FState == psPlaying) SetState(psStopped);
  FList.reset();
  FPictureErrorPath.clear();

  int32_t desktopW = 0, desktopH = 0;
  FHost.DesktopSize(desktopW, desktopH);
  // Only an opened file is reported: the start and a failure name no file
  // that the owner could list as opened.
  FCancelOpen = false;
  auto progress = [this](TAVInFileList& list, int32_t stage, int32_t index) {
    if (stage == lpFileOpened && !FDestroying && OnOpenProgress)
      OnOpenProgress(std::max(0, index - 1));
    if (FCancelOpen) list.CancelOpening();
  };
  // Gapless play keeps one frame size for the whole list, which only the
  // overlay can show without re-creating its surface between files.
  const bool gapless = FParams.GaplessPlay == 1 && mode == vmXVideo;
  std::string error, errorFile;
  try {
    FList = std::make_unique<TAVInFileList>(*playList, TScreenSize{desktopW, desktopH}, true,
                                            gapless, FPlayAudio, error, errorFile, progress,
                                            [this](TAVInFileList&) { OnListPictureSize(); });
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (FCancelOpen) {
    FCancelOpen = false;
    Close();
    return;
  }
  if (FList) FList->SetOnPictureReady([this] { FHost.PostPictureReady(); });
  if (error.empty() && FList) {
    // The playlist keeps only what plays, so that its count, its ticks and
    // its timing agree with the timeline.
    for (auto entry = FList->LeftOut.rbegin(); entry != FList->LeftOut.rend(); ++entry) {
      if (entry->Entry < playList->Count()) playList->Delete(entry->Entry);
      FLeftOut.insert(FLeftOut.begin(), entry->Path);
    }
    int32_t start = 0;
    for (int32_t i = 0; i < FList->Count && i < playList->Count(); ++i) {
      const TTrack& video = FList->File(i).Video;
      playList->SetItemInfo(i, int32_t(video.FrameCount), video.FrameRate, start);
      start += int32_t(video.FrameCount);
    }
    FInitScreen(FList->FrameWidth, FList->FrameHeight, mode, FList->FrameAspect);
    int32_t decoded = drEnd;
    if (FScreen) {
      try {
        decoded = FList->DecodeVideo(*FScreen, dfShow);
      } catch (const std::exception& e) {
        error = e.what();
      }
      if (decoded == drPicture && FScreen->FErrMsg.empty() && error.empty()) {
        FPosition = -1;
        if (FState == psStopped) {
          if (OnStateChange) OnStateChange(psStopped, psStopped);
          if (OnFileChange) OnFileChange();
        } else {
          SetState(psStopped);
        }
        // Going to Stopped seeks to the first frame, and its notifications run
        // the owner's code: either may have failed and closed the player, and
        // what the error released is not touched again.
        if (!FList || !FScreen || FErrorCode != peNone) return;
        LogFileListInfo(*FList, *FScreen);
        if (FScreen->FVideoMode == vmXVideo)
          FHost.PaintNow();
        else
          FHost.Invalidate();
        return;
      }
      if (!FScreen->FErrMsg.empty()) {
        error = FScreen->FErrMsg;
        errorFile = FScreen->FErrFile;
      }
    } else if (error.empty()) {
      error = "The video screen could not be created";
    }
    if (errorFile.empty() && FList->Count > 0)
      errorFile = NameWithoutFolder(FList->File(0).FileName);
  }
  Fail(peOpen, errorFile, error);
}

void TAVPlayer::Close() {
  if (FState == psPlaying) StopThreads();
  FList.reset();
  FPictureErrorPath.clear();
  FScreen.reset();
  SetState(psClosed);
  ShowCursor(true);
  FHost.Invalidate();
}

void TAVPlayer::ReportError(uint8_t code, const std::string& file, const std::string& detail) {
  FErrorCode = code;
  if (OnErrorText) OnErrorText(code, FScreenErrMsg, file, detail);
}

void TAVPlayer::Fail(uint8_t code, const std::string& file, const std::string& detail) {
  ReportError(code, file, detail);
  Close();
}

// ---- The screen ----

void TAVPlayer::FInitScreen(int32_t width, int32_t height, uint8_t mode, float aspect) {
  std::string label;
  if (!FScreen || FScreen->FVideoMode != mode) {
    InitScreen(width, height, ikCreateNew, mode, aspect);
    label = "Create new";
  } else if (FScreen->Ovr_Width == width && FScreen->Ovr_Height == height &&
             std::fabs(aspect - FScreen->FAspect) <= kAspectSlack) {
    label = "No change";
  } else {
    InitScreen(width, height, ikUpdate, mode, aspect);
    label = "Update";
  }
  if (!FScreen) return;
  TAVScreen& screen = *FScreen;
  if ((screen.Ovr_Width != width || screen.Ovr_Height != height) && FList &&
      screen.Ovr_Height > 0) {
    // An overlay that could not take the size fell back to its own; the
    // frames are made to fit it exactly.
    const float screenAspect = float(screen.Ovr_Width) / float(screen.Ovr_Height);
    FList->ComputeFrameSize(screen.Ovr_Width, screen.Ovr_Height, false, screenAspect);
    screen.SetAspect(screenAspect);
    UpdateWindowRect();
  }
  if (mode != vmRaster && screen.FVideoMode == vmRaster)
    Log("FInitScreen (" + label + "): FAILED, switching to GDI mode");
  else
    Log("FInitScreen (" + label + "): OK, pix_fmt:" + std::to_string(screen.FPixFmt) +
        ", fcc:" + FourCCText(screen.FFourCC) + ", " + std::to_string(screen.Ovr_Width) + "x" +
        std::to_string(screen.Ovr_Height));
}

uint8_t TAVPlayer::InitScreen(int32_t width, int32_t height, TInitKind kind, uint8_t mode,
                              float aspect) {
  int32_t left = 0, top = 0, winW = 0, winH = 0;
  FHost.ClientRect(left, top, winW, winH);
  try {
    if (kind == ikCreateNew) {
      FScreenLock = true;
      struct TUnlock {
        bool& lock;
        ~TUnlock() { lock = false; }
      } unlock{FScreenLock};
      FScreen.reset();
      FScreen =
          std::make_unique<TAVScreen>(width, height, mode, FHost.Canvas(), FHost.NativeWindow(),
                                      FParams.Planar != 0, left, top, winW, winH, aspect);
    } else if (FScreen) {
      FScreen->ReInit(width, height, kind == ikRecreate, mode, FHost.Canvas(), FHost.NativeWindow(),
                      FParams.Planar != 0, left, top, winW, winH, aspect);
    }
  } catch (const std::exception& e) {
    Log(e.what());
  }
  // A screen that could not even be created leaves nothing to show on;
  // callers treat that like a failed open.
  if (!FScreen) return vmRaster;
  if (FScreen->FVideoMode == vmXVideo) {
    std::this_thread::sleep_for(kOverlaySettleTime);
    FScreen->SetColorKey(FParams.BackColor);
    FScreen->ClearSurface();
  }
  return FScreen->FVideoMode;
}

void TAVPlayer::OnListPictureSize() {
  if (!FList) return;
  TAVInFileList& list = *FList;
  const int32_t oldW = list.FrameWidth, oldH = list.FrameHeight;
  const float oldAspect = list.FrameAspect;
  if (!list.Gapless) {
    int32_t w = 0, h = 0;
    FHost.DesktopSize(w, h);
    if (w > 0 && h > 0) list.ComputeFrameSize(w, h, true, float(w) / float(h));
  }
  if (FScreen && (list.FrameWidth != oldW || list.FrameHeight != oldH ||
                  std::fabs(list.FrameAspect - oldAspect) > kAspectSlack))
    FInitScreen(list.FrameWidth, list.FrameHeight, FScreen->FVideoMode, list.FrameAspect);
}

void TAVPlayer::UpdateWindowRect() {
  if (FDestroying || !FScreen) return;
  int32_t left = 0, top = 0, w = 0, h = 0;
  FHost.ClientRect(left, top, w, h);
  FScreen->SetWindowRect(left, top, true, h, w);
}

void TAVPlayer::Reposition() {
  if (FScreen && FScreen->Ovr_Width > 0) UpdateWindowRect();
}

void TAVPlayer::SetSkinActive(bool on) {
  if (on == FSkinActive) return;
  FSkinActive = on;
  if (FScreen && FScreen->FVideoMode == vmGLShader)
    InitScreen(FScreen->Ovr_Width, FScreen->Ovr_Height, ikRecreate, FScreen->FVideoMode,
               FScreen->FAspect);
}

bool TAVPlayer::PaintFrame(bool repaintBackground) {
  if (!FScreen || !FList || FScreenLock || FErrorCode != peNone) return false;
  if (!PictureErrorText().empty()) {
    // No picture to show: the owner paints the background and the text.
    FScreen->HidePicture();
    FHost.PaintBackground();
    return true;
  }
  if (repaintBackground || FScreen->FChanged) {
    FScreen->FChanged = false;
    FHost.PaintBackground();
  }
  FScreen->ShowFrame();
  return true;
}

// ---- States and threads ----

void TAVPlayer::SetState(uint8_t state) {
  if (state == FState) return;
  const uint8_t old = FState;
  FState = state;
  if (old == psPlaying) StopThreads();
  if (old == psTracking && state != psClosed) FinishSeek();
  switch (FState) {
    case psStopped:
      if (FList && FList->FramePos != 1) SeekToFrame(0);
      break;
    case psPlaying:
      if (!FList)
        FState = psClosed;
      else if (FPosition < FList->TotalFrames - 1)
        StartThreads();
      else
        FState = psPaused;
      break;
    case psPaused:
      if (FList && old == psPlaying && FPosition >= 0) SeekToFrame(FPosition);
      break;
    case psTracking:
      if (!FList) FState = psClosed;
      break;
    default:
      break;
  }
  // A photo shown by its preview while playing, whose picture was made
  // meanwhile, gets the picture now.
  if (old == psPlaying && (FState == psPaused || FState == psStopped)) PictureReady();
  if (OnStateChange) OnStateChange(old, FState);
  if ((FState == psClosed || FState == psStopped) && OnFileChange) OnFileChange();
}

void TAVPlayer::StartThreads() {
  const bool sound = FList->WaveBuf.PlayAudio && FList->HasAudio > 0 &&
                     !FList->AudioTrack.empty() && FList->AudioTrack[0].Codec;
  ++FPlayRun;
  FVideoThread = std::make_unique<TVideoPlayThread>(
      this, [this] { VideoFinished(); }, [this](int32_t frame) { VideoPosition(frame); },
      [this](bool late) { VideoLag(late); }, sound ? &FStartEvent : nullptr);
  if (sound)
    FAudioThread = std::make_unique<TAudioPlayThread>(
        this, [this] { AudioFailed(); }, FWaveDevice, FVideoThread->AVOffset(), &FStartEvent);
}

void TAVPlayer::StopThreads() {
  if (FStopping) return;
  FStopping = true;
  struct TDone {
    TAVPlayer& player;
    ~TDone() {
      player.FStartEvent.Reset();
      player.FStopping = false;
    }
  } done{*this};
  FStartEvent.Set();
  // The audio thread writes the offset that the video thread's object holds
  // until the audio thread has ended: that object goes last.
  std::unique_ptr<TVideoPlayThread> video = std::move(FVideoThread);
  if (video) {
    video->Wake();
    if (!video->Finished()) {
      video->Terminate();
      video->Resume();
      video->WaitFor();
    }
  }
  if (FAudioThread) {
    if (!FAudioThread->Finished()) {
      FAudioThread->Terminate();
      FAudioThread->WaitFor();
    }
    FAudioThread.reset();
  }
}

void TAVPlayer::VideoPosition(int32_t frame) {
  if (FDestroying) return;
  PaintFrame(false);
  FPosition = frame;
  if (OnPosition) OnPosition();
}

void TAVPlayer::VideoLag(bool late) {
  if (!FDestroying && OnLag) OnLag(late);
}

void TAVPlayer::VideoFinished() {
  if (FScreen && !FScreen->FErrMsg.empty())
    ReportError(peScreen, FScreen->FErrFile, FScreen->FErrMsg);
  if (!FStopping) FHost.PostEndOfPlay(FPlayRun);
}

void TAVPlayer::EndOfPlay(uint32_t run) {
  if (FDestroying) return;
  if (FErrorCode != peNone) {
    if (FState != psClosed) Close();
    return;
  }
  // Only the run that is still playing may end the playback.
  if (run != FPlayRun || FState != psPlaying) return;
  SetState(psStopped);
}

void TAVPlayer::AudioFailed() {
  if (OnAudioError) OnAudioError(1);
  if (FVideoThread && FVideoThread->Suspended()) FVideoThread->Resume();
}

// ---- Full screen and the cursor ----

void TAVPlayer::SetFullScreen(bool on) {
  if (on == FFullScreen || !OnFullScreen) return;
  if (!on) {
    SetCursorAutoHide(false);
    ShowCursor(true);
  }
  bool suspended = false;
  if (FState == psPlaying && FVideoThread && !FVideoThread->Finished() &&
      !FVideoThread->Suspended()) {
    FVideoThread->Suspend();
    suspended = true;
  }
  {
    FScreenLock = true;
    FFullScreen = on;
    struct TUnlock {
      bool& lock;
      ~TUnlock() { lock = false; }
    } unlock{FScreenLock};
    OnFullScreen();
  }
  if (FScreen &&
      (FScreen->FVideoMode == vmGLTextureGrey || FScreen->FVideoMode == vmGLTextureArgb)) {
    int32_t left = 0, top = 0, w = 0, h = 0;
    FHost.ClientRect(left, top, w, h);
    FScreen->RecreateDevice(left, top, FHost.Canvas(), FHost.NativeWindow(), w, h);
  }
  UpdateWindowRect();
  PaintFrame(false);
  SetCursorAutoHide(FFullScreen);
  FHost.FullScreenSwitched(FFullScreen);
  if (suspended && FVideoThread) FVideoThread->Resume();
}

void TAVPlayer::ShowCursor(bool on) {
  if (on != FCursorVisible) {
    FCursorVisible = on;
    FHost.SetCursorVisible(on);
  }
  FCursorTicks = kCursorTicks;
}

void TAVPlayer::CursorTick() {
  if (!FCursorVisible) return;
  if (FCursorTicks <= 0)
    ShowCursor(false);
  else
    --FCursorTicks;
}

void TAVPlayer::SetCursorAutoHide(bool on) {
  if (on == FCursorTimer) return;
  FCursorTimer = on;
  FHost.SetCursorTimer(on);
}

// ---- Queries ----

int32_t TAVPlayer::FileCount() const {
  return FList ? FList->Count : 0;
}

int64_t TAVPlayer::TotalFrames() {
  return FList ? FList->TotalFrames : 0;
}

int64_t TAVPlayer::FrameToMs(int64_t frame) {
  if (!FList || FList->TotalFrames == 0) return 0;
  return FList->FrameToMs(int32_t(frame));
}

double TAVPlayer::DurationSeconds() const {
  return FList ? FList->TotalMs / 1000.0 : 0;
}

std::string TAVPlayer::CurrentFilePath() const {
  return FList && FList->CurFileRef ? FList->CurFileRef->FileName : std::string();
}

std::vector<TAudioStreamInfo> TAVPlayer::AudioStreams() const {
  return FList && FList->CurFileRef ? FList->CurFileRef->AudioStreams
                                    : std::vector<TAudioStreamInfo>();
}

// Known here without asking the file, whose track the sound thread may be
// changing: the file plays the stream chosen for its path, or its first.
int32_t TAVPlayer::AudioStream() const {
  const std::vector<TAudioStreamInfo> streams = AudioStreams();
  if (streams.empty()) return -1;
  const int32_t chosen = RememberedAudioStream(CurrentFilePath());
  for (const TAudioStreamInfo& stream : streams)
    if (stream.StreamIndex == chosen) return chosen;
  return streams.front().StreamIndex;
}

bool TAVPlayer::SelectAudioStream(int32_t streamIndex) {
  const std::vector<TAudioStreamInfo> streams = AudioStreams();
  if (std::none_of(streams.begin(), streams.end(), [&](const TAudioStreamInfo& stream) {
        return stream.StreamIndex == streamIndex;
      }))
    return false;
  RememberAudioStream(CurrentFilePath(), streamIndex);
  // The sound thread reads the file: it takes the change up between two
  // chunks. Without it nothing else touches the list now.
  FList->RequestAudioStream(FList->CurFile, streamIndex);
  if (FAudioThread && FAudioThread->Running()) return true;
  // The reading goes back to where the new stream's sound for the picture on
  // show lies.
  if (FList->TakeAudioRequest() && (FState == psPaused || FState == psStopped))
    SeekToFrame(std::max(FPosition, 0));
  return true;
}

const TSubtitleSet* TAVPlayer::Subtitles() const {
  return FList && FList->CurFileRef ? FList->CurFileRef->Subtitles.get() : nullptr;
}

void TAVPlayer::SetSubtitleChoice(int32_t choice) {
  TAVInFile* file = FList ? FList->CurFileRef : nullptr;
  if (!file || !file->Subtitles) return;
  file->Subtitles->SetChoice(choice);
  // A playing picture takes the choice with the next one.
  if (FState == psPlaying || !FScreen || FScreenLock) return;
  if (file->ShowDecodedPicture(*FScreen)) PaintFrame(false);
}

bool TAVPlayer::CurrentIsPhoto() const {
  return FList && FList->CurFileRef && FList->CurFileRef->IsImage;
}

void TAVPlayer::PictureReady() {
  if (!FList || !FScreen || FErrorCode != peNone || (FState != psStopped && FState != psPaused))
    return;
  TAVInFile* file = FList->CurFileRef;
  if (!file || !file->IsImage || !file->ShowsPreview()) return;
  try {
    // Opened again, the file is read afresh from its start, which now gives
    // the picture.
    file->Suspend();
    file->Resume();
    file->Flush();
    file->Seek(0, false);
    if (file->DecodeVideo(*FScreen, FList->PrevFileRef, dfShow, 1) == drPicture) PaintFrame(false);
  } catch (const std::exception& e) {
    Log(e.what());
  }
  FScreen->FErrMsg.clear();
}

std::string TAVPlayer::PictureErrorText() {
  const TAVInFile* file = FList ? FList->CurFileRef : nullptr;
  if (!file || file->PictureError.empty()) return {};
  if (FPictureErrorPath != file->FileName) {
    FPictureErrorPath = file->FileName;
    FPictureErrorText = file->PictureError;
    if (OnErrorText)
      OnErrorText(peScreen, FPictureErrorText, NameWithoutFolder(file->FileName),
                  file->PictureError);
  }
  return FPictureErrorText;
}

std::string TAVPlayer::FileListCaption() const {
  if (!FList || FList->Count == 0) return {};
  const std::string first = NameWithoutFolder(FList->File(0).FileName);
  if (FList->Count == 1) return first;
  return first + " ... " + NameWithoutFolder(FList->File(FList->Count - 1).FileName);
}

void TAVPlayer::CountKinds(int32_t& videos, int32_t& pictures, bool& firstIsPicture) const {
  videos = pictures = 0;
  firstIsPicture = false;
  if (!FList) return;
  for (int32_t i = 0; i < FList->Count; ++i) (FList->File(i).IsImage ? pictures : videos)++;
  firstIsPicture = FList->Count > 0 && FList->File(0).IsImage;
}

uint8_t TAVPlayer::VideoMode() const {
  return FScreen ? FScreen->FVideoMode : AVParams.VideoMode;
}

TMediaInfo TAVPlayer::GetMediaInfo() const {
  return MediaInfoOf(FList.get());
}

// ---- The timeline for the threads ----

int64_t TAVPlayer::FramePos() {
  return FList ? FList->FramePos : 0;
}
int32_t TAVPlayer::CurFile() {
  return FList ? FList->CurFile : 0;
}
int32_t TAVPlayer::Count() {
  return FList ? FList->Count : 0;
}
int64_t TAVPlayer::StartFrames(int32_t index) {
  return FList && index >= 0 && index < FList->Count ? FList->StartFrames[size_t(index)] : 0;
}
bool TAVPlayer::FirstIsImage() {
  return FList && FList->Count > 0 && FList->File(0).IsImage;
}
float TAVPlayer::FrameRate() {
  return FList && FList->CurFileRef ? FList->CurFileRef->Video.FrameRate : 0;
}
double TAVPlayer::FileFrameMs(int64_t frame) {
  return FList && FList->CurFileRef ? FList->CurFileRef->FrameDurationMs(frame) : 0;
}
int64_t TAVPlayer::FileFramePos() {
  return FList && FList->CurFileRef ? FList->CurFileRef->Video.FramePos : 0;
}
int64_t TAVPlayer::FileFrameCount() {
  return FList && FList->CurFileRef ? FList->CurFileRef->Video.FrameCount : 0;
}
std::string TAVPlayer::CodecName() {
  return FList && FList->CurFileRef ? FList->CurFileRef->Video.CodecName : std::string();
}
void TAVPlayer::ResetFrameRing() {
  if (FList) FList->FrameRing.Reset();
}
int32_t TAVPlayer::DecodeVideo(uint32_t flags) {
  if (!FList || !FScreen) return drEnd;
  return FList->DecodeVideo(*FScreen, int32_t(flags));
}
std::string TAVPlayer::ScreenErrorText() {
  return FScreen ? FScreen->FErrMsg : std::string();
}

int32_t TAVPlayer::OutRate() {
  return FList ? FList->OutRate : 0;
}
int32_t TAVPlayer::OutChannels() {
  return FList ? FList->OutChannels : 0;
}
int32_t TAVPlayer::DecodeAudio(const uint8_t*& out, int32_t& size, int32_t mode) {
  if (!FList) return 1;
  uint8_t* chunk = nullptr;
  const int32_t result = FList->DecodeAudio(chunk, size, mode);
  out = chunk;
  return result;
}

}  // namespace vexo
