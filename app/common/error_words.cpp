#include "app/common/error_words.h"

extern "C" {
#include <libavutil/error.h>
}

#include <QRegularExpression>
#include <cerrno>

#include "app/common/language_list.h"

namespace vexo {

namespace {

enum TErrorWords {
  ewPermission = 1101,
  ewTooManyFiles = 1102,
  ewDamaged = 1103,
  ewNotFound = 1104,
  ewUnreadable = 1105,
};

int WordsOfErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return ewPermission;
    case EMFILE:
    case ENFILE:
      return ewTooManyFiles;
    case ENOENT:
    case ENOTDIR:
      return ewNotFound;
    default:
      return ewUnreadable;
  }
}

}  // namespace

QString SystemErrorWords(int error) {
  return LResList.GetText("AVPlayerEnc", WordsOfErrno(error));
}

QString MediaErrorWords(const QString& detail) {
  static const QRegularExpression kCode(QStringLiteral("^ErrorCode (-?\\d+) on \\w+$"));
  const QRegularExpressionMatch match = kCode.match(detail);
  if (!match.hasMatch()) return detail;
  bool ok = false;
  const int code = match.captured(1).toInt(&ok);
  if (!ok) return detail;
  switch (code) {
    case AVERROR_INVALIDDATA:
    case AVERROR_DEMUXER_NOT_FOUND:
    case AVERROR_DECODER_NOT_FOUND:
    case AVERROR_STREAM_NOT_FOUND:
    case AVERROR_EOF:
      return LResList.GetText("AVPlayerEnc", ewDamaged);
    default:
      // The library's own errors that stand for a system error carry its number.
      return code < 0 && code > -4096 ? SystemErrorWords(-code)
                                      : LResList.GetText("AVPlayerEnc", ewUnreadable);
  }
}

}  // namespace vexo
