#pragma once
// The strip under the browser: three lines that describe the selected media
// file (picture size and date of a photo; picture size, frame rate and sound
// of a video) and one large button that plays the browser's selection. It
// only displays; the page decides what is shown and what the button does.
#include <QDateTime>
#include <QLabel>
#include <QToolButton>
#include <QWidget>
#include <array>

#include "app/browser/media_probe.h"
#include "app/player/ctrl_panel.h"
#include "engine/playback/player_media_info.h"

namespace vexo {

// What the information strip needs of a browser node.
struct TShlNodeDate {
  QDateTime SortDate;
  // The node's tag: 2 when SortDate is the recording date read from the picture.
  int Tag = 0;
};

class TShlCtrlPanel : public TCtrlPanel {
  Q_OBJECT

 public:
  static constexpr int kHeight = 70;
  static constexpr int kValueLeft = 86;
  static constexpr int kButtonSize = 46;

  explicit TShlCtrlPanel(QWidget* parent = nullptr);

  void SetPlayEnabled(bool enabled);
  // Fills the values from a media information record; its frame count tells
  // the kind: 0 nothing, 1 a photo, more a video.
  void ShowInfo(const TShlNodeDate& node, const TMediaInfo& info);
  // Probes `path` off the user-interface thread and shows what it learns; the
  // values stay empty until then, and for a file that cannot be read.
  void ShowFileInfo(const QString& path, const TShlNodeDate& node);

  QToolButton* PlayButton() const { return FPlayButton; }
  const QLabel* CaptionLabel(int i) const { return FCaptionLabels[size_t(i)]; }
  const QLabel* ValueLabel(int i) const { return FValueLabels[size_t(i)]; }
  TMediaProbe& Probe() { return FProbe; }

  // kHeight, or more when the font needs it.
  int Height() const;
  QSize sizeHint() const override;

 signals:
  void PlayClicked();
  // A probe started by ShowFileInfo has been shown.
  void InfoShown(const QString& path);

 private:
  void SetCaptions(const std::array<QString, 3>& captions);
  void ClearValues();
  void LayOut();

  QToolButton* FPlayButton = nullptr;
  std::array<QLabel*, 3> FValueLabels{};
  std::array<QLabel*, 3> FCaptionLabels{};
  TMediaProbe FProbe;
  QString FProbedPath;
  TShlNodeDate FProbedNode;
};

// "%d x %d"; "%.4g" and the unit; the channel text.
QString PictureSizeText(int width, int height);
// The date and the time a node's date is shown with: in local time, and a
// recording date (which carries no zone) as it stands, without a zone name.
QString StripDateText(const QDateTime& date);
QString StripTimeText(const QDateTime& date);
QString FrameRateText(double rate);
QString SoundChannelsText(int channels);

}  // namespace vexo
