#include "app/shell/about_dialog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cmath>

#include "app/common/language_list.h"
#include "app/common/text_utils.h"
#include "platform/process_memory.h"

namespace vexo {
namespace {

const QString kSection = QStringLiteral("AboutDialog");
const QColor kTitleColor(0x31, 0x6A, 0xC5);
const QColor kBarColor(0x40, 0x80, 0xD0);

QString Text(int number) {
  return LResList.GetText(kSection, number);
}

QWidget* NewBar(QWidget* parent, int y) {
  auto* bar = new QWidget(parent);
  bar->setAutoFillBackground(true);
  QPalette palette = bar->palette();
  palette.setColor(QPalette::Window, kBarColor);
  bar->setPalette(palette);
  bar->setGeometry(12, y, 365, 5);
  return bar;
}

// The name comes first: sizing the label dresses it in the skin for good.
QLabel* NewText(QWidget* parent, const QString& text, int x, int y, const QString& name = {}) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->move(x, y);
  label->adjustSize();
  return label;
}

// A link that opens in the user's browser or mail program.
QLabel* NewLink(QWidget* parent, const QString& caption, const QString& target, int x, int y) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::RichText);
  label->setText(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff\">%2</a>")
                     .arg(target.toHtmlEscaped(), caption.toHtmlEscaped()));
  label->setOpenExternalLinks(true);
  label->setCursor(Qt::PointingHandCursor);
  label->move(x, y);
  label->adjustSize();
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
  QString line = FormatText(Text(2), {QString::fromLatin1(kVersion)});
  const QFileInfo file(programFile);
  if (!programFile.isEmpty() && file.isFile()) {
    const QDateTime built = file.lastModified();
    const QLocale locale;
    line += QStringLiteral("   (") +
            FormatText(Text(3), {locale.toString(built.date(), QLocale::ShortFormat) + u' ' +
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
  QFont font(QStringLiteral("Verdana"));
  font.setPixelSize(13);
  setFont(font);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);
  setFixedSize(389, 411);
  setWindowTitle(Text(1));

  FLineTop = NewBar(this, 64);
  NewBar(this, 348);

  // Named, so that a skin can colour the title apart from the other texts.
  Title = NewText(this, Text(10), 92, 16, QStringLiteral("L_Title"));
  QFont titleFont = font;
  titleFont.setPixelSize(30);
  titleFont.setBold(true);
  Title->setFont(titleFont);
  QPalette titlePalette = Title->palette();
  titlePalette.setColor(QPalette::WindowText, kTitleColor);
  Title->setPalette(titlePalette);
  Title->adjustSize();

  Version = NewText(this, VersionLine(QCoreApplication::applicationFilePath()), 12, 80);

  auto* notice = new QLabel(Text(4), this);
  notice->setTextFormat(Qt::PlainText);
  notice->setWordWrap(true);
  notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  notice->setGeometry(12, 112, 365, 45);

  QLabel* internet = NewText(this, Text(5), 12, 160);
  QLabel* email = NewText(this, Text(6), 12, 180);
  const int linkX = std::max(internet->geometry().right(), email->geometry().right()) + 1 + 12;
  Link = NewLink(this, Text(7), Text(7), linkX, 160);
  LinkEmail = NewLink(this, Text(8), QStringLiteral("mailto:") + Text(8), linkX, 180);

  License = new QPlainTextEdit(Text(9), this);
  License->setReadOnly(true);
  License->setGeometry(12, 220, 365, 77);

  Memory =
      NewText(this, FormatText(Text(11), {QString::number(MegaBytes(TotalMemory()))}), 12, 320);

  OK = new QPushButton(Text(12), this);
  OK->setGeometry(136, 368, 100, 28);
  OK->setDefault(true);
  connect(OK, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  painter.drawPixmap(FLineTop->x() - 2, 8, ProgramPicture(56));
}

void ShowAboutBox(QWidget* parent) {
  TAboutDialog box(parent);
  box.exec();
}

}  // namespace vexo
