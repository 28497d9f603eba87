#include "engine/playlist/av_playlist.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "engine/playlist/asx_file.h"
#include "engine/playlist/playlist_names.h"

namespace vexo {

TPlayListItem::TPlayListItem(std::string name, int32_t frame_count, double frame_rate,
                             int32_t start_frame)
    : FName(std::move(name)),
      FStartFrame(start_frame),
      // Widened so that absurd counts wrap instead of overflowing.
      FEndFrame(static_cast<int32_t>(int64_t{start_frame} + frame_count - 1)),
      FFrameRate(frame_rate),
      FFrameCount(frame_count),
      FDuration(0) {
  const double duration = frame_count / frame_rate;
  if (std::isfinite(duration)) FDuration = duration;
}

int32_t TPlayListItem::DurationMs() const {
  const double ms = std::nearbyint(FDuration * 1000);
  // Durations beyond the 32-bit range cannot be drawn anyway; keep the conversion defined.
  constexpr double kMin = std::numeric_limits<int32_t>::min();
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(ms, kMin, kMax));
}

int TAVPlayList::Add(const std::string& path) {
  FStrings.push_back(path);
  FItems.emplace_back();
  return Count() - 1;
}

const std::string& TAVPlayList::Strings(int index) const {
  CheckIndex(index, Count() - 1);
  return FStrings[index];
}

void TAVPlayList::Delete(int index) {
  CheckIndex(index, Count() - 1);
  FStrings.erase(FStrings.begin() + index);
  FItems.erase(FItems.begin() + index);
}

void TAVPlayList::Insert(int index, const std::string& path) {
  CheckIndex(index, Count());
  FStrings.insert(FStrings.begin() + index, path);
  FItems.emplace(FItems.begin() + index);
}

void TAVPlayList::Move(int cur_index, int new_index) {
  CheckIndex(cur_index, Count() - 1);
  CheckIndex(new_index, Count() - 1);
  auto shift = [&](auto& entries) {
    auto first = entries.begin();
    if (cur_index < new_index)
      std::rotate(first + cur_index, first + cur_index + 1, first + new_index + 1);
    else
      std::rotate(first + new_index, first + cur_index, first + cur_index + 1);
  };
  shift(FStrings);
  shift(FItems);
}

void TAVPlayList::Exchange(int index1, int index2) {
  CheckIndex(index1, Count() - 1);
  CheckIndex(index2, Count() - 1);
  std::swap(FStrings[index1], FStrings[index2]);
  std::swap(FItems[index1], FItems[index2]);
}

void TAVPlayList::Clear() {
  FStrings.clear();
  FItems.clear();
  FFileName.clear();
  FName.clear();
}

TPlayListItem* TAVPlayList::GetItem(int index) const {
  CheckIndex(index, Count() - 1);
  return FItems[index].get();
}

void TAVPlayList::SetItemInfo(int index, int32_t frame_count, double frame_rate,
                              int32_t start_frame) {
  CheckIndex(index, Count() - 1);
  FItems[index] = std::make_unique<TPlayListItem>(PathFileNamePart(FStrings[index]), frame_count,
                                                  frame_rate, start_frame);
}

bool TAVPlayList::AllItemsKnown() const {
  return std::all_of(FItems.begin(), FItems.end(),
                     [](const auto& item) { return item != nullptr; });
}

void TAVPlayList::AssignPlayList(const TAVPlayList& source) {
  if (&source == this) return;
  if (!source.AllItemsKnown())
    throw std::invalid_argument("AssignPlayList: the source playlist has entries without timing");
  Clear();
  FName = source.FName;
  FFileName = source.FFileName;
  FStrings = source.FStrings;
  FItems.reserve(source.FItems.size());
  for (const auto& item : source.FItems)
    FItems.push_back(std::make_unique<TPlayListItem>(item->Name(), item->FrameCount(),
                                                     item->FrameRate(), item->StartFrame()));
}

void TAVPlayList::LoadFromFile(const std::string& path) {
  Clear();
  std::vector<std::string> entries = ReadAsxFile(path);
  if (entries.empty()) return;
  FStrings = std::move(entries);
  FItems.resize(FStrings.size());
  SetFileName(path);
}

void TAVPlayList::SaveToFile(const std::string& path) {
  WriteAsxFile(path, FStrings);
  SetFileName(path);
}

void TAVPlayList::CheckIndex(int index, int limit) const {
  if (index < 0 || index > limit)
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}

void TAVPlayList::SetFileName(const std::string& path) {
  FFileName = path;
  FName = PlayListTitle(path);
}

}  // namespace vexo
