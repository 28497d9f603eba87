#include "app/player/subtitle_menu.h"

#include <QFileInfo>

#include "app/common/language_list.h"
#include "app/common/text_utils.h"
#include "engine/input/subtitle_set.h"

namespace vexo {

QStringList SubtitleMenuItems(const TSubtitleSet* set, int& checked) {
  checked = -1;
  if (!set) return {};
  QStringList items{LResList.GetText("Player", 401)};
  int number = 0;
  for (const auto& track : set->Tracks()) {
    QString caption;
    if (track->Sidecar) {
      caption = FormatText(LResList.GetText("Player", 403),
                           {QFileInfo(QString::fromStdString(track->Title)).fileName()});
    } else {
      caption = FormatText(LResList.GetText("Player", 402), {QString::number(++number)});
      QStringList words;
      if (!track->Language.empty() && track->Language != "und")
        words << QString::fromStdString(track->Language);
      if (!track->Title.empty()) words << QString::fromStdString(track->Title);
      if (!words.isEmpty()) caption += QStringLiteral(": ") + words.join(QStringLiteral(", "));
    }
    if (!track->Text) caption = FormatText(LResList.GetText("Player", 404), {caption});
    // A bar would end the caption and start the hint.
    caption.replace(QLatin1Char('|'), QLatin1Char('/'));
    items << caption;
  }
  checked = set->Choice() + 1;
  return items;
}

}  // namespace vexo
