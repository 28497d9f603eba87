#pragma once
// One opened media file of a file list: its demultiplexer, the video track, at
// most one used audio track, their packet queues and decoders.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/av_frame_buf.h"
#include "engine/av_track.h"
#include "engine/low_pass_filter.h"
#include "engine/wave_buffer.h"

struct SwrContext;

namespace vexo {

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
  TAVInFile(const std::string& fileName, std::string& error, int32_t fileIndex,
            TAVInFile* prevFile);
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

  // Video for tkVideo; Audio[0] for tkAudio when the file has sound, else nullptr.
  TTrack* TrackOf(int32_t kind);
  // Name of the container format ("avi", "mpeg", "flv", "image2" ...).
  std::string FormatName() const;
  // The demultiplexer re-parses this container's video packets fully, so their
  // index and time stamps are not to be trusted as they come.
  bool FullyParsed() const;
  // Back to the first packet, for containers that cannot seek by byte too.
  int RewindToStart();

  AVFormatContext* FormatCtx = nullptr;
  uint8_t StreamsInfoOK = 0;
  int32_t FileCount = 0;
  int32_t FileIndex = 0;
  // The file before this one in the list, or nullptr.
  TAVInFile* PrevFileRef = nullptr;
  // Track of each stream index, or nullptr.
  std::vector<TTrack*> StreamMap;
  TTrack Video;
  std::array<TTrack, MaxAudioTracks> Audio;
  int32_t AudioCount = 0;
  int32_t FitWidth = 0;
  int32_t FitHeight = 0;
  uint8_t IsImage = 0;
  AVFrame* DecFrame = nullptr;
  AVFrame* DstPicture = nullptr;
  TAVFrameBuf* FrameBufRef = nullptr;
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

 private:
  bool Open(TAVInFile* prevFile, std::string& error);
  void MapStreams();
  void SetUpAudio(TAVInFile* prevFile);
  void CorrectAacFormat(TTrack& track);
  void ScanFrameCount();
  // Closes a track's own decoder and makes a fresh, unopened one in its place:
  // today's library cannot reopen a closed context.
  static void CloseOwnDecoder(TTrack& track);
  // The stream probe has run on this file.
  bool FProbed = false;
};

}  // namespace vexo
