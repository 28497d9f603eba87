#include "app/common/jpeg_rotation.h"

#include <turbojpeg.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/common/language_list.h"
#include "app/common/message_boxes.h"
#include "engine/media/av_types.h"
#include "engine/media/exif_orientation.h"
#include "engine/video/picture_turn.h"

namespace vexo {
namespace {

struct TTjHandleFree {
  void operator()(void* handle) const { tjDestroy(handle); }
};
struct TTjBufferFree {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// photo.jpg gives photo.jpgRotated.jpg.
QString TemporaryName(const QString& path) {
  const QString suffix = QFileInfo(path).suffix();
  return path + QStringLiteral("Rotated") + (suffix.isEmpty() ? QString() : u'.' + suffix);
}

bool WriteDurably(const QString& name, const unsigned char* data, unsigned long size,
                  QFile::Permissions permissions, QString* error) {
  QFile out(name);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    *error = out.errorString();
    return false;
  }
  const bool written = out.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size);
  // The rename that follows must never expose a file whose bytes are not yet on disk.
  const bool synced = written && out.flush() && ::fsync(out.handle()) == 0;
  if (!written || !synced) *error = out.errorString();
  out.close();
  if (written && synced) out.setPermissions(permissions);
  return written && synced;
}

// The lossless operation that turns stored pixels as `turn` does.
int TransformOf(TPictureTurn turn) {
  switch (turn) {
    case ptMirror:
      return TJXOP_HFLIP;
    case ptRotate180:
      return TJXOP_ROT180;
    case ptFlip:
      return TJXOP_VFLIP;
    case ptTranspose:
      return TJXOP_TRANSPOSE;
    case ptRotate90:
      return TJXOP_ROT90;
    case ptTransverse:
      return TJXOP_TRANSVERSE;
    case ptRotate270:
      return TJXOP_ROT270;
    default:
      return TJXOP_NONE;
  }
}

}  // namespace

bool RotateJpegFile(const QString& path, bool clockwise, QString* error) {
  // A link is turned in its target, and stays a link: the rename below would
  // put the turned picture in the link's place and leave the target as it was.
  const QString target = QFileInfo(path).canonicalFilePath();
  if (!target.isEmpty() && target != QFileInfo(path).absoluteFilePath())
    return RotateJpegFile(target, clockwise, error);
  QString reason;
  if (!error) error = &reason;
  const QFileInfo info(path);
  if (!info.isFile()) {
    *error = QStringLiteral("The file does not exist");
    return false;
  }
  if (!info.isWritable()) {
    *error = QStringLiteral("The file is read-only");
    return false;
  }
  QFile in(path);
  if (!in.open(QIODevice::ReadOnly)) {
    *error = in.errorString();
    return false;
  }
  const QByteArray source = in.readAll();
  in.close();
  if (source.isEmpty()) {
    *error = QStringLiteral("The file is empty");
    return false;
  }

  std::unique_ptr<void, TTjHandleFree> handle(tjInitTransform());
  if (!handle) {
    *error = QString::fromUtf8(tjGetErrorStr2(nullptr));
    return false;
  }
  // The user turns what is shown: a photo shown by its Orientation tag is
  // turned from there, its pixels are written upright and the tag says so.
  const auto* bytes = reinterpret_cast<const uint8_t*>(source.constData());
  const TPictureTurn shown =
      AVParams.TurnPhotos ? TurnOfOrientation(ExifOrientationOfData(bytes, size_t(source.size())))
                          : ptNone;
  const TPictureTurn turn = CombineTurns(shown, clockwise ? ptRotate90 : ptRotate270);
  tjtransform transform{};
  transform.op = TransformOf(turn);
  // Edge blocks that cannot turn without loss are cut off rather than failing.
  transform.options = TJXOPT_TRIM;
  unsigned char* rotated = nullptr;
  unsigned long rotatedSize = 0;
  const int status =
      tjTransform(handle.get(), reinterpret_cast<const unsigned char*>(source.data()),
                  static_cast<unsigned long>(source.size()), 1, &rotated, &rotatedSize, &transform,
                  TJFLAG_STOPONWARNING);
  std::unique_ptr<unsigned char, TTjBufferFree> output(rotated);
  if (status != 0 || !output || rotatedSize == 0) {
    *error = QString::fromUtf8(tjGetErrorStr2(handle.get()));
    return false;
  }

  if (shown != ptNone) MarkExifUpright(output.get(), rotatedSize);

  const QString temporary = TemporaryName(path);
  if (!WriteDurably(temporary, output.get(), rotatedSize, info.permissions(), error)) {
    QFile::remove(temporary);
    return false;
  }
  // rename replaces the source in one step: there is never a moment without it.
  if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) !=
      0) {
    *error = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(temporary);
    return false;
  }
  return true;
}

bool RotateJpeg(const QString& path, bool clockwise) {
  if (RotateJpegFile(path, clockwise, nullptr)) return true;
  ShowError(LResList.GetText("AVPlayerEnc", 9001));
  return false;
}

}  // namespace vexo
