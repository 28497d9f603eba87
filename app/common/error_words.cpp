#include "app/common/error_words.h"

extern "C" {
#include <libavutil/error.h>
}

#include <QRegularExpression>
#include <cerrno>

#include "app/common/language_list.h"
#include "engine/media/media_lib.h"

namespace vexo {

namespace {

enum TErrorWords {
  ewPermission = 1101,
  ewTooManyFiles = 1102,
  ewDamaged = 1103,
  ewNotFound = 1104,
  ewUnreadable = 1105,
  ewUnsupported = 1106,
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

QString UnsupportedFormatWords(const QString& format) {
  return LResList.GetText("AVPlayerEnc", ewUnsupported).replace("%s", format);
}

QString MediaErrorWords(const QString& detail, const QString& fileName) {
  // What the input file reports when its container or picture cannot be made
  // sense of.
  static const QRegularExpression kDamaged(
      QStringLiteral("^(No video stream found|not a video file|error on finding stream info|"
                     "Failed to decode 1st frame|Bad video stream \\(width=-?\\d+\\))$"));
  if (kDamaged.match(detail).hasMatch()) return LResList.GetText("AVPlayerEnc", ewDamaged);
  // A codec the library does not know at all has no name to give.
  if (detail == QLatin1String("Unknown video format")) return UnsupportedFormatWords(fileName);
  static const QRegularExpression kNoDecoder(
      QStringLiteral("^Can't find video decoder, codec_id = (\\d+)$"));
  const QRegularExpressionMatch decoder = kNoDecoder.match(detail);
  if (decoder.hasMatch()) {
    const char* name = ff::avcodec_get_name
                           ? ff::avcodec_get_name(AVCodecID(decoder.captured(1).toInt()))
                           : nullptr;
    return UnsupportedFormatWords(name ? QString::fromUtf8(name).toUpper() : fileName);
  }
  static const QRegularExpression kCode(QStringLiteral("^ErrorCode (-?\\d+) on \\w+$"));
  const QRegularExpressionMatch match = kCode.match(detail);
  if (!match.hasMatch()) return detail;
  bool ok = false;
  const int code = match.captured(1).toInt(&ok);
  if (!ok) return detail;
  switch (code) {
    case AVERROR_DECODER_NOT_FOUND:
      return UnsupportedFormatWords(fileName);
    case AVERROR_INVALIDDATA:
    case AVERROR_DEMUXER_NOT_FOUND:
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
