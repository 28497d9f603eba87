#pragma once
// The sibling product's picture laid over the empty video area on some days:
// a click opens the product's web page, the link under it puts it off for
// half a year.
#include <QImage>
#include <QWidget>

class QLabel;

namespace vexo {

class TOptions;

class TMirraAdPanel : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kStripHeight = 32;
  static constexpr int kPostponeDays = 180;

  explicit TMirraAdPanel(TOptions& options);

  // Puts the panel over the whole of parent and loads the picture file.
  void Init(QWidget* parent);

  // Where a picture of that size is drawn within the area above the strip:
  // as large as fits, centred; empty when either is too small to draw.
  static QRect PictureRect(QSize picture, QSize area);
  // The sibling product's web page.
  static QString ProductPage();

  QLabel* HideLink() const { return FHideLink; }
  QWidget* Strip() const { return FStrip; }
  const QImage& Picture() const { return FPicture; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Postpone();

  TOptions& FOptions;
  QImage FPicture;
  QWidget* FStrip = nullptr;
  QLabel* FHideLink = nullptr;
};

}  // namespace vexo
