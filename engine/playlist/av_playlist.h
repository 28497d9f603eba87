#pragma once
// The playlist: media paths in play order, the playlist file they came from, and per-file
// timing once the player control has opened them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexo {

// Where one entry sits on the playlist's common timeline. Derived values are fixed at
// construction.
class TPlayListItem {
 public:
  TPlayListItem(std::string name, int32_t frame_count, double frame_rate, int32_t start_frame);

  const std::string& Name() const { return FName; }
  int32_t StartFrame() const { return FStartFrame; }
  int32_t EndFrame() const { return FEndFrame; }  // inclusive
  double FrameRate() const { return FFrameRate; }
  int32_t FrameCount() const { return FFrameCount; }
  double Duration() const { return FDuration; }  // seconds; 0 when the frame rate is unusable
  int32_t DurationMs() const;                    // nearest, halves to even

 private:
  std::string FName;
  int32_t FStartFrame;
  int32_t FEndFrame;
  double FFrameRate;
  int32_t FFrameCount;
  double FDuration;
};

class TAVPlayList {
 public:
  TAVPlayList() = default;
  TAVPlayList(const TAVPlayList&) = delete;
  TAVPlayList& operator=(const TAVPlayList&) = delete;

  // Entry paths are kept exactly as given: never normalised, checked or de-duplicated.
  // Indices out of range throw std::out_of_range.
  int Add(const std::string& path);
  int Count() const { return static_cast<int>(FStrings.size()); }
  const std::string& Strings(int index) const;
  TPlayListItem* Objects(int index) const { return GetItem(index); }
  void Delete(int index);
  void Insert(int index, const std::string& path);
  void Move(int cur_index, int new_index);
  void Exchange(int index1, int index2);

  // Empties the entries, their items, FileName and Name.
  void Clear();

  TPlayListItem* GetItem(int index) const;
  // Attaches timing to an entry, replacing what it had; the item's name is the entry's
  // file-name part.
  void SetItemInfo(int index, int32_t frame_count, double frame_rate, int32_t start_frame);
  // True when every entry has timing; an empty list has nothing unknown.
  bool AllItemsKnown() const;
  // Makes this list a copy of source with fresh items. Every source entry must have timing;
  // otherwise std::invalid_argument is thrown and this list is left as it was.
  void AssignPlayList(const TAVPlayList& source);

  // Replaces the entries with those of an .asx file. FileName and Name follow the file only
  // when it gave at least one entry. Throws TPlayListFileError (the list is then empty).
  void LoadFromFile(const std::string& path);
  // Writes the entries to an .asx file, then FileName and Name follow it. Throws
  // TPlayListFileError and leaves the list unchanged when the file cannot be written.
  void SaveToFile(const std::string& path);

  const std::string& FileName() const { return FFileName; }
  const std::string& Name() const { return FName; }
  // Set by the owner while the player opens this list; the list itself never reads it.
  bool Opening() const { return FOpening; }
  void SetOpening(bool opening) { FOpening = opening; }

 private:
  void CheckIndex(int index, int limit) const;
  void SetFileName(const std::string& path);

  std::vector<std::string> FStrings;
  std::vector<std::unique_ptr<TPlayListItem>> FItems;  // parallel to FStrings, null = unknown
  std::string FFileName;
  bool FOpening = false;
  std::string FName;
};

}  // namespace vexo
