#include "app/shell/file_deletion.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include "app/common/language_list.h"
#include "app/common/message_boxes.h"
#include "app/common/text_utils.h"

namespace vexo {

namespace {

// The question names the file, or counts the files when there are several.
QString Question(const QStringList& paths, int oneText, int manyText) {
  if (paths.size() == 1)
    return FormatText(LResList.GetText("Player", oneText), {QFileInfo(paths[0]).fileName()});
  return FormatText(LResList.GetText("Player", manyText), {QString::number(paths.size())});
}

bool Ask(const QStringList& paths, int oneText, int manyText) {
  return AskYesNo(Question(paths, oneText, manyText), kNoHelp);
}

// The desktop's trash folder for a file: the user's own on the home volume,
// a shared or a per-user one at the top of another volume; empty when that
// volume has none and none can be made.
QString TrashFolderFor(const QString& path) {
  auto usable = [](const QString& folder) {
    const QFileInfo info(folder);
    return (info.isDir() && !info.isSymLink()) || (!info.exists() && QDir().mkpath(folder));
  };
  const QStorageInfo volume(QFileInfo(path).absolutePath());
  if (volume == QStorageInfo(QDir::homePath())) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return !data.isEmpty() && usable(data + "/Trash") ? data + "/Trash" : QString();
  }
  const QString top = volume.rootPath();
  const QString uid = QString::number(::getuid());
  const QFileInfo shared(top + "/.Trash");
  // A shared trash counts only as the desktop makes it: sticky, no link.
  if (shared.isDir() && !shared.isSymLink()) {
    struct stat info {};
    if (::stat(QFile::encodeName(shared.filePath()).constData(), &info) == 0 &&
        (info.st_mode & S_ISVTX) && usable(shared.filePath() + "/" + uid))
      return shared.filePath() + "/" + uid;
  }
  const QString own = top + "/.Trash-" + uid;
  return usable(own) ? own : QString();
}

// Moves a file into its volume's trash, and nowhere else.
bool MoveToTrash(const QString& path, bool& noTrash, QString& reason) {
  noTrash = false;
  const QString trash = TrashFolderFor(path);
  if (trash.isEmpty()) {
    noTrash = true;
    return false;
  }
  QFile file(path);
  if (!file.moveToTrash()) {
    reason = file.errorString();
    return false;
  }
  // The file object now names the file where it lies in the trash.
  const QString inTrash = file.fileName();
  if (QFileInfo(inTrash).absolutePath() == QFileInfo(trash + "/files").absoluteFilePath())
    return true;
  // It went somewhere the desktop's trash does not look: put it back.
  const QFileInfo moved(inTrash);
  QFile::rename(inTrash, path);
  const QString info = moved.absolutePath() + "/../info";
  QFile::remove(info + "/" + moved.fileName() + ".trashinfo");
  QDir().rmdir(info);
  QDir().rmdir(moved.absolutePath());
  noTrash = true;
  return false;
}

struct TFailure {
  QString Path;
  QString Reason;
};

void Remove(const QString& path, TDeleteOutcome& outcome, std::vector<TFailure>& failures) {
  QFile file(path);
  if (file.remove()) {
    outcome.Deleted << path;
  } else {
    outcome.Kept << path;
    failures.push_back({path, file.errorString()});
  }
}

void ReportFailures(const std::vector<TFailure>& failures) {
  if (failures.empty()) return;
  QString text = LResList.GetText("Player", 306);
  for (const TFailure& failure : failures)
    text += "\n\t" + failure.Path +
            (failure.Reason.isEmpty() ? QString() : " (" + failure.Reason + ")");
  ShowError(text);
}

}  // namespace

TDeleteOutcome DeleteFiles(const QStringList& paths, TDeleteKind kind,
                           const std::function<void()>& release) {
  TDeleteOutcome outcome;
  if (paths.isEmpty()) return outcome;
  const bool toTrash = kind == TDeleteKind::ToTrash;
  if (!(toTrash ? Ask(paths, 301, 302) : Ask(paths, 303, 304))) {
    outcome.Declined = true;
    outcome.Kept = paths;
    return outcome;
  }
  if (release) release();
  std::vector<TFailure> failures;
  QStringList withoutTrash;
  for (const QString& path : paths) {
    if (!toTrash) {
      Remove(path, outcome, failures);
      continue;
    }
    bool noTrash = false;
    QString reason;
    if (MoveToTrash(path, noTrash, reason)) {
      outcome.Deleted << path;
    } else if (noTrash) {
      withoutTrash << path;
    } else {
      outcome.Kept << path;
      failures.push_back({path, reason});
    }
  }
  if (!withoutTrash.isEmpty()) {
    if (Ask(withoutTrash, 305, 307))
      for (const QString& path : withoutTrash) Remove(path, outcome, failures);
    else
      outcome.Kept << withoutTrash;
  }
  ReportFailures(failures);
  return outcome;
}

}  // namespace vexo
