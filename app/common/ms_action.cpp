#include "app/common/ms_action.h"

namespace vexo {

TMSAction::TMSAction(int index, int subIndex, QObject* parent)
    : QAction(parent), FIndex(index), FSubIndex(subIndex) {
  setData(index);
}

void TMSAction::SetCaption(const QString& caption, bool accessKeys) {
  FCaption = caption;
  setText(accessKeys ? caption : QString(caption).replace(QLatin1Char('&'), QStringLiteral("&&")));
}

}  // namespace vexo
