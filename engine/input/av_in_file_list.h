#pragma once
// The files of a playlist played as one timeline: one frame numbering, one
// millisecond scale, one output frame size and one sound format for all of
// them. The video side and the sound side move from file to file on their own,
// so that each reaches the next file without a gap.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/input/av_in_file.h"
#include "engine/media/av_frame_buf.h"
#include "engine/media/av_types.h"
#include "engine/media/buffer.h"
#include "engine/media/wave_buffer.h"

namespace vexo {

class TAVPlayList;
class TAVScreen;
class TAVInFileList;

// The list's common sound, present when any file has sound.
struct TListTrack {
  // Decoder of the file with the highest sample rate.
  std::string CodecName;
  const AVCodec* Codec = nullptr;
  // The file the sound side is decoding.
  int32_t AudioFile = 0;
  int32_t MaxRate = 0;
  int32_t MaxChannels = 0;
};

// Stages of opening a list, as handed to the progress event.
enum TListProgress : int32_t {
  lpStarting = 0,        // index: the number of files - 1
  lpFileOpened = 1,      // index: how many files are open
  lpFileFailed = 2,      // index: 0
  lpAllOpened = 3,       // index: 0
  lpConvertersReady = 4  // index: 0
};

using TListProgressEvent = std::function<void(TAVInFileList& list, int32_t stage, int32_t index)>;
using TNextFileEvent = std::function<void(TAVInFileList& list)>;

// The size of the screen the player shows on; frame sizes are fitted to it.
struct TScreenSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

// 32-bit pixels B, G, R, A, stored bottom-up like the screen's frame bitmap
// (the lowest address holds the bottom row).
struct TBitmap32 {
  int32_t Width = 0;
  int32_t Height = 0;
  TBuffer Pixels;
  int32_t Stride() const { return Width * 4; }
};

class TAVInFileList {
 public:
  // Opens every entry of the playlist. On failure `error` holds the failing
  // file's error text and `errorFile` its name without folder; the list then
  // holds the files up to the failing one and is only fit to be destroyed.
  TAVInFileList(const TAVPlayList& playList, TScreenSize screen, bool fitToScreen, bool gapless,
                bool playAudio, std::string& error, std::string& errorFile,
                TListProgressEvent onProgress = {}, TNextFileEvent onNextFile = {});
  ~TAVInFileList();
  TAVInFileList(const TAVInFileList&) = delete;
  TAVInFileList& operator=(const TAVInFileList&) = delete;

  // Decodes the next picture of the timeline; the result is the file decode's
  // (0 a picture, -1 end or error, -2 a packet skipped in a key-frame search).
  int32_t DecodeVideo(TAVScreen& screen, int32_t flags);
  // Called from the progress event: no further file is opened, and the
  // construction ends with kOpenCancelled as its error.
  void CancelOpening() { FCancelled = true; }
  static constexpr const char* kOpenCancelled = "Opening was cancelled";
  // Hands out the next chunk of sound; 0 with a chunk, non-zero once the
  // last file's sound is exhausted. mode 0: playback format, 1: encoder format.
  int32_t DecodeAudio(uint8_t*& out, int32_t& count, int32_t mode);

  // Plays the sound stream `streamIndex` for file `index` (TAVInFile::
  // AudioStreams). In the file the sound side is in, the new stream goes on
  // from the sound handed out so far; a file the sound side has left takes
  // it when it is prepared again. Runs where the sound side runs: on the
  // sound thread under AVThreadLock, or while no playback thread runs.
  // False when nothing changed.
  bool SelectAudioStream(int32_t index, int32_t streamIndex);
  // Plays the sound stream remembered for file `index`, when it plays another.
  void TakeUpAudioChoice(int32_t index);
  // Asks for SelectAudioStream from any thread; the sound side takes the
  // latest request up before its next chunk.
  void RequestAudioStream(int32_t index, int32_t streamIndex);
  // Carries out the request pending, where the sound side runs; true when
  // the stream changed.
  bool TakeAudioRequest();

  // Sets FrameWidth, FrameHeight, FrameAspect and FramePixelAspect for an
  // output surface of width x height and display aspect `aspect`.
  void ComputeFrameSize(int32_t width, int32_t height, bool fit, float aspect);

  int32_t FileIndexOfFrame(int32_t frame) const;
  int32_t FrameToMs(int32_t frame) const;
  // A time equal to a file's start maps into the file before it, at its end.
  int32_t MsToFrame(int32_t ms) const;

  // Draws the current picture into `bitmap`, width x height with display
  // aspect `aspect`; all 0 take the list's frame size and aspect with square
  // pixels. True when a picture was drawn.
  bool RenderToBitmap(TBitmap32& bitmap, int32_t width, float aspect, int32_t height);

  // An entry of the playlist that could not be opened and was left out of a
  // list whose other entries opened.
  struct TLeftOut {
    int32_t Entry = 0;  // index in the playlist
    std::string Path;
    std::string Error;
  };

  // Keeps open the containers of the files the sides are in, of the file
  // before them and of the file after them (opened again on approach), and
  // suspends the others: a list holds a few descriptors, however long it is.
  void KeepOpenNear();
  // Files of a list longer than this are opened, measured and suspended one
  // after the other; the first ones stay open for the first decode.
  static constexpr int32_t kOpenAtStart = 2;

  TAVInFile& File(int32_t index) { return *Files[size_t(index)]; }
  const TAVInFile& File(int32_t index) const { return *Files[size_t(index)]; }

  TAVInFileArray Files;
  std::vector<int32_t> StartFrames;
  std::vector<int32_t> StartMs;
  float TotalMs = 0;
  int32_t TotalFrames = 0;
  int32_t Count = 0;
  int32_t OutRate = 0;
  int32_t OutChannels = 0;
  int32_t FrameWidth = 0;
  int32_t FrameHeight = 0;
  float FrameAspect = 0;
  float FramePixelAspect = 0;
  float MinAspect = 0;
  float MaxAspect = 0;
  std::string VideoCodecName;
  int32_t CurFile = 0;
  int32_t FramePos = 0;
  float MaxFrameRate = 0;
  int32_t BiggestWidth = 0;
  int32_t BiggestHeight = 0;
  int32_t MaxImageWidth = 0;
  int32_t MaxImageHeight = 0;
  int32_t MaxVideoWidth = 0;
  int32_t MaxVideoHeight = 0;
  std::vector<TListTrack> AudioTrack;
  uint8_t HasAudio = 0;
  TAVInFile* CurFileRef = nullptr;
  TAVInFile* PrevFileRef = nullptr;
  uint8_t FirstFrame = 0;
  TAVFrameBuf FrameRing;
  TWaveBuffer WaveBuf;
  uint8_t Gapless = 0;
  uint8_t AudioOutMode = 2;
  TNextFileEvent OnNextFile;
  // Each big photo shown first by its preview calls `onReady` (on another
  // thread, or at once) when reading it again gives the picture itself.
  void SetOnPictureReady(const std::function<void()>& onReady);
  // In playlist order; the files of the list are the other entries.
  std::vector<TLeftOut> LeftOut;
  // The screen the frame size is fitted to; the owner updates it when the
  // window moves to another screen.
  int32_t ScreenWidth = 0;
  int32_t ScreenHeight = 0;
  // The engine values as they stood when the list was opened.
  TAVParams Params = AVParams;

 private:
  void Progress(int32_t stage, int32_t index);
  bool OpenFiles(const TAVPlayList& playList, std::string& error, std::string& errorFile);
  // The largest a photo is shown; 0 x 0 when pictures keep their own size.
  TScreenSize FPhotoSize;
  void AddToTimeline(TAVInFile& file);
  void SetUpSound();
  void SetUpSilence(TAVInFile& file);
  // The list's converters from the file's sound format to the output's and
  // the encoder's, where they differ.
  void MakeResamplers(TAVInFile& file, TAVInFile* prev);
  // Converters a file used before its sound stream changed; freed with the list.
  std::vector<SwrContext*> FRetiredResamplers;
  // A pending RequestAudioStream: file index in the high half, stream in the
  // low half; -1 for none.
  std::atomic<int64_t> FAudioRequest{-1};
  // Flushes a file the sides are done with or about to start.
  void FlushFile(int32_t index);
  // Gets a file ready for its first decode: probed, flushed, at frame 0.
  void PrepareFile(int32_t index);
  // A flush on behalf of the video side. It leaves the wave buffer alone,
  // which holds sound of the file the sound side is on, and the sound
  // counters of a file the sound side is still in.
  void FlushForVideo(int32_t index);
  // The pictures have left a file whose sound still plays: its decoder, drained
  // to the end, goes back to a clean state, since the next file may take it
  // over and a drained decoder takes no more packets.
  static void ResetVideoDecoder(TAVInFile& file);
  void CarryOverrun(TAVInFile& from, TAVInFile& to);

  TListProgressEvent FOnProgress;
  bool FCancelled = false;
};

}  // namespace vexo
