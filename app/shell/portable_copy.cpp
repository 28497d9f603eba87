#include "app/shell/portable_copy.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <memory>

#include "app/common/path_utils.h"
#include "app/settings/options.h"
#include "app/shell/autorun_inf.h"

namespace vexo {
namespace {

constexpr qint64 kChunk = 1 << 20;

TPortableError Failure(int text, const QString& path, const QString& reason = {}) {
  return {text, path, reason};
}

// A file on a stick must be on the stick, not in the page cache, before the
// user is told he may pull it out.
bool SyncToDisk(QFile& file) {
  return file.flush() && ::fsync(file.handle()) == 0;
}

TPortableError CopyOneFile(const QString& source, const QString& target,
                           const QString& shownTarget) {
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) return Failure(peCopyFile, shownTarget, in.errorString());
  QFile out(target);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return Failure(peCopyFile, shownTarget, out.errorString());
  const auto buffer = std::make_unique<char[]>(kChunk);
  for (;;) {
    const qint64 got = in.read(buffer.get(), kChunk);
    if (got < 0) return Failure(peCopyFile, shownTarget, in.errorString());
    if (got == 0) break;
    if (out.write(buffer.get(), got) != got)
      return Failure(peCopyFile, shownTarget, out.errorString());
  }
  if (!SyncToDisk(out)) return Failure(peCopyFile, shownTarget, out.errorString());
  // The executable must stay executable (where the drive keeps such bits).
  out.setPermissions(in.permissions());
  return {};
}

TPortableError WriteNewFile(const QString& path, const QByteArray& bytes) {
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size() ||
      !SyncToDisk(out))
    return Failure(peWriteFile, path, out.errorString());
  return {};
}

// Replaces a file as a whole: whoever reads it sees the old or the new bytes.
TPortableError ReplaceFile(const QString& path, const QByteArray& bytes) {
  const QFileInfo existing(path);
  // A write-protected file stays as its owner wanted it.
  if (existing.exists() && !existing.isWritable())
    return Failure(peWriteFile, path, QFile(path).errorString());
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
    return Failure(peWriteFile, path, out.errorString());
  return {};
}

bool RemoveFolder(const QString& folder) {
  QDir dir(folder);
  return !dir.exists() || dir.removeRecursively();
}

bool SameFolder(const QString& a, const QString& b) {
  const QString realA = QFileInfo(a).canonicalFilePath();
  return !realA.isEmpty() && realA == QFileInfo(b).canonicalFilePath();
}

// Everything up to the moment the new copy is complete in the staging folder.
TPortableError BuildStaging(const TPortableCopyPlan& plan, const QString& staging,
                            const TPortableProgress& progress) {
  if (!QDir().mkpath(staging)) return Failure(peMakeFolder, plan.TargetFolder);
  int step = 0;
  for (const QString& folder : plan.Files.Folders) {
    const QString shown = JoinPath(plan.TargetFolder, folder);
    if (progress) progress(step, shown);
    if (!QDir().mkpath(JoinPath(staging, folder))) return Failure(peMakeFolder, shown);
    ++step;
  }
  for (const QString& file : plan.Files.Files) {
    const QString shown = JoinPath(plan.TargetFolder, file);
    if (progress) progress(step, shown);
    const QString target = JoinPath(staging, file);
    if (!QDir().mkpath(QFileInfo(target).path())) return Failure(peMakeFolder, shown);
    const TPortableError error =
        CopyOneFile(PortableSourceFile(plan.ProgramDir, plan.Files, file), target, shown);
    if (!error.Ok()) return error;
    ++step;
  }
  // Settings the user made on the drive outlive a fresh copy.
  const QString settings = JoinPath(plan.TargetFolder, kPortableIniName);
  if (QFileInfo(settings).isFile())
    return CopyOneFile(settings, JoinPath(staging, kPortableIniName), settings);
  return WriteNewFile(JoinPath(staging, kPortableIniName), plan.Settings);
}

// The complete copy takes the place of the old one.
TPortableError PutInPlace(const QString& target, const QString& staging) {
  const QString replaced = PortableReplacedFolder(target);
  const bool hadCopy = QFileInfo::exists(target);
  if (hadCopy && !QDir().rename(target, replaced)) return Failure(peWriteFile, target);
  if (!QDir().rename(staging, target)) {
    if (hadCopy) QDir().rename(replaced, target);
    return Failure(peWriteFile, target);
  }
  // Whatever of the old copy cannot go now is cleared by the next copy.
  RemoveFolder(replaced);
  return {};
}

}  // namespace

int PortableCopySteps(const TPortableCopyPlan& plan) {
  return int(plan.Files.Folders.size() + plan.Files.Files.size());
}

QString PortableStagingFolder(const QString& targetFolder) {
  return ExcludeSlash(targetFolder) + QStringLiteral(".partial");
}

QString PortableReplacedFolder(const QString& targetFolder) {
  return ExcludeSlash(targetFolder) + QStringLiteral(".old");
}

TPortableError CopyPlayerFiles(const TPortableCopyPlan& plan, const TPortableProgress& progress) {
  const QString& target = plan.TargetFolder;
  const QFileInfo existing(target);
  // A file of that name is the user's, not an old copy to replace.
  if (existing.exists() && !existing.isDir()) return Failure(peNotAFolder, target);
  if (SameFolder(target, plan.ProgramDir)) return Failure(peOwnFolder, target);
  const QString staging = PortableStagingFolder(target);
  for (const QString& leftover : {staging, PortableReplacedFolder(target)})
    if (!RemoveFolder(leftover)) return Failure(peRemove, leftover);
  TPortableError error = BuildStaging(plan, staging, progress);
  if (error.Ok()) error = PutInPlace(target, staging);
  if (!error.Ok()) {
    RemoveFolder(staging);
    return error;
  }
  if (progress) progress(PortableCopySteps(plan), JoinPath(plan.DriveRoot, "autorun.inf"));
  return ReplaceFile(JoinPath(plan.DriveRoot, QStringLiteral("autorun.inf")), plan.Autorun);
}

TPortableError RemovePlayerFiles(const QString& driveRoot, const QString& targetFolder) {
  if (!RemoveFolder(targetFolder)) return Failure(peRemove, targetFolder);
  RemoveFolder(PortableStagingFolder(targetFolder));
  RemoveFolder(PortableReplacedFolder(targetFolder));
  const QString path = JoinPath(driveRoot, QStringLiteral("autorun.inf"));
  QFile file(path);
  if (!file.exists()) return {};
  if (!file.open(QIODevice::ReadOnly)) return Failure(peRemove, path, file.errorString());
  TAutorunInf autorun(file.readAll());
  file.close();
  autorun.RemoveAutorun();
  if (!autorun.IsBlank()) return ReplaceFile(path, autorun.Bytes());
  if (!file.remove()) return Failure(peRemove, path, file.errorString());
  return {};
}

}  // namespace vexo
