#include "app/player/av_panel.h"

#include <QFile>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <cmath>

#include "app/common/colour_utils.h"
#include "app/common/message_boxes.h"
#include "app/common/skin_background.h"
#include "app/player/page_list.h"
#include "app/player/player_error_text.h"
#include "app/player/player_widget.h"
#include "app/player/present_files.h"
#include "app/player/video_panel_texts.h"
#include "app/player/volume_control.h"
#include "app/shell/mirra_ad_panel.h"
#include "engine/media/av_types.h"
#include "engine/playlist/av_playlist.h"

namespace vexo {

namespace {

// Room around the video area outside full screen.
constexpr int kVideoMargin = 8;

}  // namespace

TAVPanel::TAVPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("VideoPanel");
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TAVPanel::~TAVPanel() {
  // The player stops its threads before the strip that follows it goes.
  if (FPlayer) {
    TAVPlayer& player = FPlayer->Player();
    player.OnStateChange = nullptr;
    player.OnPosition = nullptr;
    player.OnLag = nullptr;
    player.OnFileChange = nullptr;
    player.OnErrorText = nullptr;
    delete FPlayer;
  }
}

TAVPlayer* TAVPanel::Player() const {
  return FPlayer ? &FPlayer->Player() : nullptr;
}

void TAVPanel::Init(TAVPlayer::TNotify onFullScreen, TAVControlPanel::TNotify onSeekDone,
                    TAVPlayer::TOnOpenProgress onOpenProgress) {
  FPageList = new TPageList(this);
  QWidget* page = FPageList->AddPage();
  FPlayer = new TPlayerWidget(page);
  FPlayer->setGeometry(page->rect());
  TAVPlayer& player = FPlayer->Player();
  player.OnOpenProgress = std::move(onOpenProgress);
  FOnFullScreen = std::move(onFullScreen);
  player.OnFullScreen = [this] { FullScreenSwitched(); };
  player.OnFileChange = [this] { UpdateCaption(); };
  player.OnErrorText = [](int32_t code, std::string& text, const std::string& argument,
                          const std::string& detail) {
    text = ComposePlayerErrorText(code, QString::fromStdString(argument),
                                  QString::fromStdString(detail))
               .toStdString();
  };
  connect(FPlayer, &TPlayerWidget::MouseMoved, this, &TAVPanel::PlayerMouseMove);

  FControlPanel = new TAVControlPanel(this);
  FControlPanel->Init(player, std::move(onSeekDone));
  LayoutChildren();
  UpdateCaption();
  ReportVideoMode();
}

// ---- Layout and painting ----

void TAVPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutChildren();
}

bool TAVPanel::event(QEvent* event) {
  // The control strip's font changed the height it needs: the video area makes room.
  if (event->type() == QEvent::LayoutRequest && FControlPanel &&
      FControlPanel->Height() != FControlPanel->height())
    LayoutChildren();
  return QWidget::event(event);
}

void TAVPanel::LayoutChildren() {
  if (!FControlPanel) return;
  const int panelHeight = FControlPanel->Height();
  if (IsFullScreen()) {
    FPageList->setGeometry(rect());
  } else {
    int h = height() - panelHeight - 2 * kVideoMargin;
    int w = width() - 2 * kVideoMargin;
    int h2 = h;
    const double ratio = AspectRatio();
    if (ratio > 0) {
      // nearbyint rounds halves to the even neighbour.
      h2 = int(std::nearbyint(w / ratio));
      if (h < h2) {
        h2 = h;
        w = int(std::nearbyint(ratio * h));
      }
    }
    const QRect area((width() - w) / 2, kVideoMargin, std::max(0, w), std::max(0, h2));
    const bool sameSize = FPageList->size() == area.size();
    FPageList->setGeometry(area);
    // Only the place changed, which the player does not see by itself: its
    // output must follow all the same.
    if (sameSize) FPlayer->Player().Reposition();
  }
  PlaceControlPanel();
  // Set here as well as by the containers, so that it holds before they are shown.
  QWidget* page = FPlayer->parentWidget();
  page->setGeometry(FPageList->rect());
  FPlayer->setGeometry(page->rect());
}

void TAVPanel::PlaceControlPanel() {
  const int panelHeight = FControlPanel->Height();
  FControlPanel->setGeometry(0, height() - panelHeight, width(), panelHeight);
}

void TAVPanel::paintEvent(QPaintEvent* event) {
  if (!FPageList) return;
  QPainter painter(this);
  if (FSkinActive) return PaintSkinBackground(*this, painter, event->rect());
  const QColor face = palette().color(QPalette::Button);
  const QColor shadow = palette().color(QPalette::Dark);
  QLinearGradient back(0, 0, 0, height());
  back.setColorAt(0, LightenColor(face, 8));
  back.setColorAt(1, DarkenColor(face, 4));
  painter.fillRect(rect(), back);
  const QRect frame = FPageList->geometry().adjusted(-1, -1, 1, 1);
  QLinearGradient edge(frame.topLeft(), frame.bottomLeft());
  edge.setColorAt(0, DarkenColor(shadow, 4));
  edge.setColorAt(1, LightenColor(shadow, 32));
  painter.fillRect(frame, edge);
}

// ---- Opening and closing ----

void TAVPanel::ShowAdPanel(TOptions& options) {
  if (FAdPanel || !FPageList) return;
  auto* panel = new TMirraAdPanel(options);
  // The player draws into a window of its own, which a plain widget could not cover.
  panel->setAttribute(Qt::WA_NativeWindow);
  panel->Init(FPageList->Pages(0));
  panel->raise();
  FAdPanel = panel;
}

TMirraAdPanel* TAVPanel::AdPanel() const {
  return static_cast<TMirraAdPanel*>(FAdPanel.data());
}

void TAVPanel::PlayList(TAVPlayList* list, uint8_t /*mode*/) {
  if (!list) return Close();
  delete FAdPanel.data();
  // A later PlayList or a Close while this one looks for its files wins.
  if (FPresenceCancel) FPresenceCancel->store(true);
  const auto cancel = std::make_shared<std::atomic<bool>>(false);
  FPresenceCancel = cancel;
  std::vector<std::string> paths;
  paths.reserve(size_t(list->Count()));
  for (int i = 0; i < list->Count(); ++i) paths.push_back(list->Strings(i));
  std::vector<char> present;
  const bool checked = CheckFilesPresent(paths, cancel, present);
  if (FPresenceCancel == cancel) FPresenceCancel.reset();
  // Nothing else may have changed the list meanwhile either.
  if (!checked || list->Count() != int(paths.size())) return;
  QStringList missing;
  std::unique_ptr<TAVPlayList> existing = PresentEntries(paths, present, missing);
  // The player always plays a copy: it leaves out what cannot be opened, and
  // the list the user opened (and may save again) must lose no entry.
  // The old copy stays alive until the player has let go of it.
  std::unique_ptr<TAVPlayList> previous = std::move(FPresentList);
  FPresentList = std::move(existing);
  TAVPlayList* playing = FPresentList.get();
  if (!missing.isEmpty()) ShowInfo(MissingFilesMessage(missing));
  FListTitle = QString::fromStdString(list->Name());
  FPlayer->Player().OpenPlayList(playing, AVParams.VideoMode);
  QStringList leftOut;
  for (const std::string& path : FPlayer->Player().LeftOutFiles())
    leftOut << QFile::decodeName(QByteArray::fromStdString(path));
  if (!leftOut.isEmpty()) ShowInfo(LeftOutFilesMessage(leftOut));
  // A list that plays whole carries its timing itself.
  if (playing->Count() == list->Count() && playing->AllItemsKnown())
    for (int i = 0; i < playing->Count(); ++i) {
      const TPlayListItem* item = playing->GetItem(i);
      list->SetItemInfo(i, item->FrameCount(), item->FrameRate(), item->StartFrame());
    }
  FControlPanel->SetPlayList(playing);
  ReportVideoMode();
  if (OnFileLoaded) OnFileLoaded(IsOpen());
}

void TAVPanel::PlayFile(const QString& path, uint8_t mode) {
  PlayNativeFile(path.isEmpty() ? std::string() : QFile::encodeName(path).toStdString(), mode);
}

void TAVPanel::PlayNativeFile(const std::string& path, uint8_t mode) {
  if (path.empty()) {
    Close();
  } else {
    TAVPlayList single;
    single.Add(path);
    PlayList(&single, mode);
    ReportVideoMode();
  }
  // A single file shows no ticks.
  FControlPanel->SetPlayList(nullptr);
}

void TAVPanel::Close() {
  if (FPresenceCancel) FPresenceCancel->store(true);
  FListTitle.clear();
  FPlayer->Player().OpenPlayList(nullptr, AVParams.VideoMode);
  FControlPanel->SetPlayList(nullptr);
  ReportVideoMode();
  if (OnFileLoaded) OnFileLoaded(false);
}

void TAVPanel::ReportVideoMode() {
  if (!OnVideoMode) return;
  const TAVPlayer* player = Player();
  OnVideoMode(player && player->IsOpen() ? player->VideoMode() : AVParams.VideoMode);
}

void TAVPanel::UpdateCaption() {
  TAVPlayer& player = FPlayer->Player();
  TOpenSummary open;
  open.Files = player.FileCount();
  open.TotalFrames = player.TotalFrames();
  if (open.Files >= 1) player.CountKinds(open.Videos, open.Pictures, open.FirstIsPicture);
  open.FileListCaption = QString::fromStdString(player.FileListCaption());
  FControlPanel->SetCaption(VideoPanelCaption(open, FListTitle));
}

void TAVPanel::SetListTitle(const QString& title) {
  if (title == FListTitle) return;
  FListTitle = title;
  UpdateCaption();
}

// ---- Queries and forwarding ----

bool TAVPanel::IsOpen() const {
  return FPlayer && FPlayer->Player().IsOpen();
}

bool TAVPanel::IsFullScreen() const {
  return FPlayer && FPlayer->Player().FullScreen();
}

void TAVPanel::SetFullScreen(bool on) {
  if (FPlayer) FPlayer->Player().SetFullScreen(on);
}

bool TAVPanel::ToggleFullScreen() {
  if (!FPlayer || FPlayer->Player().FileCount() < 1) return false;
  SetFullScreen(!IsFullScreen());
  return true;
}

QString TAVPanel::CurrentFilePath() const {
  return FPlayer ? QString::fromStdString(FPlayer->Player().CurrentFilePath()) : QString();
}

bool TAVPanel::CurrentIsPhoto() const {
  return FPlayer && FPlayer->Player().CurrentIsPhoto();
}

TMediaInfo TAVPanel::GetMediaInfo() const {
  return FPlayer ? FPlayer->Player().GetMediaInfo() : TMediaInfo{};
}

bool TAVPanel::SaveFrame(const QString& fileName) {
  return FPlayer && FPlayer->SaveFrame(fileName);
}

void TAVPanel::Reposition() {
  if (FPlayer) FPlayer->Player().Reposition();
}

void TAVPanel::SetSkinActive(bool on) {
  FSkinActive = on;
  if (FPlayer) FPlayer->Player().SetSkinActive(on);
  if (FControlPanel) FControlPanel->SetSkinActive(on);
  update();
}

void TAVPanel::SetPopupMenu(QMenu* menu) {
  if (FPlayer) FPlayer->SetPopupMenu(menu);
}

void TAVPanel::SetControlPanelVisible(bool visible) {
  if (!FControlPanel) return;
  FControlPanel->setVisible(visible);
  if (!visible) return;
  // A native window shown again may come back where it was when it hid.
  PlaceControlPanel();
  FControlPanel->raise();
}

void TAVPanel::ResetMousePos() {
  FLastMouse = QPoint(-1, -1);
}

// ---- Keys, mouse and full screen ----

int32_t SeekKeyMs(int key, Qt::KeyboardModifiers shift) {
  const Qt::KeyboardModifiers held =
      shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  int32_t sign = 0;
  bool arrowSideways = false;
  switch (key) {
    case Qt::Key_Left:
      sign = -1, arrowSideways = true;
      break;
    case Qt::Key_Right:
      sign = 1, arrowSideways = true;
      break;
    case Qt::Key_Down:
      sign = -1;
      break;
    case Qt::Key_Up:
      sign = 1;
      break;
    default:
      return 0;
  }
  if (held == Qt::ControlModifier) return sign * (arrowSideways ? kShortSeekMs : kLongSeekMs);
  if (held == Qt::ShiftModifier) return sign * kLongSeekMs;
  return 0;
}

void TAVPanel::HandleKey(int& key, Qt::KeyboardModifiers shift) {
  if (!FPlayer) return;
  TAVPlayer& player = FPlayer->Player();
  const uint8_t state = player.State();
  const int32_t files = player.FileCount();
  // The loudness is the user's whether or not anything plays; Shift may be
  // needed to type + at all.
  if (!(shift & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
    TVolumeControl& volume = TVolumeControl::Instance();
    switch (key) {
      case Qt::Key_Plus:
      case Qt::Key_Equal:
        volume.Step(1);
        key = 0;
        return;
      case Qt::Key_Minus:
        volume.Step(-1);
        key = 0;
        return;
      case Qt::Key_M:
        volume.ToggleMute();
        key = 0;
        return;
      default:
        break;
    }
  }
  const int32_t seek = SeekKeyMs(key, shift);
  if (seek != 0) {
    if (files >= 1) {
      player.SeekByMs(seek);
      key = 0;
    }
    return;
  }
  switch (key) {
    case Qt::Key_Escape:
      // Full screen is left first; only then does Esc stop.
      if (IsFullScreen()) {
        key = 0;
        SetFullScreen(false);
      } else if (state == psPlaying || state == psPaused) {
        key = 0;
        player.SetState(psStopped);
      }
      break;
    case Qt::Key_Space:
      if (state == psStopped || state == psPaused) {
        key = 0;
        player.SetState(psPlaying);
      } else if (state == psPlaying) {
        key = 0;
        player.SetState(psPaused);
      }
      break;
    case Qt::Key_End:
    case Qt::Key_Home:
      if (files >= 1) {
        player.NavigateKey(key == Qt::Key_End ? nkEnd : nkHome);
        key = 0;
      }
      break;
    case Qt::Key_Left:
    case Qt::Key_Right:
      if (files >= 2) {
        player.NavigateKey(key == Qt::Key_Left ? nkLeft : nkRight);
        key = 0;
      }
      break;
    default:
      break;
  }
}

void TAVPanel::PlayerMouseMove(const QPoint& position) {
  TAVPlayer& player = FPlayer->Player();
  if (!player.FullScreen() || position == FLastMouse) return;
  FLastMouse = position;
  player.ShowCursor(true);
  if (position.y() < height() - FControlPanel->Height()) {
    FControlPanel->hide();
    player.SetCursorAutoHide(true);
  } else {
    SetControlPanelVisible(true);
    FControlPanel->repaint();
    // The pointer stays visible while it is over the controls.
    player.SetCursorAutoHide(false);
  }
}

void TAVPanel::FullScreenSwitched() {
  const bool on = IsFullScreen();
  if (on) {
    ResetMousePos();
    SetControlPanelVisible(false);
  }
  if (FOnFullScreen) FOnFullScreen();
  if (!on) SetControlPanelVisible(true);
  LayoutChildren();
}

}  // namespace vexo
