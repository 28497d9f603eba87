#include "app/player/player_error_text.h"

#include "app/common/error_words.h"
#include "app/common/language_list.h"
#include "engine/media/av_log.h"

namespace vexo {

namespace {
constexpr int kPlayerErrorTextBase = 1000;
}

QString ComposePlayerErrorText(int code, const QString& argument, const QString& detail) {
  // The language file numbers the text of player error `code` 1000 + code
  // (the open failure, 5, is 1005).
  QString text = LResList.GetText("AVPlayerEnc", kPlayerErrorTextBase + code);
  if (text.contains("%s")) text.replace("%s", argument);
  // The library's numbers are for the log; the user reads what they mean.
  const QString words = MediaErrorWords(detail);
  if (words != detail) Log((argument + ": " + detail).toStdString());
  if (!words.isEmpty()) text += "\r\n" + LResList.GetCommon(cError) + ": " + words;
  return text;
}

}  // namespace vexo
