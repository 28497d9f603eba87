#pragma once
// One opened media file of a file list: its demultiplexer, the video track, at
// most one used audio track, their packet queues and decoders.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/input/audio_streams.h"
#include "engine/input/av_track.h"
#include "engine/input/subtitle_set.h"
#include "engine/media/av_frame_buf.h"
#include "engine/media/av_types.h"
#include "engine/media/low_pass_filter.h"
#include "engine/media/wave_buffer.h"
#include "engine/video/av_scale.h"
#include "engine/video/subtitle_draw.h"

struct SwrContext;

namespace vexo {

class TAVScreen;
class THeifPhoto;

// Data that cannot be decoded as the file promised, or a broken call contract;
// the playback threads catch it.
class TAVDecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Flags of TAVInFile::DecodeVideo.
enum TDecodeFlag : int32_t {
  dfShow = 1,       // convert the picture into the screen's frame buffer
  dfEncode = 2,     // convert the picture into EncPicture, when the caller gives one
  dfKeySeek = 4,    // skip packets before the first key frame, one per call
  dfFillRing = 8,   // also keep each converted picture in the list's ring
  dfRingOnly = 16,  // read nothing; hand out a picture held in the ring
  dfThinKeys = 32,  // clear the key mark of packets off every 15th frame
};

// Results of TAVInFile::DecodeVideo.
enum TDecodeResult : int32_t { drPicture = 0, drEnd = -1, drSkipped = -2 };

class TAVInFile;
// The owning list's files, in list order.
using TAVInFileArray = std::vector<std::unique_ptr<TAVInFile>>;

class TAVInFile {
 public:
  static constexpr int32_t MaxAudioTracks = 16;
  static constexpr int32_t MinStreamMap = 32;

  // Opens and, where needed, probes the file. `error` is empty on success and
  // holds the reason otherwise; the object exists in both cases. `prevFile` is
  // the file before this one in its list, or nullptr for the first.
  // photoWidth x photoHeight: the largest a photo is shown (the screen); a
  // big JPEG photo is decoded at a reduced size that still covers it. 0 x 0
  // decodes every photo at its full size.
  TAVInFile(const std::string& fileName, std::string& error, int32_t fileIndex, TAVInFile* prevFile,
            int32_t photoWidth = 0, int32_t photoHeight = 0);
  ~TAVInFile();
  TAVInFile(const TAVInFile&) = delete;
  TAVInFile& operator=(const TAVInFile&) = delete;

  // The full probe and decoder set-up.
  void InitDecoders(TAVInFile* prevFile, std::string& error);
  // Binds a decoder context to the track of `kind`, by taking over the
  // previous file's or by opening its own. atOpen: called while opening the
  // file (a later file then decides at its first decode).
  void OpenDecoder(int32_t kind, TAVInFile* prevFile, bool atOpen);
  static bool CanShareDecoder(const TTrack* own, const TTrack* prev, int32_t kind);
  // Closes the decoder contexts of the sharing chain that `file`'s track of
  // `kind` belongs to; every track of the chain gets its own context back.
  static void ReleaseSharedDecoders(TAVInFile* file, int32_t kind);
  void CountFrames();
  void ComputeFrameRate();
  // The pictures' own times, where the container's index or the stamps of
  // the packets read while counting show that one rate misplaces them.
  void CollectFrameTimes();

  // Each picture shows at its own time (Video.FrameTimes).
  bool VariableRate() const { return !Video.FrameTimes.empty(); }
  // Seconds from frame 0 to `frame`; FrameCount gives the file's length.
  double FrameSeconds(int64_t frame) const;
  // The time of `frame` in the ticks of `track` (the video or the sound).
  double FrameTicks(const TTrack& track, int64_t frame) const;
  // The picture whose time is nearest to a video stamp (ticks from frame 0).
  int64_t FrameOfStamp(double ticks) const;
  // The picture on show `ms` milliseconds after frame 0.
  int64_t FrameAtMs(double ms) const;
  // How long `frame` stays on show, in ms.
  double FrameDurationMs(int64_t frame) const;
  // The file's length on the timeline in sample frames at `rate`.
  int64_t LengthInSamples(int32_t rate) const;

  // The stream Audio[0] plays, or -1 when the file plays without sound.
  int32_t AudioStreamIndex() const;
  // Plays the sound stream `streamIndex` of AudioStreams from now on, going
  // on from the sound handed out so far (DeliveredBytes). Decoder contexts
  // shared with other files must have been let go. False when the stream is
  // not offered, is the one playing, or the file is suspended.
  bool SelectAudioStream(int32_t streamIndex);

  // Video for tkVideo; Audio[0] for tkAudio when the file has sound, else nullptr.
  TTrack* TrackOf(int32_t kind);
  // Name of the container format ("avi", "mpeg", "flv", "image2" ...).
  std::string FormatName() const;
  // The demultiplexer re-parses this container's video packets fully, so their
  // index and time stamps are not to be trusted as they come.
  bool FullyParsed() const;
  bool HeaderLacksPictureRate() const;
  // Matroska and WebM, one demultiplexer for both.
  bool IsMatroska() const;
  // Every picture's own time stamp, not only the first after a seek, tells
  // its frame slot.
  bool StampsPlacePictures() const;
  // MPEG-4 Part 2 and the like in AVI with pictures stored out of display order.
  bool AviReorders() const;
  // The frame slot of the picture just decoded, in stream ticks; none when
  // the picture carries no stamp.
  int64_t PictureStamp() const;
  // The time of the picture decoded last, in ms from frame 0: the time its
  // subtitles are picked by.
  int64_t PictureMs() const;
  // A converted picture of this file as subtitles are drawn into it.
  TSubtitleCanvas SubtitleCanvas(const TAVPicture& picture, TFourCC fourCC, int32_t width,
                                 int32_t height, float pixelAspect) const;
  // Back to the first packet, for containers that cannot seek by byte too.
  int RewindToStart();

  // The next packet of stream `streamIndex`; packets of the other track met on
  // the way wait in its queue. `packet` must be empty on entry. 0 with a
  // packet; non-zero (and no packet) at the end or on a read error.
  int ReadPacket(TAVPacket*& packet, int32_t streamIndex);
  // Decodes the next picture; TDecodeFlag values in `flags`. drPicture,
  // drSkipped, or drEnd (an error when the screen's FErrMsg is set). A photo
  // that PassesOverDamage() reports no error: see PictureError.
  int DecodeVideo(TAVScreen& screen, TAVInFile* prevFile, int32_t flags, uint8_t firstFrame);
  // A photo other than a JPEG: when it cannot be decoded, its time on the
  // timeline passes without a picture and the list goes on.
  bool PassesOverDamage() const { return IsImage && !FJpeg; }
  // Converts the picture decoded last into the screen's frame buffer, as
  // dfShow would have. False when there is none or the conversion failed.
  bool ShowDecodedPicture(TAVScreen& screen);
  // FitWidth x FitHeight: the picture inside a width x height surface with the
  // given pixel aspect and display aspect.
  void FitPicture(int32_t width, int32_t height, float pixelAspect, float screenAspect);
  // The next chunk of 16-bit sound in the list's output format (mode 0) or the
  // encoder's (mode 1). 0 with `output` and `count` set; -1 when nothing is left.
  // `output` stays valid until the next call.
  int DecodeAudio(uint8_t*& output, int32_t& count, int32_t mode, TAVInFile* prevFile);
  // Positions the demultiplexer at or before `frame`; the result of the video seek.
  int Seek(int64_t frame, bool withAudio);
  // Drops decoder state, queued packets and collected sound.
  void Flush();
  // Closes the container, which holds the file's descriptor, while the file
  // is far from the play position; what was learnt about it stays, and so do
  // its decoder contexts, which other files of the list may be using.
  void Suspend();
  // Opens the container of a suspended file again. False when it cannot be
  // opened any more (its first decode then fails).
  bool Resume();
  bool Suspended() const { return FSuspended; }
  // A big photo shown first by its preview: `onReady` is called, on another
  // thread or at once, when reading it again gives the picture itself.
  void SetOnPictureReady(std::function<void()> onReady);
  // Reading the file from its start gives a HEIF photo's preview.
  bool ShowsPreview() const;
  // The container format the file was opened with, also while suspended.
  const AVInputFormat* InputFormat() const { return FInputFormat; }

  AVFormatContext* FormatCtx = nullptr;
  uint8_t StreamsInfoOK = 0;
  int32_t FileCount = 0;
  // The engine values as they stood when the file was opened: a file
  // reopened later on the audio thread never reads what the options change.
  TAVParams Params = AVParams;
  int32_t FileIndex = 0;
  // The file before this one in the list, or nullptr.
  TAVInFile* PrevFileRef = nullptr;
  // Track of each stream index, or nullptr.
  std::vector<TTrack*> StreamMap;
  TTrack Video;
  std::array<TTrack, MaxAudioTracks> Audio;
  int32_t AudioCount = 0;
  // The sound streams the file offers, in stream order.
  std::vector<TAudioStreamInfo> AudioStreams;
  int32_t FitWidth = 0;
  int32_t FitHeight = 0;
  uint8_t IsImage = 0;
  // Why the photo could not be shown (PassesOverDamage); empty while it can.
  std::string PictureError;
  AVFrame* DecFrame = nullptr;
  AVFrame* DstPicture = nullptr;
  TAVFrameBuf* FrameBufRef = nullptr;
  // Target of dfEncode; none unless a caller sets one (playback never does).
  AVFrame* EncPicture = nullptr;
  SwrContext* AudioResample = nullptr;
  SwrContext* EncResample = nullptr;
  TWaveBuffer* WaveBuf = nullptr;
  const TAVInFileArray* FilesRef = nullptr;
  uint8_t DurationWarned = 0;
  uint8_t LowPassOn = 0;
  std::string FileName;
  std::string Ext;
  int32_t Started = 0;
  int64_t StartPts = -1;
  uint8_t AudioMode = 2;
  std::vector<TLowPassFilter> LowPass;
  // The file's subtitle tracks and the one shown; none for a photo.
  std::unique_ptr<TSubtitleSet> Subtitles;

 private:
  bool Open(TAVInFile* prevFile, std::string& error);
  // DecodeVideo, errors reported as they come.
  int DecodePicture(TAVScreen& screen, TAVInFile* prevFile, int32_t flags, uint8_t firstFrame);
  bool FJpeg = false;
  // Opens the container: the file itself, or the picture libheif decoded.
  int OpenContainer();
  // The stream probe; a photo's decoder never makes a picture of more than
  // kMaxPhotoPixels while it probes.
  int ProbeStreams();
  // The decoder's reduction of a JPEG photo (lowres: 1/2, 1/4, 1/8), 0 for
  // none.
  int PhotoScale() const;
  int32_t FPhotoWidth = 0;
  int32_t FPhotoHeight = 0;
  std::unique_ptr<THeifPhoto> FHeif;
  // The HEIF photo reads its preview while its picture is decoded.
  bool FPreviewShown = false;
  void MapStreams();
  void BindTrack(TTrack& track, int32_t index);
  // atOpen: while opening the file, when the decoder may open and the file
  // may be read from its start.
  void SetUpAudio(TAVInFile* prevFile, bool atOpen = true);
  // After avcodec_open2 failed with `code` on the track of `kind`.
  void DecoderOpenFailed(TTrack& track, int32_t kind, int code);
  // The file plays as silent video from now on.
  void DropAudio();
  void CorrectAacFormat(TTrack& track);
  void ScanFrameCount();
  // False when the end is near enough to read everything.
  bool JumpToTail();
  // The presentation stamps of all video packets, read through the file.
  std::vector<int64_t> ReadVideoStamps();
  // Video stamps met while counting, and whether they are all of them.
  std::vector<int64_t> FScanStamps;
  bool FScanComplete = false;
  void PlaceAfterDecoderSkip(int64_t missingSamples, int64_t& waitBytes, int64_t& trimBytes) const;
  // Closes a track's own decoder and makes a fresh, unopened one in its place:
  // today's library cannot reopen a closed context.
  static void CloseOwnDecoder(TTrack& track);
  // The stream probe has run on this file.
  bool FProbed = false;
  bool FSuspended = false;
  // What the demultiplexer learnt while the file was read (start times and
  // durations of the container and of each stream), restored when a
  // suspended file is opened again, and the format it was opened with.
  struct TStreamTimes {
    int64_t Start, Duration;
  };
  std::vector<TStreamTimes> FStreamTimes;
  TStreamTimes FFormatTimes{AV_NOPTS_VALUE, AV_NOPTS_VALUE};
  const AVInputFormat* FInputFormat = nullptr;

  // Reading.
  void ResolveStartPts(const TAVPacket* firstVideoPacket);
  void PrepareVideoPacket(TAVPacket& packet);
  void PrepareAudioPacket(TAVPacket& packet);
  bool EndsAfterSeekTarget(const TTrack& track, const TAVPacket& packet) const;
  int64_t DemuxerPosition() const;
  // StartPts in audio ticks (1/TicksPerSecond s).
  int64_t FAudioStartTicks = 0;

  // Video decoding.
  int ReceivePicture(int32_t flags, bool& keySeen, bool& keyStampKnown, int64_t& keyStamp,
                     bool& readFailed);
  bool SendVideoPacket(TAVPacket* packet);
  void CheckRawPacket(const TAVPacket& packet) const;
  void CheckPixelFormat(TAVScreen& screen);
  // False with the screen's error set when the conversion failed.
  bool ShowPicture(TAVScreen& screen, uint8_t firstFrame, bool keepInRing);
  // Draws the shown subtitle of the picture just decoded into the screen's
  // converted picture.
  void DrawPictureSubtitles(TAVScreen& screen);
  void OpenSubtitles();
  void EncodePicture(TAVScreen& screen, uint8_t firstFrame);
  void WrapFrameBuffer(TAVScreen& screen);
  // Where the picture decoded now is tone-mapped, if it is: by the screen's
  // device from its own samples (true), or on the CPU into the frame
  // buffer's layout. Decided per picture; the first of a file logs it.
  bool DeviceToneMaps(const TAVScreen& screen, bool keepInRing);
  bool FToneMapLogged = false;
  // The decoder has been sent the end of the stream and must be flushed before
  // it takes packets again.
  bool FVideoDraining = false;

  // Audio decoding.
  void CollectAudio(int64_t& waitBytes, int64_t& trimBytes, SwrContext* converter);
  int64_t DecodeAudioPacket(TAVPacket* packet, SwrContext* converter);
  int64_t AppendFrameSound(const AVFrame& frame, SwrContext* converter);
  bool PrepareSampleConverter(const AVFrame& frame);
  void HandOutSound(uint8_t*& output, int32_t& count);
  void FilterSound(uint8_t* data, int32_t bytes);
  bool FAudioDraining = false;
  AVFrame* FAudioFrame = nullptr;
  // Decoder output to 16-bit interleaved at the track's rate and channels.
  SwrContext* FSampleConv = nullptr;
  int FSampleConvFormat = -1;
  int FSampleConvRate = 0;
  int FSampleConvChannels = 0;
  // A piece of a chunk copied out of the wave buffer.
  TBuffer FAudioOut;
};

}  // namespace vexo
