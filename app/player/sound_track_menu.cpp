#include "app/player/sound_track_menu.h"

#include <QLocale>

#include "app/common/language_list.h"
#include "app/common/menu_system.h"
#include "app/common/text_utils.h"
#include "app/shell/command_table.h"
#include "engine/playback/av_player.h"

namespace vexo {

namespace {

// The language's name where the code is known ("German" for "ger" or "de"),
// the code as stored otherwise.
QString LanguageName(const std::string& code) {
  const QString stored = QString::fromStdString(code);
  if (stored.isEmpty() || stored == QLatin1String("und")) return {};
  const QLocale::Language language = QLocale::codeToLanguage(stored, QLocale::AnyLanguageCode);
  if (language == QLocale::AnyLanguage || language == QLocale::C) return stored;
  return QLocale::languageToString(language);
}

QString ChannelsText(int channels) {
  if (channels == 1) return LResList.GetText("AVPlayerEnc", 4112);
  if (channels == 2) return LResList.GetText("AVPlayerEnc", 4113);
  return QString::number(channels) + " " + LResList.GetText("AVPlayerEnc", 4114);
}

}  // namespace

QString SoundTrackCaption(const TAudioStreamInfo& stream, int number) {
  QString format = QString::fromStdString(stream.CodecName);
  if (stream.Channels > 0) AppendComma(format, ChannelsText(stream.Channels));
  const QString detail = stream.Title.empty() ? format : QString::fromStdString(stream.Title);
  const QString language = LanguageName(stream.Language);
  QString caption = LResList.GetText("AVPlayerEnc", 3101).replace("%s", QString::number(number));
  caption += ": ";
  if (language.isEmpty())
    caption += detail;
  else
    caption += detail.isEmpty() ? language : language + " (" + detail + ")";
  // The menu takes what follows a bar for the entry's hint.
  return caption.replace(QLatin1Char('|'), QLatin1Char('/'));
}

QStringList SoundTrackEntries(const std::vector<TAudioStreamInfo>& streams) {
  QStringList entries;
  if (streams.size() < 2) return entries;
  for (size_t i = 0; i < streams.size(); ++i) entries << SoundTrackCaption(streams[i], int(i) + 1);
  return entries;
}

int SoundTrackEntryOf(const std::vector<TAudioStreamInfo>& streams, int streamIndex) {
  for (size_t i = 0; i < streams.size(); ++i)
    if (streams[i].StreamIndex == streamIndex) return int(i);
  return -1;
}

void FillSoundTrackMenu(TMenuSystem& menus, const TAVPlayer& player) {
  const std::vector<TAudioStreamInfo> streams = player.AudioStreams();
  menus.FillList(mvSoundTrack, SoundTrackEntries(streams),
                 SoundTrackEntryOf(streams, player.AudioStream()));
}

void ChooseSoundTrack(TAVPlayer& player, int entry) {
  const std::vector<TAudioStreamInfo> streams = player.AudioStreams();
  if (entry >= 0 && entry < int(streams.size()))
    player.SelectAudioStream(streams[size_t(entry)].StreamIndex);
}

}  // namespace vexo
