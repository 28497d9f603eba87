#pragma once
// What a person sees in a window's picture, for the tests that also save one:
// controls with their texts, inside the window, apart from each other, and
// drawn.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QRect>
#include <QSet>
#include <QWidget>
#include <vector>

namespace vexo::test {

// How many colours the picture has within `area`: 1 for a plain patch, more
// where text or a frame is drawn.
inline int ColoursIn(const QImage& picture, const QRect& area) {
  QSet<QRgb> colours;
  const QRect inside = area.intersected(picture.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    for (int x = inside.left(); x <= inside.right(); ++x) colours.insert(picture.pixel(x, y));
  return int(colours.size());
}

// Where `control` is drawn in a picture of `window`.
inline QRect PlaceIn(const QWidget* window, const QWidget* control) {
  return QRect(control->mapTo(window, QPoint(0, 0)), control->size());
}

// Every visible control: inside the window, not on top of another, and drawn
// in the window's picture.
inline void ExpectLaidOut(const QWidget* window, const std::vector<const QWidget*>& controls,
                          const QImage& picture) {
  for (size_t a = 0; a < controls.size(); ++a) {
    const QRect place = PlaceIn(window, controls[a]);
    EXPECT_TRUE(window->rect().contains(place)) << controls[a]->objectName().toStdString();
    EXPECT_GT(ColoursIn(picture, place), 1) << "nothing drawn at control " << a;
    for (size_t b = a + 1; b < controls.size(); ++b)
      EXPECT_FALSE(place.intersects(PlaceIn(window, controls[b]))) << a << " over " << b;
  }
}

// The visible buttons and labels directly shown in `window` that carry text.
inline std::vector<const QWidget*> TextControls(const QWidget* window) {
  std::vector<const QWidget*> found;
  for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
    if (button->isVisibleTo(window) && !button->text().isEmpty()) found.push_back(button);
  for (const QLabel* label : window->findChildren<QLabel*>())
    if (label->isVisibleTo(window) && !label->text().isEmpty()) found.push_back(label);
  return found;
}

}  // namespace vexo::test
