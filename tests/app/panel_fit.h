#pragma once
// Whether a panel's controls fit it: inside the panel, apart from each other,
// drawn, and each label showing its whole text at its font, or, for a label
// that cuts a long text short, a cut that fits and the whole text as its tip.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QWidget>
#include <vector>

#include "app/player/elided_label.h"
#include "picture_checks.h"

namespace vexo::test {

// The panel's picture is kept under `pictureName` for a look.
inline void ExpectControlsFit(QWidget* panel, const std::vector<const QWidget*>& controls,
                              const QString& pictureName) {
  // Painting sets the tips of the labels that cut their text.
  const QImage picture = panel->grab().toImage();
  QDir().mkpath(VEXO_BIN_DIR "/../screenshots");
  EXPECT_TRUE(picture.save(VEXO_BIN_DIR "/../screenshots/" + pictureName + ".png"));
  ExpectLaidOut(panel, controls, picture);
  for (const QWidget* control : controls) {
    const auto* label = qobject_cast<const QLabel*>(control);
    if (!label) continue;
    SCOPED_TRACE(label->text().toStdString());
    const QFontMetrics metrics = label->fontMetrics();
    const QRect room = label->contentsRect();
    if (const auto* elided = qobject_cast<const TElidedLabel*>(label)) {
      const QString shown = elided->ShownText();
      EXPECT_LE(metrics.horizontalAdvance(shown), room.width());
      if (shown != elided->text()) {
        EXPECT_EQ(elided->toolTip(), elided->text());
      }
    } else if (label->wordWrap()) {
      EXPECT_GE(room.height(), label->heightForWidth(label->width()));
    } else {
      EXPECT_GE(room.width(), metrics.horizontalAdvance(label->text()));
    }
    EXPECT_GE(room.height(), metrics.height());
  }
}

}  // namespace vexo::test
