#include "app/browser/shl_ctrl_panel.h"

#include <QIcon>
#include <QLocale>
#include <QRegularExpression>

#include "app/common/language_list.h"

namespace vexo {

namespace {

constexpr int kCaptionLeft = 6;
constexpr int kFirstLineTop = 9;
constexpr int kLineStep = 17;
constexpr int kButtonTop = 12;
constexpr int kButtonMargin = 52;  // from the right edge to the button's left
constexpr int kIconSize = 32;

std::array<QString, 3> VideoCaptions() {
  return {LResList.GetText("AVPlayerEnc", 4001), LResList.GetText("AVPlayerEnc", 4002),
          LResList.GetText("AVPlayerEnc", 4003)};
}

std::array<QString, 3> PhotoCaptions(bool dateFromPicture) {
  return {LResList.GetText("AVPlayerEnc", 4011),
          dateFromPicture ? LResList.GetText("AVPlayerEnc", 4014)
                          : LResList.GetText("AVPlayerEnc", 4012),
          LResList.GetText("AVPlayerEnc", 4013)};
}

}  // namespace

QString PictureSizeText(int width, int height) {
  return QString::asprintf("%d x %d", width, height);
}

QString FrameRateText(double rate) {
  return QString::asprintf("%.4g", rate) + ' ' + LResList.GetText("AVPlayerEnc", 4101);
}

QString StripDateText(const QDateTime& date) {
  return date.isValid() ? QLocale().toString(date.toLocalTime().date(), "MMM d, yyyy") : QString();
}

QString StripTimeText(const QDateTime& date) {
  if (!date.isValid()) return {};
  // The long format names the zone ("t"), which a picture's own time does
  // not have, and a file's time in local time needs no more than the clock.
  QString format = QLocale().timeFormat(QLocale::LongFormat);
  format.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*$|^\\s*t+\\s*")));
  format.replace(QRegularExpression(QStringLiteral("\\s+t+\\s+")), QStringLiteral(" "));
  return QLocale().toString(date.toLocalTime().time(), format);
}

QString SoundChannelsText(int channels) {
  switch (channels) {
    case 0:
      return LResList.GetText("AVPlayerEnc", 4111);
    case 1:
      return LResList.GetText("AVPlayerEnc", 4112);
    case 2:
      return LResList.GetText("AVPlayerEnc", 4113);
    default:
      return QString::number(channels) + ' ' + LResList.GetText("AVPlayerEnc", 4114);
  }
}

TShlCtrlPanel::TShlCtrlPanel(QWidget* parent) : TCtrlPanel(parent) {
  setObjectName(QStringLiteral("ShlCtrlPanel"));
  setFocusPolicy(Qt::StrongFocus);
  setFixedHeight(kHeight);
  for (size_t i = 0; i < 3; ++i) {
    FCaptionLabels[i] = new QLabel(this);
    FValueLabels[i] = new QLabel(this);
  }
  SetCaptions(VideoCaptions());
  FPlayButton = new QToolButton(this);
  FPlayButton->setObjectName(QStringLiteral("PlayButton"));
  FPlayButton->setAutoRaise(true);
  FPlayButton->setIconSize(QSize(kIconSize, kIconSize));
  // The theme's picture, or our own large round one.
  FPlayButton->setIcon(QIcon::fromTheme(QStringLiteral("media-playback-start"),
                                        QIcon(QStringLiteral(":/icons/column-play.svg"))));
  FPlayButton->setToolTip(LResList.GetText("Player", 101));
  FPlayButton->setAccessibleName(LResList.ReadValue("Accessible", "PlaySelection", {}));
  FPlayButton->setFixedSize(kButtonSize, kButtonSize);
  connect(FPlayButton, &QToolButton::clicked, this, &TShlCtrlPanel::PlayClicked);
  connect(&FProbe, &TMediaProbe::Probed, this, [this](const QString& path, const TMediaInfo& info) {
    if (path != FProbedPath) return;
    ShowInfo(FProbedNode, info);
    emit InfoShown(path);
  });
  LayOut();
}

void TShlCtrlPanel::SetPlayEnabled(bool enabled) {
  FPlayButton->setEnabled(enabled);
}

void TShlCtrlPanel::SetCaptions(const std::array<QString, 3>& captions) {
  for (size_t i = 0; i < 3; ++i) {
    FCaptionLabels[i]->setText(captions[i]);
    FCaptionLabels[i]->adjustSize();
  }
}

void TShlCtrlPanel::ClearValues() {
  for (QLabel* label : FValueLabels) label->clear();
}

void TShlCtrlPanel::ShowInfo(const TShlNodeDate& node, const TMediaInfo& info) {
  if (info.TotalFrames <= 0) {
    ClearValues();
    return;
  }
  if (info.TotalFrames == 1) {
    SetCaptions(PhotoCaptions(node.Tag == 2));
    FValueLabels[0]->setText(PictureSizeText(info.BiggestWidth, info.BiggestHeight));
    FValueLabels[1]->setText(StripDateText(node.SortDate));
    FValueLabels[2]->setText(StripTimeText(node.SortDate));
    return;
  }
  SetCaptions(VideoCaptions());
  FValueLabels[0]->setText(PictureSizeText(info.BiggestWidth, info.BiggestHeight));
  FValueLabels[1]->setText(FrameRateText(info.FrameRate));
  FValueLabels[2]->setText(SoundChannelsText(info.OutChannels));
}

void TShlCtrlPanel::ShowFileInfo(const QString& path, const TShlNodeDate& node) {
  FProbedPath = path;
  FProbedNode = node;
  ClearValues();
  if (path.isEmpty()) {
    FProbe.Cancel();
    return;
  }
  FProbe.Probe(path);
}

void TShlCtrlPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

void TShlCtrlPanel::LayOut() {
  const int buttonLeft = width() - kButtonMargin;
  FPlayButton->move(buttonLeft, kButtonTop);
  const int valueWidth = std::max(0, buttonLeft - 6 - kValueLeft);
  for (size_t i = 0; i < 3; ++i) {
    const int top = kFirstLineTop + int(i) * kLineStep;
    FCaptionLabels[i]->move(kCaptionLeft, top);
    FValueLabels[i]->setGeometry(kValueLeft, top, valueWidth, FValueLabels[i]->sizeHint().height());
  }
}

}  // namespace vexo
