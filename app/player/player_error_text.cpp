#include "app/player/player_error_text.h"

#include "app/common/language_list.h"

namespace vexo {

QString ComposePlayerErrorText(int code, const QString& argument, const QString& detail) {
  QString text;
  switch (code) {
    case 5:
      text = LResList.GetText("AVPlayerEnc", 1005);
      break;
    case 6:
      text = LResList.GetText("AVPlayerEnc", 1006);
      break;
    case 7:
      text = LResList.GetText("AVPlayerEnc", 1007);
      break;
    default:
      text = LResList.GetText("AVPlayerEnc", 1000 + code);
      break;
  }
  if (text.contains("%s")) text.replace("%s", argument);
  if (!detail.isEmpty()) text += "\r\n" + LResList.GetCommon(cError) + ": " + detail;
  return text;
}

}  // namespace vexo
