#pragma once
// The file work of the portable copy, free of widgets so that it runs away
// from the user-interface thread. A copy is built in a folder of its own
// beside the target and takes the target's place only once it is complete:
// a copy that fails half-way leaves the drive as it found it.
#include <QByteArray>
#include <QString>
#include <functional>

#include "app/shell/portable_file_set.h"

namespace vexo {

struct TPortableCopyPlan {
  QString ProgramDir;
  QString DriveRoot;
  QString TargetFolder;
  TPortableFileSet Files;
  // Becomes vexoplayer.ini unless the copy on the drive has its own.
  QByteArray Settings;
  // The whole new autorun.inf.
  QByteArray Autorun;
};

// What stopped the work: a text number of the dialog's language section, the
// path concerned and the system's reason. Text 0 means success.
struct TPortableError {
  int Text = 0;
  QString Path;
  QString Reason;
  bool Ok() const { return Text == 0; }
};

// Error texts of the dialog's language section.
enum TPortableErrorText : int {
  peCopyFile = 61,
  peMakeFolder = 62,
  peWriteFile = 63,
  peRemove = 64,
  peNotAFolder = 65,
  peOwnFolder = 66,
};

// Called on the working thread before each step with the number of steps
// done and the path on the drive being made.
using TPortableProgress = std::function<void(int step, const QString& target)>;

// Folders and files, one step each.
int PortableCopySteps(const TPortableCopyPlan& plan);
// The folder a copy is built in, and the one a replaced copy waits in.
QString PortableStagingFolder(const QString& targetFolder);
QString PortableReplacedFolder(const QString& targetFolder);

TPortableError CopyPlayerFiles(const TPortableCopyPlan& plan, const TPortableProgress& progress);
// Removes the target folder and the player's section of autorun.inf (the
// whole file when nothing else is left in it).
TPortableError RemovePlayerFiles(const QString& driveRoot, const QString& targetFolder);

}  // namespace vexo
