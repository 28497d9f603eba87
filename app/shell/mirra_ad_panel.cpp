#include "app/shell/mirra_ad_panel.h"

#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <cmath>

#include "app/common/language_list.h"
#include "app/settings/options.h"

namespace vexo {
namespace {

const QString kSection = QStringLiteral("MirraAdPanel");
constexpr int kMinDrawn = 5;
// The link's distance from the top of its strip, and the least room beside it.
constexpr int kLinkTop = 8;
constexpr int kLinkMargin = 8;

void PaintBlack(QWidget* widget) {
  widget->setAutoFillBackground(true);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, Qt::black);
  widget->setPalette(palette);
}

constexpr int kLongLine = 1 << 20;

// A label that reports a left click; the link under the picture.
class TClickLabel : public QLabel {
 public:
  TClickLabel(const QString& text, QWidget* parent, std::function<void()> onClick)
      : QLabel(text, parent), FOnClick(std::move(onClick)) {}

  // The text on one line, as wide as it is: a layout gives it less only
  // when the panel is narrower, and then it wraps. (A wrapping label would
  // otherwise ask for a narrower, taller shape of its own choosing.)
  QSize sizeHint() const override {
    const QMargins margins = contentsMargins();
    const int line =
        fontMetrics().boundingRect(QRect(0, 0, kLongLine, kLongLine), 0, text()).width() +
        margins.left() + margins.right() + 2 * margin();
    return QSize(line, heightForWidth(line));
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) FOnClick();
    event->accept();
  }

 private:
  std::function<void()> FOnClick;
};

}  // namespace

TMirraAdPanel::TMirraAdPanel(TOptions& options) : FOptions(options) {
  setObjectName(QStringLiteral("MirraAdPanel"));
}

QString TMirraAdPanel::ProductPage() {
  return LResList.GetText(kSection, 2);
}

void TMirraAdPanel::Init(QWidget* parent) {
  setParent(parent);
  PaintBlack(this);
  setCursor(Qt::PointingHandCursor);

  QImageReader reader(FOptions.SkinMarkerPath());
  reader.setDecideFormatFromContent(true);
  FPicture = reader.read();

  FStrip = new QWidget(this);
  PaintBlack(FStrip);
  FHideLink = new TClickLabel(LResList.GetText(kSection, 1), FStrip, [this] { Postpone(); });
  // A translation too long for the width goes on to another line.
  FHideLink->setWordWrap(true);
  FHideLink->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  QPalette palette = FHideLink->palette();
  palette.setColor(QPalette::WindowText, QColor(0xD0, 0xE0, 0xFF));
  FHideLink->setPalette(palette);
  QFont font = FHideLink->font();
  font.setUnderline(true);
  FHideLink->setFont(font);
  auto* strip = new QHBoxLayout(FStrip);
  strip->setContentsMargins(kLinkMargin, kLinkTop, kLinkMargin, kLinkTop);
  strip->addWidget(FHideLink, 0, Qt::AlignHCenter | Qt::AlignTop);
  // kStripHeight, or more when the link's font or text needs it.
  FStrip->setMinimumHeight(kStripHeight);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addStretch(1);
  column->addWidget(FStrip);

  if (parent) {
    parent->installEventFilter(this);
    setGeometry(parent->rect());
  }
  show();
}

bool TMirraAdPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize)
    setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

void TMirraAdPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) QDesktopServices::openUrl(QUrl(ProductPage()));
  event->accept();
}

void TMirraAdPanel::Postpone() {
  hide();
  FOptions.GetOption(oPlayMirraDay).SetInt(TOptions::Today() + kPostponeDays);
}

QRect TMirraAdPanel::PictureRect(QSize picture, QSize area) {
  if (picture.width() < kMinDrawn || picture.height() < kMinDrawn || area.width() < kMinDrawn ||
      area.height() < kMinDrawn)
    return {};
  const double scale =
      std::min(double(area.height()) / picture.height(), double(area.width()) / picture.width());
  const int w = int(std::lround(picture.width() * scale));
  const int h = int(std::lround(picture.height() * scale));
  return QRect(int(std::lround((area.width() - w) / 2.0)),
               int(std::lround((area.height() - h) / 2.0)), w, h);
}

void TMirraAdPanel::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (FPicture.isNull()) return;
  const QRect target = PictureRect(FPicture.size(), QSize(width(), FStrip->y()));
  if (target.isEmpty()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, FPicture);
}

}  // namespace vexo
