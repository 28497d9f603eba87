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
  // The technical text is for the log; the user reads what it means, in a
  // sentence of its own. A text without plain words is shown as it stands.
  if (!detail.isEmpty()) Log((argument + ": " + detail).toStdString());
  const QString words = MediaErrorWords(detail, argument);
  if (words.isEmpty()) return text;
  return text + "\r\n" + (words == detail ? LResList.GetCommon(cError) + ": " + words : words);
}

}  // namespace vexo
