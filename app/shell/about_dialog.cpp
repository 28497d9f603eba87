#include "app/shell/about_dialog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/common/language_list.h"
#include "app/common/text_utils.h"
#include "platform/process_memory.h"

namespace vexo {
namespace {

const QString kAboutSection = QStringLiteral("AboutDialog");
const QColor kTitleColor(0x31, 0x6A, 0xC5);
const QColor kBarColor(0x40, 0x80, 0xD0);

QString AboutText(int number) {
  return LResList.GetText(kAboutSection, number);
}

// The designed box; a longer text or a bigger font makes it larger.
constexpr QSize kDesignedSize(389, 411);
constexpr int kMargin = 12;
constexpr int kBarWidth = 365;

QWidget* NewBar(QWidget* parent) {
  auto* bar = new QWidget(parent);
  bar->setAutoFillBackground(true);
  QPalette palette = bar->palette();
  palette.setColor(QPalette::Window, kBarColor);
  bar->setPalette(palette);
  bar->setMinimumWidth(kBarWidth);
  bar->setFixedHeight(5);
  return bar;
}

// Texts stand at the top of their row, which keeps at least the height it
// was drawn with.
QLabel* NewText(QWidget* parent, const QString& text, int rowHeight = 0, const QString& name = {}) {
  auto* label = new QLabel(parent);
  // The name comes first: a skin may dress the label by it.
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setMinimumHeight(rowHeight);
  return label;
}

// A link that opens in the user's browser or mail program.
QLabel* NewLink(QWidget* parent, const QString& caption, const QString& target) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::RichText);
  label->setText(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff\">%2</a>")
                     .arg(target.toHtmlEscaped(), caption.toHtmlEscaped()));
  label->setOpenExternalLinks(true);
  label->setCursor(Qt::PointingHandCursor);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

}  // namespace

QPixmap ProgramPicture(int size) {
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal edge = size / 14.0;
  painter.setPen(Qt::NoPen);
  painter.setBrush(kBarColor);
  painter.drawRoundedRect(QRectF(edge, edge, size - 2 * edge, size - 2 * edge), size / 6.0,
                          size / 6.0);
  QPainterPath play;
  play.moveTo(size * 0.38, size * 0.28);
  play.lineTo(size * 0.74, size * 0.5);
  play.lineTo(size * 0.38, size * 0.72);
  play.closeSubpath();
  painter.setBrush(Qt::white);
  painter.drawPath(play);
  return picture;
}

QString TAboutDialog::VersionLine(const QString& programFile) {
  QString line = FormatText(AboutText(2), {QString::fromLatin1(kVersion)});
  const QFileInfo file(programFile);
  if (!programFile.isEmpty() && file.isFile()) {
    const QDateTime built = file.lastModified();
    const QLocale locale;
    line += QStringLiteral("   (") +
            FormatText(AboutText(3), {locale.toString(built.date(), QLocale::ShortFormat) + u' ' +
                                      built.time().toString(QStringLiteral("HH:mm:ss"))}) +
            u')';
  }
  return line;
}

int TAboutDialog::MegaBytes(int64_t bytes) {
  return int(std::nearbyint(double(bytes) / 1048576.0));
}

TAboutDialog::TAboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutDialog"));
  // A title without buttons: OK, Enter or Escape close the box.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);
  setWindowTitle(AboutText(1));

  // The body keeps the designed size as its least; the box takes the body's.
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  auto* body = new QWidget(this);
  body->setMinimumSize(kDesignedSize);
  outer->addWidget(body);
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(kMargin, 8, kMargin, 15);
  column->setSpacing(0);

  // Room for the program's picture, painted left of the title.
  auto* header = new QHBoxLayout;
  header->setSpacing(0);
  header->addSpacerItem(new QSpacerItem(92 - kMargin, 56, QSizePolicy::Fixed, QSizePolicy::Fixed));
  // Named, so that a skin can colour the title apart from the other texts.
  Title = NewText(body, AboutText(10), 0, QStringLiteral("L_Title"));
  Title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // Bold and large, in proportion to the box's own font.
  QFont titleFont = font();
  if (titleFont.pixelSize() > 0)
    titleFont.setPixelSize(titleFont.pixelSize() * 30 / 13);
  else
    titleFont.setPointSizeF(titleFont.pointSizeF() * 30 / 13);
  titleFont.setBold(true);
  Title->setFont(titleFont);
  QPalette titlePalette = Title->palette();
  titlePalette.setColor(QPalette::WindowText, kTitleColor);
  Title->setPalette(titlePalette);
  header->addWidget(Title, 1);
  column->addLayout(header);

  FLineTop = NewBar(body);
  column->addWidget(FLineTop);
  column->addSpacing(11);
  Version = NewText(body, VersionLine(QCoreApplication::applicationFilePath()), 32);
  column->addWidget(Version);
  auto* notice = NewText(body, AboutText(4), 45);
  notice->setWordWrap(true);
  column->addWidget(notice);
  column->addSpacing(3);

  // The two links line up, 12 pixels right of the longer caption.
  auto* links = new QGridLayout;
  links->setHorizontalSpacing(12);
  links->setVerticalSpacing(0);
  links->addWidget(NewText(body, AboutText(5), 20), 0, 0);
  links->addWidget(NewText(body, AboutText(6), 20), 1, 0);
  Link = NewLink(body, AboutText(7), AboutText(7));
  LinkEmail = NewLink(body, AboutText(8), QStringLiteral("mailto:") + AboutText(8));
  links->addWidget(Link, 0, 1);
  links->addWidget(LinkEmail, 1, 1);
  links->setColumnStretch(2, 1);
  column->addLayout(links);
  column->addSpacing(20);

  License = new QPlainTextEdit(AboutText(9), body);
  License->setReadOnly(true);
  // It scrolls what it does not show.
  License->setFixedHeight(77);
  column->addWidget(License);
  column->addStretch(1);

  Memory =
      NewText(body, FormatText(AboutText(11), {QString::number(MegaBytes(TotalMemory()))}), 28);
  column->addWidget(Memory);
  column->addWidget(NewBar(body));
  column->addSpacing(15);

  // A little left of the middle, where it always stood.
  auto* buttonRow = new QHBoxLayout;
  OK = new QPushButton(AboutText(12), body);
  OK->setMinimumSize(100, 28);
  OK->setDefault(true);
  connect(OK, &QPushButton::clicked, this, &QDialog::accept);
  buttonRow->addStretch(124);
  buttonRow->addWidget(OK);
  buttonRow->addStretch(141);
  column->addLayout(buttonRow);
}

void TAboutDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  painter.drawPixmap(FLineTop->mapTo(this, QPoint(0, 0)).x() - 2, 8, ProgramPicture(56));
}

void ShowAboutBox(QWidget* parent) {
  TAboutDialog box(parent);
  box.exec();
}

}  // namespace vexo
