#include "app/shell/portable_file_set.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>

#include "app/common/path_utils.h"
#include "app/common/program_environment.h"
#include "engine/media/media_lib.h"

namespace vexo {
namespace {

// Every file below root/folder, relative to root, sorted so that two copies
// list them alike.
QStringList FilesBelow(const QDir& root, const QString& folder, QStringList* subfolders) {
  QStringList files;
  QDirIterator it(root.filePath(folder), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo info(it.next());
    const QString relative = root.relativeFilePath(info.filePath());
    if (info.isDir())
      *subfolders << relative;
    else
      files << relative;
  }
  files.sort();
  subfolders->sort();
  return files;
}

const QStringList& ResourceFolders() {
  static const QStringList folders = {QStringLiteral("language"), QStringLiteral("help"),
                                      QStringLiteral("Skins")};
  return folders;
}

}  // namespace

QString PortableSourceFile(const QString& programDir, const TPortableFileSet& set,
                           const QString& file) {
  const bool resource =
      std::any_of(ResourceFolders().begin(), ResourceFolders().end(),
                  [&file](const QString& folder) { return file.startsWith(folder + u'/'); });
  return JoinPath(resource && !set.ResourceDir.isEmpty() ? set.ResourceDir : programDir, file);
}

TPortableFileSet PortableFileSet(const QString& programDir) {
  const QDir program(programDir);
  TPortableFileSet set;
  set.ResourceDir = ResourceFolderFor(programDir);
  const QDir resources(set.ResourceDir);
  set.Files << QStringLiteral("vexoplayer");
  for (int lib = 0; lib < mlCount; ++lib) {
    const QString name = QString::fromLatin1(MediaLibFileName(TMediaLib(lib)));
    if (QFileInfo(program.filePath(name)).isFile()) set.Files << name;
  }
  if (QFileInfo(program.filePath("LGPL.TXT")).isFile()) set.Files << QStringLiteral("LGPL.TXT");
  for (const QString& folder : ResourceFolders()) {
    set.Folders << folder;
    QStringList subfolders;
    QStringList files = FilesBelow(resources, folder, &subfolders);
    const QString english = QStringLiteral("language/English.lrf");
    if (folder == u"language" && !files.contains(english)) files.prepend(english);
    set.Folders << subfolders;
    set.Files << files;
  }
  for (const QString& file : set.Files)
    set.Bytes += FileSize(PortableSourceFile(programDir, set, file));
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
