#pragma once
// The recording date of a photo (JPEG, PNG, WebP, HEIF or AVIF), from the
// DateTimeOriginal tag of its EXIF block.
#include <QByteArray>
#include <QDateTime>

namespace vexo {

// Invalid when the file has no such tag, cannot be read or the text is not a
// date. dirFd and name name the file the way openat does, so that paths too
// long for one system call still work; dirFd AT_FDCWD takes name as a path.
QDateTime ReadPhotoDate(int dirFd, const QByteArray& name);
QDateTime ReadPhotoDate(const QByteArray& path);

// "YYYY:MM:DD HH:MM:SS" in local time; invalid for anything else.
QDateTime ParseExifDateTime(const QByteArray& text);

}  // namespace vexo
