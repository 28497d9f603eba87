#include "app/common/help_pages.h"

#include <QDir>
#include <QFileInfo>

namespace vexo {

const std::vector<THelpTopic>& HelpTopics() {
  static const std::vector<THelpTopic> topics = {
      {kHelpContents, "index.html"},
      {kHelpMainWindow, "main-window.html"},
      {kHelpPlaylistDialog, "playlist-dialog.html"},
      {kHelpPortableCopy, "portable-copy.html"},
      {kHelpOptions, "options.html"},
  };
  return topics;
}

QString HelpPageFor(int context) {
  for (const THelpTopic& topic : HelpTopics())
    if (topic.Context == context) return QString::fromLatin1(topic.Page);
  return QString::fromLatin1(HelpTopics().front().Page);
}

QString HelpFileFor(int context, const QString& helpFolder) {
  const QDir folder(helpFolder);
  for (const QString& page : {HelpPageFor(context), HelpPageFor(kHelpContents)}) {
    const QString file = folder.filePath(page);
    if (QFileInfo(file).isFile()) return file;
  }
  return {};
}

}  // namespace vexo
