#pragma once
// The player on the session bus under the media player names the desktops
// know: their media keys, panel controls and lock-screen controls drive it
// without further code. Without a session bus nothing is published and
// nothing is reported.
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

namespace vexo {

class TMediaRemote;

inline constexpr const char* kMprisService = "org.mpris.MediaPlayer2.vexoplayer";
inline constexpr const char* kMprisPath = "/org/mpris/MediaPlayer2";

class TMprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  TMprisRootAdaptor(TMediaRemote* remote, QObject* host);

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const;
  QString DesktopEntry() const;
  QStringList SupportedUriSchemes() const;
  QStringList SupportedMimeTypes() const { return {}; }

 public slots:
  void Raise();
  void Quit();

 private:
  TMediaRemote* FRemote;
};

class TMprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)

 public:
  // Changes are announced on bus.
  TMprisPlayerAdaptor(TMediaRemote* remote, QObject* host, QDBusConnection bus);

  QString PlaybackStatus() const;
  // Playback runs at its own speed only; a request to change it is accepted
  // and has no effect.
  double Rate() const { return 1.0; }
  void SetRate(double) {}
  // The loudness heard, 0 while muted; setting it unmutes (above 0) and sets
  // the level, which cannot rise above the sound as recorded.
  double Volume() const;
  void SetVolume(double volume);
  QVariantMap Metadata() const;
  qlonglong Position() const;
  bool CanGoNext() const;
  bool CanGoPrevious() const;
  bool CanPlay() const;
  bool CanPause() const;
  bool CanSeek() const;
  bool CanControl() const { return true; }

 public slots:
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  void Next();
  void Previous();
  void Seek(qlonglong offset);
  void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
  void OpenUri(const QString& uri);

 signals:
  void Seeked(qlonglong position);

 private:
  // Tells the bus what changed since the last report.
  void ReportChanges();

  TMediaRemote* FRemote;
  QDBusConnection FBus;
  QVariantMap FReported;
};

// The track id of the file at index, or the "no track" id for none.
QDBusObjectPath MprisTrackId(int index);

// Publishes remote on the bus (the session bus unless given); false
// (silently) when there is no bus or the name is taken. The adaptors live as
// long as remote.
bool PublishMpris(TMediaRemote* remote);
bool PublishMpris(TMediaRemote* remote, QDBusConnection bus);
// Gives the name and the object up again.
void WithdrawMpris();

}  // namespace vexo
