#include "app/shell/mpris_service.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QUrl>
#include <cmath>
#include <utility>

#include "app/player/volume_control.h"
#include "app/shell/media_remote.h"

namespace vexo {
namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

// The properties whose changes are announced; Position is only ever asked.
QVariantMap Snapshot(const TMprisPlayerAdaptor& adaptor) {
  return {{"PlaybackStatus", adaptor.PlaybackStatus()},
          {"Metadata", adaptor.Metadata()},
          {"CanGoNext", adaptor.CanGoNext()},
          {"CanGoPrevious", adaptor.CanGoPrevious()},
          {"CanPlay", adaptor.CanPlay()},
          {"CanPause", adaptor.CanPause()},
          {"CanSeek", adaptor.CanSeek()},
          {"Volume", adaptor.Volume()}};
}

}  // namespace

QDBusObjectPath MprisTrackId(int index) {
  if (index < 0)
    return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
  return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/vexoplayer/track/%1").arg(index));
}

// ---- root ----

TMprisRootAdaptor::TMprisRootAdaptor(TMediaRemote* remote, QObject* host)
    : QDBusAbstractAdaptor(host), FRemote(remote) {}

QString TMprisRootAdaptor::Identity() const {
  return QStringLiteral("Vexo Player");
}

QString TMprisRootAdaptor::DesktopEntry() const {
  return QStringLiteral("vexoplayer");
}

QStringList TMprisRootAdaptor::SupportedUriSchemes() const {
  return {QStringLiteral("file")};
}

void TMprisRootAdaptor::Raise() {
  emit FRemote->RaiseRequested();
}

void TMprisRootAdaptor::Quit() {
  emit FRemote->QuitRequested();
}

// ---- player ----

TMprisPlayerAdaptor::TMprisPlayerAdaptor(TMediaRemote* remote, QObject* host, QDBusConnection bus)
    : QDBusAbstractAdaptor(host), FRemote(remote), FBus(std::move(bus)) {
  FReported = Snapshot(*this);
  connect(remote, &TMediaRemote::Changed, this, &TMprisPlayerAdaptor::ReportChanges);
  connect(remote, &TMediaRemote::Seeked, this, &TMprisPlayerAdaptor::Seeked);
  connect(&TVolumeControl::Instance(), &TVolumeControl::Changed, this,
          &TMprisPlayerAdaptor::ReportChanges);
}

double TMprisPlayerAdaptor::Volume() const {
  return TVolumeControl::Instance().Volume().Heard();
}

void TMprisPlayerAdaptor::SetVolume(double volume) {
  // A request that is not a number is no loudness at all.
  if (!std::isfinite(volume)) return;
  if (volume <= 0) {
    TVolumeControl::Instance().SetMuted(true);
    return;
  }
  TVolumeControl::Instance().Set({volume, false});
}

QString TMprisPlayerAdaptor::PlaybackStatus() const {
  switch (FRemote->Status()) {
    case TMediaRemote::rsPlaying:
      return QStringLiteral("Playing");
    case TMediaRemote::rsPaused:
      return QStringLiteral("Paused");
    default:
      return QStringLiteral("Stopped");
  }
}

QVariantMap TMprisPlayerAdaptor::Metadata() const {
  const int index = FRemote->TrackIndex();
  QVariantMap metadata{{"mpris:trackid", QVariant::fromValue(MprisTrackId(index))}};
  if (index < 0) return metadata;
  const QString path = FRemote->TrackPath();
  metadata.insert("mpris:length", qlonglong(FRemote->TrackLengthUs()));
  metadata.insert("xesam:title", QFileInfo(path).completeBaseName());
  metadata.insert("xesam:url", QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()));
  return metadata;
}

qlonglong TMprisPlayerAdaptor::Position() const {
  return FRemote->PositionUs();
}

bool TMprisPlayerAdaptor::CanGoNext() const {
  return FRemote->CanGoNext();
}

bool TMprisPlayerAdaptor::CanGoPrevious() const {
  return FRemote->CanGoPrevious();
}

bool TMprisPlayerAdaptor::CanPlay() const {
  return FRemote->IsOpen();
}

bool TMprisPlayerAdaptor::CanPause() const {
  return FRemote->IsOpen();
}

bool TMprisPlayerAdaptor::CanSeek() const {
  return FRemote->IsOpen();
}

void TMprisPlayerAdaptor::Play() {
  FRemote->Play();
}

void TMprisPlayerAdaptor::Pause() {
  FRemote->Pause();
}

void TMprisPlayerAdaptor::PlayPause() {
  FRemote->PlayPause();
}

void TMprisPlayerAdaptor::Stop() {
  FRemote->Stop();
}

void TMprisPlayerAdaptor::Next() {
  FRemote->Next();
}

void TMprisPlayerAdaptor::Previous() {
  FRemote->Previous();
}

void TMprisPlayerAdaptor::Seek(qlonglong offset) {
  FRemote->SeekBy(offset);
}

void TMprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
  // A request meant for a file that has since been left is stale.
  if (trackId != MprisTrackId(FRemote->TrackIndex())) return;
  FRemote->SetPosition(position);
}

void TMprisPlayerAdaptor::OpenUri(const QString& uri) {
  const QUrl url(uri);
  if (url.isLocalFile()) FRemote->Open(url.toLocalFile());
}

void TMprisPlayerAdaptor::ReportChanges() {
  const QVariantMap now = Snapshot(*this);
  QVariantMap changed;
  for (auto it = now.cbegin(); it != now.cend(); ++it)
    if (FReported.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
  FReported = now;
  if (changed.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(
      kMprisPath, QStringLiteral("org.freedesktop.DBus.Properties"), "PropertiesChanged");
  signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
  FBus.send(signal);
}

bool PublishMpris(TMediaRemote* remote) {
  return PublishMpris(remote, QDBusConnection::sessionBus());
}

bool PublishMpris(TMediaRemote* remote, QDBusConnection bus) {
  if (!bus.isConnected()) return false;
  new TMprisRootAdaptor(remote, remote);
  new TMprisPlayerAdaptor(remote, remote, bus);
  if (!bus.registerObject(kMprisPath, remote)) return false;
  if (bus.registerService(kMprisService)) return true;
  bus.unregisterObject(kMprisPath);
  return false;
}

void WithdrawMpris() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  bus.unregisterService(kMprisService);
  bus.unregisterObject(kMprisPath);
}

}  // namespace vexo
