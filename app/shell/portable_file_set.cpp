#include "app/shell/portable_file_set.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include "app/common/path_utils.h"
#include "engine/media/media_lib.h"

namespace vexo {
namespace {

// Every file below folder, relative to the program folder, sorted so that
// two copies list them alike.
QStringList FilesBelow(const QDir& program, const QString& folder, QStringList* subfolders) {
  QStringList files;
  QDirIterator it(program.filePath(folder), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo info(it.next());
    const QString relative = program.relativeFilePath(info.filePath());
    if (info.isDir())
      *subfolders << relative;
    else
      files << relative;
  }
  files.sort();
  subfolders->sort();
  return files;
}

}  // namespace

TPortableFileSet PortableFileSet(const QString& programDir) {
  const QDir program(programDir);
  TPortableFileSet set;
  set.Files << QStringLiteral("vexoplayer");
  for (int lib = 0; lib < mlCount; ++lib) {
    const QString name = QString::fromLatin1(MediaLibFileName(TMediaLib(lib)));
    if (QFileInfo(program.filePath(name)).isFile()) set.Files << name;
  }
  if (QFileInfo(program.filePath("LGPL.TXT")).isFile()) set.Files << QStringLiteral("LGPL.TXT");
  for (const QString& folder :
       {QStringLiteral("language"), QStringLiteral("help"), QStringLiteral("Skins")}) {
    set.Folders << folder;
    QStringList subfolders;
    QStringList files = FilesBelow(program, folder, &subfolders);
    const QString english = QStringLiteral("language/English.lrf");
    if (folder == u"language" && !files.contains(english)) files.prepend(english);
    set.Folders << subfolders;
    set.Files << files;
  }
  for (const QString& file : set.Files) set.Bytes += FileSize(program.filePath(file));
  return set;
}

QString PortableTargetFolder(const QString& driveRoot) {
  const QString misc = JoinPath(driveRoot, QStringLiteral("MISC"));
  const QString parent = QFileInfo(misc).isDir() ? misc : ExcludeSlash(driveRoot);
  return JoinPath(parent, QStringLiteral("VexoPlayer"));
}

QString PortableRelativeFolder(const QString& driveRoot, const QString& targetFolder) {
  QString relative = QDir(driveRoot).relativeFilePath(targetFolder);
  relative.replace(u'/', u'\\');
  return relative;
}

}  // namespace vexo
