#include "app/browser/shl_ctrl_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLocale>
#include <QRegularExpression>

#include "app/common/language_list.h"
#include "app/player/elided_label.h"

namespace vexo {

namespace {

constexpr int kMargin = 6;
constexpr int kFirstLineTop = 9;
constexpr int kLineStep = 17;
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
  // kHeight, or more when the font needs it, whatever height it is asked to take.
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  for (size_t i = 0; i < 3; ++i) {
    FCaptionLabels[i] = new QLabel(this);
    // A value too long for a narrow column is cut short with an ellipsis.
    FValueLabels[i] = new TElidedLabel(this);
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
  for (size_t i = 0; i < 3; ++i) FCaptionLabels[i]->setText(captions[i]);
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

void TShlCtrlPanel::LayOut() {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(kMargin, 0, kMargin, 0);
  row->setSpacing(kMargin);
  // The lines sit kFirstLineTop from the top; a larger font takes from the
  // room above and below them, in the same measure.
  auto* lines = new QVBoxLayout;
  lines->setSpacing(0);
  const int below = kHeight - kFirstLineTop - 3 * kLineStep;
  lines->addStretch(kFirstLineTop);
  auto* grid = new QGridLayout;
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  grid->setHorizontalSpacing(kMargin);
  // The values start at kValueLeft, or further right after a longer caption.
  grid->setColumnMinimumWidth(0, kValueLeft - 2 * kMargin);
  grid->setColumnStretch(1, 1);
  for (int i = 0; i < 3; ++i) {
    grid->setRowMinimumHeight(i, kLineStep);
    grid->addWidget(FCaptionLabels[size_t(i)], i, 0, Qt::AlignTop);
    grid->addWidget(FValueLabels[size_t(i)], i, 1, Qt::AlignTop);
  }
  lines->addLayout(grid);
  lines->addStretch(below);
  row->addLayout(lines, 1);
  row->addWidget(FPlayButton, 0, Qt::AlignVCenter);
}

QSize TShlCtrlPanel::sizeHint() const {
  return QSize(250, Height());
}

int TShlCtrlPanel::Height() const {
  return std::max(kHeight, layout()->minimumSize().height());
}

}  // namespace vexo
