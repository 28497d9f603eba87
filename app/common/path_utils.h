#pragma once
// Path routines on POSIX paths ('/' separated). A "drive root" is the mount
// point of a volume, "/" included.
#include <QString>
#include <cstdint>

namespace vexo {

QString IncludeSlash(const QString& path);
// Drops one final '/', except from the root "/" itself.
QString ExcludeSlash(const QString& path);
QString JoinPath(const QString& dir, const QString& name);
// File name without folder and without its last extension.
QString FileTitle(const QString& path);
// Extension of the file name without its dot; empty when there is none.
QString ExtNoDot(const QString& path);
bool IsDriveRoot(const QString& path);
// Size of the file in bytes, 0 when it does not exist.
int64_t FileSize(const QString& path);

// Drive kind (TDriveKind) and free bytes of the volume holding path, through
// the replaceable drive-information interface.
int DriveKind(const QString& path);
int64_t DiskFree(const QString& path);

}  // namespace vexo
