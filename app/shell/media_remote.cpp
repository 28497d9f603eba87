#include "app/shell/media_remote.h"

#include <algorithm>

#include "app/player/av_panel.h"
#include "app/shell/player_page.h"
#include "engine/input/av_in_file_list.h"
#include "engine/playback/av_player.h"

namespace vexo {

TMediaRemote::TMediaRemote(TPlayerPage& page, QObject* parent) : QObject(parent), FPage(page) {
  connect(&page, &TPlayerPage::PlayerChanged, this, &TMediaRemote::Changed);
}

TAVPlayer* TMediaRemote::Player() const {
  return FPage.VideoPanel() ? FPage.VideoPanel()->Player() : nullptr;
}

bool TMediaRemote::IsOpen() const {
  const TAVPlayer* player = Player();
  return player && player->IsOpen() && player->FileCount() > 0;
}

TMediaRemote::TStatus TMediaRemote::Status() const {
  if (!IsOpen()) return rsStopped;
  switch (Player()->State()) {
    case psPlaying:
      return rsPlaying;
    case psPaused:
    case psTracking:
      return rsPaused;
    default:
      return rsStopped;
  }
}

int32_t TMediaRemote::TrackIndex() const {
  return IsOpen() ? Player()->CurFile() : -1;
}

QString TMediaRemote::TrackPath() const {
  return IsOpen() ? QString::fromStdString(Player()->CurrentFilePath()) : QString();
}

int32_t TMediaRemote::TrackStartMs() const {
  const TAVInFileList* list = IsOpen() ? Player()->List() : nullptr;
  const int32_t index = TrackIndex();
  if (!list || index < 0 || size_t(index) >= list->StartMs.size()) return 0;
  return list->StartMs[size_t(index)];
}

int64_t TMediaRemote::TrackLengthUs() const {
  const TAVInFileList* list = IsOpen() ? Player()->List() : nullptr;
  if (!list) return 0;
  const size_t next = size_t(TrackIndex()) + 1;
  const double end = next < list->StartMs.size() && next < size_t(list->Count)
                         ? double(list->StartMs[next])
                         : double(list->TotalMs);
  return std::max<int64_t>(0, int64_t((end - TrackStartMs()) * 1000));
}

int64_t TMediaRemote::PositionUs() const {
  if (!IsOpen()) return 0;
  TAVPlayer& player = *Player();
  const int64_t ms = player.FrameToMs(std::max(0, player.Position())) - TrackStartMs();
  return std::clamp<int64_t>(ms * 1000, 0, TrackLengthUs());
}

bool TMediaRemote::CanGoNext() const {
  return IsOpen() && TrackIndex() < Player()->FileCount() - 1;
}

bool TMediaRemote::CanGoPrevious() const {
  return IsOpen() && TrackIndex() > 0;
}

void TMediaRemote::Open(const QString& path) {
  FPage.PlayPaths({path});
}

void TMediaRemote::Play() {
  if (IsOpen() && Player()->State() != psPlaying) Player()->SetState(psPlaying);
}

void TMediaRemote::Pause() {
  if (IsOpen() && Player()->State() == psPlaying) Player()->SetState(psPaused);
}

void TMediaRemote::PlayPause() {
  if (Status() == rsPlaying)
    Pause();
  else
    Play();
}

void TMediaRemote::Stop() {
  if (IsOpen() && Player()->State() != psStopped) Player()->SetState(psStopped);
}

void TMediaRemote::Next() {
  if (!CanGoNext()) return;
  Player()->NavigateKey(nkRight);
  emit Changed();
}

void TMediaRemote::Previous() {
  if (!IsOpen()) return;
  Player()->NavigateKey(nkLeft);
  emit Changed();
}

void TMediaRemote::SeekBy(int64_t offsetUs) {
  if (!IsOpen()) return;
  const int64_t target = std::clamp<int64_t>(PositionUs() + offsetUs, 0, TrackLengthUs());
  SeekToTrackMs(target / 1000);
}

void TMediaRemote::SetPosition(int64_t positionUs) {
  if (!IsOpen() || positionUs < 0 || positionUs > TrackLengthUs()) return;
  SeekToTrackMs(positionUs / 1000);
}

void TMediaRemote::SeekToTrackMs(int64_t ms) {
  TAVPlayer& player = *Player();
  const TAVInFileList& list = *player.List();
  const int32_t index = TrackIndex();
  // A time equal to a file's start belongs to the file before it: the start
  // of this one is taken by its frame.
  const int32_t frame =
      ms <= 0 ? list.StartFrames[size_t(index)] : list.MsToFrame(int32_t(TrackStartMs() + ms));
  const bool playing = player.State() == psPlaying;
  if (playing) player.SetState(psPaused);
  player.SeekToFrame(frame);
  if (playing) player.SetState(psPlaying);
  // The position bar follows, as it does during playback.
  if (player.OnPosition) player.OnPosition();
  emit Seeked(PositionUs());
}

}  // namespace vexo
