#pragma once
// The player as the desktop's media controls see it: one track per file of
// the timeline, times in microseconds from the start of the current file,
// and the commands a remote control sends. It tells when what it reports
// has changed, so that the remote side can be told in turn.
#include <QObject>
#include <QString>
#include <cstdint>

namespace vexo {

class TAVPlayer;
class TPlayerPage;

class TMediaRemote : public QObject {
  Q_OBJECT
 public:
  enum TStatus { rsStopped, rsPlaying, rsPaused };

  explicit TMediaRemote(TPlayerPage& page, QObject* parent = nullptr);

  TStatus Status() const;
  bool IsOpen() const;
  // The current file: its index in the timeline, full path and length.
  int32_t TrackIndex() const;
  QString TrackPath() const;
  int64_t TrackLengthUs() const;
  int64_t PositionUs() const;
  bool CanGoNext() const;
  bool CanGoPrevious() const;

  // Plays a file as if it had been given on the command line.
  void Open(const QString& path);
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  void Next();
  void Previous();
  // Moves by offset within the current file, kept inside it.
  void SeekBy(int64_t offsetUs);
  // A position outside the current file is ignored.
  void SetPosition(int64_t positionUs);

 signals:
  // The state, the current file or what may be done next changed.
  void Changed();
  // The position jumped on request; the new position.
  void Seeked(qint64 positionUs);
  // The remote side asked for the window to come forward, or to end.
  void RaiseRequested();
  void QuitRequested();

 private:
  TAVPlayer* Player() const;
  // Start of the current file in the timeline, ms.
  int32_t TrackStartMs() const;
  void SeekToTrackMs(int64_t ms);

  TPlayerPage& FPage;
};

}  // namespace vexo
