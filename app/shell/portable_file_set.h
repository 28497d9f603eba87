#pragma once
// What a copy of the player on a removable drive consists of, and where on
// the drive it goes.
#include <QString>
#include <QStringList>

namespace vexo {

struct TPortableFileSet {
  // Relative to the program folder, '/' separated, in the order of copying:
  // the folders first, then the files.
  QStringList Folders;
  QStringList Files;
  qint64 Bytes = 0;  // of the files that exist
  // Where the language, help and skin files are read from; empty means the
  // program folder. An installed program keeps them apart from its executable,
  // a copy on a drive holds them beside it.
  QString ResourceDir;
};

// The executable, the media libraries when the program carries its own, the
// libraries' licence, the language files, the help folder and the skins.
// The executable and the English language file are always listed: without
// them a copy could not start, so their absence fails the copy.
TPortableFileSet PortableFileSet(const QString& programDir);

// The full path a listed file is copied from.
QString PortableSourceFile(const QString& programDir, const TPortableFileSet& set,
                           const QString& file);

// The folder MISC/VexoPlayer when the drive's root holds a folder MISC, else
// the folder VexoPlayer in the root.
QString PortableTargetFolder(const QString& driveRoot);
// The target folder relative to the drive root, written with '\' as
// autorun.inf wants it.
QString PortableRelativeFolder(const QString& driveRoot, const QString& targetFolder);

}  // namespace vexo
