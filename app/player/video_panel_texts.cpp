#include "app/player/video_panel_texts.h"

#include <QFile>

#include "app/common/language_list.h"
#include "app/common/text_utils.h"
#include "engine/playlist/av_playlist.h"

namespace vexo {

namespace {

// The message names this many paths and then a dotted line.
constexpr int kNamedMissing = 12;

}  // namespace

QString VideoPanelCaption(const TOpenSummary& open, const QString& listTitle) {
  QString label;
  if (open.Files > 1)
    label = LResList.GetText("AVPlayerEnc", 3010);
  else if (open.TotalFrames == 1)
    label = LResList.GetText("AVPlayerEnc", 3002);
  else
    label = LResList.GetText("AVPlayerEnc", 3001);

  QString detail;
  if (open.Files != 1 || !listTitle.isEmpty()) {
    QString counts;
    if (open.Files >= 1) {
      auto add = [&counts](int32_t n, const QString& one, const QString& more) {
        if (n <= 0) return;
        AppendComma(counts, QString::number(n));
        AppendSpace(counts, n == 1 ? one : more);
      };
      auto videos = [&] {
        add(open.Videos, LResList.GetText("AVPlayerEnc", 3021),
            LResList.GetText("AVPlayerEnc", 3022));
      };
      auto pictures = [&] {
        add(open.Pictures, LResList.GetText("AVPlayerEnc", 3023),
            LResList.GetText("AVPlayerEnc", 3024));
      };
      if (open.FirstIsPicture) {
        pictures();
        videos();
      } else {
        videos();
        pictures();
      }
    }
    if (!counts.isEmpty())
      detail =
          (listTitle.isEmpty() ? LResList.GetCommon(cUnnamed) : listTitle) + " (" + counts + ")";
  } else {
    detail = open.FileListCaption;
  }
  QString caption = label;
  AppendSpace(caption, detail);
  return caption;
}

bool IsOnDetachableMount(const QString& path) {
  for (const char* root : {"/media/", "/run/media/", "/mnt/"})
    if (path.startsWith(QLatin1String(root))) return true;
  return false;
}

namespace {

// At most twelve paths, one a line, then a dotted line.
QStringList NamedPaths(const QStringList& paths) {
  QStringList lines;
  for (int i = 0; i < paths.size() && i <= kNamedMissing; ++i)
    lines << (i == kNamedMissing ? QStringLiteral("\t............") : "\t" + paths[i]);
  return lines;
}

}  // namespace

QString MissingFilesMessage(const QStringList& missing) {
  if (missing.isEmpty()) return {};
  QStringList lines = NamedPaths(missing);
  if (IsOnDetachableMount(missing.first()))
    lines << QString() << LResList.GetText("AVPlayerEnc", 9005);
  return LResList.GetText("AVPlayerEnc", 9002) + "\n\n" + lines.join('\n');
}

QString LeftOutFilesMessage(const QStringList& leftOut) {
  if (leftOut.isEmpty()) return {};
  return LResList.GetText("AVPlayerEnc", 9003) + "\n\n" + NamedPaths(leftOut).join('\n');
}

std::unique_ptr<TAVPlayList> PresentEntries(const std::vector<std::string>& paths,
                                            const std::vector<char>& present,
                                            QStringList& missing) {
  auto list = std::make_unique<TAVPlayList>();
  for (size_t i = 0; i < paths.size(); ++i) {
    if (i < present.size() && present[i]) {
      list->Add(paths[i]);
    } else if (missing.size() <= kNamedMissing) {
      missing << QFile::decodeName(QByteArray::fromStdString(paths[i]));
    }
  }
  return list;
}

}  // namespace vexo
