#include "app/common/path_utils.h"

#include <QFile>
#include <QFileInfo>

#include "platform/drive_info.h"

namespace vexo {
namespace {

// Start of the file-name part: after the last '/'.
qsizetype NameStart(const QString& path) {
  return path.lastIndexOf(u'/') + 1;
}

}  // namespace

QString IncludeSlash(const QString& path) {
  if (path.isEmpty() || path.endsWith(u'/')) return path;
  return path + u'/';
}

QString ExcludeSlash(const QString& path) {
  if (path.size() > 1 && path.endsWith(u'/')) return path.left(path.size() - 1);
  return path;
}

QString JoinPath(const QString& dir, const QString& name) {
  if (dir.isEmpty()) return name;
  const QString tail = name.startsWith(u'/') ? name.mid(1) : name;
  return IncludeSlash(dir) + tail;
}

QString FileTitle(const QString& path) {
  const QString name = path.mid(NameStart(path));
  const qsizetype dot = name.lastIndexOf(u'.');
  return dot < 0 ? name : name.left(dot);
}

QString ExtNoDot(const QString& path) {
  const QString name = path.mid(NameStart(path));
  const qsizetype dot = name.lastIndexOf(u'.');
  return dot < 0 ? QString() : name.mid(dot + 1);
}

bool IsDriveRoot(const QString& path) {
  if (path.isEmpty()) return false;
  const QString clean = ExcludeSlash(path);
  if (clean == u"/") return true;
  return IsVolumeRoot(QFile::encodeName(clean).toStdString());
}

int64_t FileSize(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() ? info.size() : 0;
}

int DriveKind(const QString& path) {
  return vexo::DriveKind(path.toStdString());
}

int64_t DiskFree(const QString& path) {
  return vexo::DiskFree(path.toStdString());
}

}  // namespace vexo
