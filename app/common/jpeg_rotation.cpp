#include "app/common/jpeg_rotation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "app/common/language_list.h"
#include "app/common/message_boxes.h"
#include "engine/input/lossless_turn.h"
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

struct TFileCloser {
  int Fd;
  ~TFileCloser() { ::close(Fd); }
};

constexpr char kTemporarySuffix[] = ".vexo-turn";

QByteArray Native(const QString& path) {
  return QFile::encodeName(path);
}

QString ErrnoText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

// The note of temporaries being written: each name followed by a NUL, since
// a file name may hold any other byte. A run that ends in the middle of a
// turn leaves its name there for the next start to clear up.
QByteArray NotePath() {
  return Native(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                QStringLiteral("/vexoplayer/turning"));
}

QByteArray ReadNote() {
  QFile note(QFile::decodeName(NotePath()));
  return note.open(QIODevice::ReadOnly) ? note.readAll() : QByteArray();
}

bool NoteTemporary(const QByteArray& temporary) {
  const QByteArray note = NotePath();
  QDir().mkpath(QFileInfo(QFile::decodeName(note)).absolutePath());
  const int fd = ::open(note.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const QByteArray line = temporary + '\0';
  const bool written = ::write(fd, line.constData(), size_t(line.size())) == line.size();
  const bool synced = written && ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

void ForgetTemporary(const QByteArray& temporary) {
  QByteArray kept;
  for (const QByteArray& name : ReadNote().split('\0'))
    if (!name.isEmpty() && name != temporary) kept += name + '\0';
  const QByteArray note = NotePath();
  if (kept.isEmpty()) {
    ::unlink(note.constData());
    return;
  }
  QFile file(QFile::decodeName(note));
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(kept);
}

bool IsOurTemporary(const QByteArray& name) {
  const QByteArray base = name.mid(name.lastIndexOf('/') + 1);
  return base.startsWith('.') && base.endsWith(kTemporarySuffix) &&
         base.size() > int(sizeof kTemporarySuffix);
}

// Extended attributes go with the picture; those of the user's own
// namespaces (user.*, access lists) must, or the turn fails. Attributes
// reserved to the system (security.*, trusted.*) are copied where allowed.
bool CopyAttributes(int from, int to, QString* error) {
  const ssize_t listSize = ::flistxattr(from, nullptr, 0);
  if (listSize <= 0) return true;
  std::vector<char> names(size_t(listSize) + 1, '\0');
  const ssize_t got = ::flistxattr(from, names.data(), names.size() - 1);
  if (got < 0) return true;
  for (size_t at = 0; at < size_t(got);) {
    const char* name = names.data() + at;
    at += std::strlen(name) + 1;
    const bool ours =
        std::strncmp(name, "user.", 5) == 0 || std::strncmp(name, "system.posix_acl_", 17) == 0;
    const ssize_t valueSize = ::fgetxattr(from, name, nullptr, 0);
    std::vector<char> value(size_t(std::max<ssize_t>(valueSize, 0)) + 1);
    const ssize_t read = valueSize < 0 ? -1 : ::fgetxattr(from, name, value.data(), value.size());
    if (read >= 0 && ::fsetxattr(to, name, value.data(), size_t(read), 0) == 0) continue;
    if (ours) {
      *error = QStringLiteral("The attribute %1 could not be kept: %2")
                   .arg(QString::fromLocal8Bit(name), ErrnoText(errno));
      return false;
    }
  }
  return true;
}

// Writes the turned picture with everything the source carries besides its
// bytes, and makes sure the bytes are on disk before the rename exposes them.
bool WriteTemporary(const QByteArray& name, int source, const unsigned char* data,
                    unsigned long size, QString* error) {
  struct stat info {};
  if (::fstat(source, &info) != 0) {
    *error = ErrnoText(errno);
    return false;
  }
  const int fd =
      ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    *error = ErrnoText(errno);
    return false;
  }
  bool done = true;
  for (unsigned long at = 0; done && at < size;) {
    const ssize_t n = ::write(fd, data + at, size - at);
    if (n < 0 && errno == EINTR) continue;
    done = n > 0;
    if (done) at += static_cast<unsigned long>(n);
  }
  if (!done) *error = ErrnoText(errno);
  // The owner first: changing it may clear the set-id bits that fchmod sets.
  // Only the super-user may give a file away; anyone may keep a group that
  // they belong to, so that much is tried before giving up on the owner.
  if (done && ::fchown(fd, info.st_uid, info.st_gid) != 0) {
    [[maybe_unused]] const int kept = ::fchown(fd, uid_t(-1), info.st_gid);
  }
  if (done && ::fchmod(fd, info.st_mode & 07777) != 0) {
    *error = ErrnoText(errno);
    done = false;
  }
  done = done && CopyAttributes(source, fd, error);
  if (done && ::fsync(fd) != 0) {
    *error = ErrnoText(errno);
    done = false;
  }
  ::close(fd);
  return done;
}

// Whether the coded picture can take the turn without cutting off partial
// blocks: a block column that ends up on the left or a block row that ends
// up at the top must be whole.
bool TurnIsPerfect(TPictureTurn turn, int width, int height, int subsampling) {
  if (subsampling < 0 || subsampling >= TJ_NUMSAMP) return false;
  const bool wholeColumns = width % tjMCUWidth[subsampling] == 0;
  const bool wholeRows = height % tjMCUHeight[subsampling] == 0;
  switch (turn) {
    case ptMirror:
    case ptRotate270:
      return wholeColumns;
    case ptFlip:
    case ptRotate90:
      return wholeRows;
    case ptRotate180:
    case ptTransverse:
      return wholeColumns && wholeRows;
    default:
      return true;
  }
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

// A PNG or lossless WebP photo re-encoded without loss, turned from how it
// is shown.
bool TurnLosslessFile(const QByteArray& source, bool clockwise, std::vector<uint8_t>& result,
                      QString* error) {
  const std::vector<uint8_t> file(source.begin(), source.end());
  const TPictureTurn shown =
      AVParams.TurnPhotos ? TurnOfOrientation(ExifOrientationOfData(file.data(), file.size()))
                          : ptNone;
  std::string reason;
  if (TurnLosslessPhoto(file, CombineTurns(shown, clockwise ? ptRotate90 : ptRotate270),
                        shown != ptNone, result, reason))
    return true;
  *error = QString::fromStdString(reason);
  return false;
}

}  // namespace

QString RotationTemporaryName(const QString& path) {
  const QFileInfo info(path);
  return info.dir().filePath(u'.' + info.fileName() + QLatin1String(kTemporarySuffix));
}

void RemoveRotationLeftovers() {
  const QByteArray note = ReadNote();
  if (note.isEmpty()) return;
  // Only names of our own making: the note cannot be turned against other files.
  for (const QByteArray& name : note.split('\0'))
    if (IsOurTemporary(name)) ::unlink(name.constData());
  ::unlink(NotePath().constData());
}

namespace {

// Writes the turned picture beside the source and puts it in the source's
// place in one step; on any failure the source stays as it was.
TRotation ReplaceWithTurned(const QString& path, const QByteArray& native, int sourceFd,
                            const std::vector<uint8_t>& result, QString* error) {
  const QByteArray temporary = Native(RotationTemporaryName(path));
  if (!NoteTemporary(temporary)) {
    *error = QStringLiteral("The note of the temporary file could not be written");
    return TRotation::Failed;
  }
  bool replaced = WriteTemporary(temporary, sourceFd, result.data(), result.size(), error);
  // rename replaces the source in one step: there is never a moment without it.
  if (replaced && std::rename(temporary.constData(), native.constData()) != 0) {
    *error = ErrnoText(errno);
    replaced = false;
  }
  if (!replaced) ::unlink(temporary.constData());
  ForgetTemporary(temporary);
  return replaced ? TRotation::Turned : TRotation::Failed;
}

}  // namespace

TRotation RotateJpegPicture(const QString& path, bool clockwise, QString* error) {
  // A link is turned in its target, and stays a link: the rename below would
  // put the turned picture in the link's place and leave the target as it was.
  const QString target = QFileInfo(path).canonicalFilePath();
  if (!target.isEmpty() && target != QFileInfo(path).absoluteFilePath())
    return RotateJpegPicture(target, clockwise, error);
  QString reason;
  if (!error) error = &reason;
  const QFileInfo info(path);
  if (!info.isFile()) {
    *error = QStringLiteral("The file does not exist");
    return TRotation::Failed;
  }
  if (!info.isWritable()) {
    *error = QStringLiteral("The file is read-only");
    return TRotation::Failed;
  }
  const QByteArray native = Native(path);
  const int sourceFd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
  if (sourceFd < 0) {
    *error = ErrnoText(errno);
    return TRotation::Failed;
  }
  const TFileCloser sourceGuard{sourceFd};
  QFile in;
  if (!in.open(sourceFd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
    *error = in.errorString();
    return TRotation::Failed;
  }
  const QByteArray source = in.readAll();
  in.close();
  if (source.isEmpty()) {
    *error = QStringLiteral("The file is empty");
    return TRotation::Failed;
  }

  const auto* bytes = reinterpret_cast<const unsigned char*>(source.constData());
  std::vector<uint8_t> result;
  switch (PhotoTurnKindOfData(bytes, size_t(source.size()))) {
    case tkJpeg:
      break;
    case tkLossless:
      if (!TurnLosslessFile(source, clockwise, result, error)) return TRotation::Failed;
      return ReplaceWithTurned(path, native, sourceFd, result, error);
    default:
      *error = QStringLiteral("Only JPEG, PNG and lossless WebP photos can be turned without loss");
      return TRotation::Failed;
  }
  std::unique_ptr<void, TTjHandleFree> handle(tjInitTransform());
  if (!handle) {
    *error = QString::fromUtf8(tjGetErrorStr2(nullptr));
    return TRotation::Failed;
  }
  int width = 0, height = 0, subsampling = -1, colourspace = 0;
  if (tjDecompressHeader3(handle.get(), bytes, static_cast<unsigned long>(source.size()), &width,
                          &height, &subsampling, &colourspace) != 0) {
    *error = QString::fromUtf8(tjGetErrorStr2(handle.get()));
    return TRotation::Failed;
  }
  // The user turns what is shown: a photo shown by its Orientation tag is
  // turned from there.
  const TPictureTurn shown =
      AVParams.TurnPhotos ? TurnOfOrientation(ExifOrientationOfData(bytes, size_t(source.size())))
                          : ptNone;
  const TPictureTurn turn = CombineTurns(shown, clockwise ? ptRotate90 : ptRotate270);

  if (TurnIsPerfect(turn, width, height, subsampling)) {
    tjtransform transform{};
    transform.op = TransformOf(turn);
    transform.options = TJXOPT_PERFECT;
    unsigned char* rotated = nullptr;
    unsigned long rotatedSize = 0;
    const int status = tjTransform(handle.get(), bytes, static_cast<unsigned long>(source.size()),
                                   1, &rotated, &rotatedSize, &transform, TJFLAG_STOPONWARNING);
    std::unique_ptr<unsigned char, TTjBufferFree> output(rotated);
    if (status != 0 || !output || rotatedSize == 0) {
      *error = QString::fromUtf8(tjGetErrorStr2(handle.get()));
      return TRotation::Failed;
    }
    result.assign(output.get(), output.get() + rotatedSize);
    // The pixels now stand as they are to be shown.
    if (shown != ptNone && !MarkExifUpright(result.data(), result.size())) {
      *error = QStringLiteral("The orientation of the picture could not be set");
      return TRotation::Failed;
    }
  } else {
    // Turning the coded picture would cut its partial edge blocks off.
    if (!AVParams.TurnPhotos) {
      *error = QStringLiteral("Only the Orientation tag can turn this picture without loss");
      return TRotation::NeedsOrientation;
    }
    // The whole picture must still decode before its tag is trusted to it.
    std::vector<unsigned char> check(size_t(width) * size_t(height) * 3);
    std::unique_ptr<void, TTjHandleFree> decoder(tjInitDecompress());
    if (!decoder ||
        tjDecompress2(decoder.get(), bytes, static_cast<unsigned long>(source.size()), check.data(),
                      width, 0, height, TJPF_RGB, TJFLAG_STOPONWARNING) != 0) {
      *error = QString::fromUtf8(tjGetErrorStr2(decoder.get()));
      return TRotation::Failed;
    }
    result.assign(bytes, bytes + source.size());
    if (!SetExifOrientation(result, turn)) {
      *error = QStringLiteral("The orientation of the picture could not be set");
      return TRotation::Failed;
    }
  }

  return ReplaceWithTurned(path, native, sourceFd, result, error);
}

bool RotateJpegFile(const QString& path, bool clockwise, QString* error) {
  return RotateJpegPicture(path, clockwise, error) == TRotation::Turned;
}

bool RotateJpeg(const QString& path, bool clockwise) {
  switch (RotateJpegPicture(path, clockwise, nullptr)) {
    case TRotation::Turned:
      return true;
    case TRotation::NeedsOrientation:
      ShowError(LResList.GetText("AVPlayerEnc", 9004));
      return false;
    case TRotation::Failed:
      break;
  }
  ShowError(LResList.GetText("AVPlayerEnc", 9001));
  return false;
}

}  // namespace vexo
