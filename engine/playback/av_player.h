#pragma once
// The player control: plays a timeline made from a playlist in the window of
// its host. It owns the file list, the video screen and, while playing, the
// video presentation thread and at most one audio output thread; it keeps the
// play state and the frame position, does every seek, and reports to its
// owner through notifications. Everything here runs on the user-interface
// thread; the threads reach it only through synchronised calls and the
// queued end-of-play call.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/input/audio_streams.h"
#include "engine/media/av_types.h"
#include "engine/playback/audio_source.h"
#include "engine/playback/av_event.h"
#include "engine/playback/player_media_info.h"
#include "engine/playback/video_timeline.h"

namespace vexo {

class TAVInFileList;
class TAVPlayList;
class TAVScreen;
class TSubtitleSet;
class TAudioPlayThread;
class TPlayerHost;
class TVideoPlayThread;

enum TPlayState : uint8_t {
  psClosed = 0,
  psStopped = 1,
  psPlaying = 2,
  psPaused = 3,
  psTracking = 4,
};

// "Closed", "Stopped", ...
const char* PlayStateName(uint8_t state);

enum TPlayerError : uint8_t {
  peNone = 0,
  peOpen = 5,    // the timeline could not be opened
  peDecode = 6,  // a file failed while seeking or decoding here
  peScreen = 7,  // the screen reported an error during playback
};

enum TNavigateKey : uint8_t { nkHome, nkEnd, nkLeft, nkRight };

// Full screen hides an idle cursor: the host's timer ticks every
// kCursorTickMs, and the tick after kCursorTicks quiet ones hides it.
inline constexpr int32_t kCursorTickMs = 500;
inline constexpr int32_t kCursorTicks = 4;

class TAVPlayer : public TVideoTimeline, public TAudioSource {
 public:
  using TNotify = std::function<void()>;
  using TOnLag = std::function<void(bool late)>;
  using TOnOpenProgress = std::function<void(int32_t fileIndex)>;
  using TOnAudioError = std::function<void(int32_t code)>;
  // The owner composes the text shown for `code` into `text`.
  using TOnErrorText = std::function<void(int32_t code, std::string& text,
                                          const std::string& argument, const std::string& detail)>;
  using TOnStateChange = std::function<void(uint8_t oldState, uint8_t newState)>;

  explicit TAVPlayer(TPlayerHost& host);
  ~TAVPlayer() override;
  TAVPlayer(const TAVPlayer&) = delete;
  TAVPlayer& operator=(const TAVPlayer&) = delete;

  // Opens the playlist as one timeline; nothing or an empty list closes.
  void OpenPlayList(TAVPlayList* playList, uint8_t mode);
  void Close();
  // From OnOpenProgress: the opening under way stops before its next file
  // and the player ends closed, without an error.
  void CancelOpen() { FCancelOpen = true; }
  void SetState(uint8_t state);
  // Follows the position bar; only while Tracking.
  void SeekMs(int32_t ms);
  void SeekToFrame(int32_t frame);
  void NavigateKey(TNavigateKey key);
  // Moves the position by `deltaMs` within the timeline (clamped to its ends);
  // a player that was playing plays on from there.
  void SeekByMs(int32_t deltaMs);
  // The sound streams of the file on show, and the one playing (-1: none).
  std::vector<TAudioStreamInfo> AudioStreams() const;
  int32_t AudioStream() const;
  // Plays the current file's sound stream `streamIndex` from the present
  // moment on, without a break, and keeps the choice for the file's path.
  // False when the file offers no such stream.
  bool SelectAudioStream(int32_t streamIndex);
  void SetSkinActive(bool on);
  // The window moved or was resized.
  void Reposition();
  void UpdateWindowRect();

  // The posted end of a playback run; `run` tells which run ended.
  void EndOfPlay(uint32_t run);

  // Painting: PaintFrame shows the current frame, with the background first
  // when asked or when the screen's picture rectangle changed.
  bool PaintFrame(bool repaintBackground);
  bool HasScreen() const { return FScreen != nullptr; }
  bool ScreenLock() const { return FScreenLock; }
  TAVScreen* Screen() const { return FScreen.get(); }
  TAVInFileList* List() const { return FList.get(); }

  // Full screen and the cursor.
  void SetFullScreen(bool on);
  bool FullScreen() const { return FFullScreen; }
  void ShowCursor(bool on);
  void CursorTick();
  void SetCursorAutoHide(bool on);
  bool CursorVisible() const { return FCursorVisible; }

  // Queries.
  bool IsOpen() const { return FList != nullptr; }
  uint8_t State() const { return FState; }
  uint8_t ErrorCode() const { return FErrorCode; }
  const std::string& ErrorText() const { return FScreenErrMsg; }
  // The text shown instead of the current file's picture when that is a
  // damaged photo the timeline passes over (composed as error 7's, without
  // stopping anything); empty otherwise.
  std::string PictureErrorText();
  // A photo shown by its preview has its picture ready: it is shown in the
  // preview's place unless playback or a seek is under way.
  void PictureReady();
  // Paths of the playlist's entries that could not be opened when the list
  // was opened last; they have been taken out of the playlist, as the other
  // entries play.
  const std::vector<std::string>& LeftOutFiles() const { return FLeftOut; }
  int32_t FileCount() const;
  int32_t Position() const { return FPosition; }
  int64_t TotalFrames() override;
  int64_t FrameToMs(int64_t frame) override;
  int64_t TotalDurationMs() { return FrameToMs(TotalFrames()); }
  double DurationSeconds() const;
  std::string CurrentFilePath() const;
  bool CurrentIsPhoto() const;
  std::string FileListCaption() const;
  void CountKinds(int32_t& videos, int32_t& pictures, bool& firstIsPicture) const;
  uint8_t VideoMode() const;
  // The subtitle tracks of the file on show, with the one shown; nullptr
  // when no file is on show or it is a photo.
  const TSubtitleSet* Subtitles() const;
  // Shows track `choice` of the file on show (-1: none); a picture that
  // stands still is drawn again at once.
  void SetSubtitleChoice(int32_t choice);
  TMediaInfo GetMediaInfo() const;

  // Notifications; each is called only when assigned.
  TOnLag OnLag;
  TNotify OnFileChange;
  TOnOpenProgress OnOpenProgress;
  TOnAudioError OnAudioError;
  TOnErrorText OnErrorText;
  TNotify OnFullScreen;
  TOnStateChange OnStateChange;
  TNotify OnPosition;

  // The timeline as the video thread sees it.
  int64_t FramePos() override;
  int32_t CurFile() override;
  int32_t Count() override;
  int64_t StartFrames(int32_t index) override;
  bool FirstIsImage() override;
  float FrameRate() override;
  double FileFrameMs(int64_t frame) override;
  int64_t FileFramePos() override;
  int64_t FileFrameCount() override;
  std::string CodecName() override;
  void ResetFrameRing() override;
  int32_t DecodeVideo(uint32_t flags) override;
  std::string ScreenErrorText() override;

  // The timeline's sound as the audio thread sees it.
  int32_t OutRate() override;
  int32_t OutChannels() override;
  int32_t DecodeAudio(const uint8_t*& out, int32_t& size, int32_t mode) override;

 private:
  enum TInitKind { ikCreateNew, ikUpdate, ikRecreate };

  void FInitScreen(int32_t width, int32_t height, uint8_t mode, float aspect);
  uint8_t InitScreen(int32_t width, int32_t height, TInitKind kind, uint8_t mode, float aspect);
  void OnListPictureSize();
  void StartThreads();
  void StopThreads();
  // Seeks to `target` (a timeline frame); playback stops for the seek and
  // resumes when it was running.
  void SeekKeepingState(int32_t target);
  void VideoPosition(int32_t frame);
  void VideoLag(bool late);
  void VideoFinished();
  void AudioFailed();
  // Records the error, lets the owner compose its text, and closes.
  void Fail(uint8_t code, const std::string& file, const std::string& detail);
  void ReportError(uint8_t code, const std::string& file, const std::string& detail);

  // Seeking (av_player_seek.cpp).
  void SeekTo(int32_t frame, int32_t ms, bool force);
  // Makes the file of `frame` current; with `search` also finds the key frame
  // at or before it (the quick positioning while the bar is dragged).
  bool PositionFile(int32_t frame, bool withAudio, bool search = true);
  void DecodeToScreen(bool force);
  void FinishSeek();
  bool ScreenFailed();

  TPlayerHost& FHost;
  // The engine values taken when the playlist was opened; the options may
  // change the global meanwhile without reaching the open timeline.
  TAVParams FParams = AVParams;
  std::unique_ptr<TAudioPlayThread> FAudioThread;
  std::unique_ptr<TVideoPlayThread> FVideoThread;
  bool FStopping = false;
  bool FDestroying = false;
  bool FCancelOpen = false;
  int32_t FPosition = -1;
  int32_t FFileStart = 0;
  uint8_t FErrorCode = peNone;
  std::string FScreenErrMsg;
  // PictureErrorText, composed once for the file it was composed for.
  std::string FPictureErrorPath, FPictureErrorText;
  std::vector<std::string> FLeftOut;
  uint8_t FState = psClosed;
  TAVEvent FStartEvent;
  std::unique_ptr<TAVScreen> FScreen;
  std::unique_ptr<TAVInFileList> FList;
  bool FFullScreen = false;
  bool FScreenLock = false;
  bool FSkinActive = false;
  bool FCursorTimer = false;
  int32_t FCursorTicks = kCursorTicks;
  bool FCursorVisible = true;
  uint32_t FWaveDevice;
  bool FPlayAudio;
  // Counts playback runs, so that the end of an earlier run arriving late
  // cannot stop a later one.
  uint32_t FPlayRun = 0;
};

}  // namespace vexo
