#pragma once
// The subtitle tracks of one input file: text tracks inside the container, a
// sidecar file of the same base name, and bitmap tracks (DVD, Blu-ray). Each
// track keeps its events in a time-ordered store in the file's own time (ms
// from the file's first picture), so that a seek or the join of two files on
// a timeline needs nothing but the shown picture's time to pick them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVPacket;
struct AVStream;

namespace vexo {

// One palette picture of a bitmap subtitle, as 32-bit B, G, R, A pixels
// (straight alpha), placed in a frame of the track's RefWidth x RefHeight.
struct TSubtitleBitmap {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;
};

struct TSubtitleEvent {
  int64_t StartMs = 0;
  // Exclusive; an event whose end is not known lasts until the next one.
  int64_t EndMs = 0;
  // Text tracks: the event as a line of the ASS "Events" section without its
  // "Dialogue: " prefix (ReadOrder, Layer, Style, Name, margins, Effect, Text).
  std::string Line;
  std::vector<TSubtitleBitmap> Bitmaps;
  // The store's count of events when this one came, from 1: unique, and
  // rising in the order of arrival.
  uint64_t Serial = 0;
};

// Events ordered by start; the same event met twice (the demultiplexer reads
// a stretch again after a seek) is kept once.
class TSubtitleStore {
 public:
  // False when the event was there already.
  bool Add(TSubtitleEvent event);
  // The events on show at `ms`, in start order.
  std::vector<const TSubtitleEvent*> At(int64_t ms) const;
  const std::vector<TSubtitleEvent>& Events() const { return FEvents; }
  // Added to on every Add; a renderer that copied the events compares it.
  uint64_t Version() const { return FVersion; }

 private:
  std::vector<TSubtitleEvent> FEvents;
  uint64_t FVersion = 0;
};

// Files up to this size (and MP4 and QuickTime files of any size, whose index
// lets the subtitle samples be read alone) are read through for their
// subtitles when opened; larger ones collect their events as playback reads
// them.
inline int64_t SubtitleReadWholeBytes = 256LL << 20;

struct TSubtitleTrack {
  // The container's stream index; -1 for a sidecar file.
  int32_t StreamIndex = -1;
  std::string CodecName;
  std::string Language;
  std::string Title;
  bool Text = true;
  bool Default = false;
  bool Forced = false;
  bool Sidecar = false;
  // Every event of the track is in the store (read through at opening).
  bool Complete = false;
  // The ASS script header the decoder made (styles, play resolution).
  std::string Header;
  // Bitmap tracks: the frame the pictures are placed in.
  int32_t RefWidth = 0, RefHeight = 0;
  TSubtitleStore Store;
  // What a renderer keeps of the track between pictures.
  std::shared_ptr<void> RenderState;
};

class TSubtitleSet {
 public:
  TSubtitleSet();
  ~TSubtitleSet();
  TSubtitleSet(const TSubtitleSet&) = delete;
  TSubtitleSet& operator=(const TSubtitleSet&) = delete;

  // Lists the subtitle streams of an open container and a sidecar beside
  // `fileName`, and reads the tracks whole where that is cheap. startMs: the
  // time of the file's first picture on the container's clock, which the
  // container's events are counted from.
  void Open(AVFormatContext& container, const std::string& fileName, int64_t startMs);
  // A packet the demultiplexer handed out while reading the file's pictures or
  // sound: a subtitle of a track not read whole is decoded into its store.
  void Feed(const AVStream& stream, AVPacket& packet);

  const std::vector<std::unique_ptr<TSubtitleTrack>>& Tracks() const { return FTracks; }
  // The track shown: an index of Tracks(), or -1 for none.
  int32_t Choice() const { return FChoice; }
  void SetChoice(int32_t choice);
  // The shown track, or nullptr.
  TSubtitleTrack* Shown() const;

  // The sidecar files looked for beside a video, by extension.
  static std::vector<std::string> SidecarNames(const std::string& fileName);

 private:
  struct TDecoder;
  void AddSidecar(const std::string& path);
  // Reads every subtitle packet of `path` (other streams skipped) into the
  // tracks whose stream index is in `wanted` (-1 stands for a sidecar's one).
  void ReadWhole(const std::string& path, bool sidecar, int64_t startMs);
  void Decode(TDecoder& decoder, TSubtitleTrack& track, AVPacket& packet, double timeBase,
              int64_t startMs);
  std::vector<std::unique_ptr<TSubtitleTrack>> FTracks;
  std::vector<std::unique_ptr<TDecoder>> FDecoders;
  int32_t FChoice = -1;
  int64_t FStartMs = 0;
};

}  // namespace vexo
