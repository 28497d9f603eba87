// The video panel and its control strip on real windows of a private X
// server, with sound going to a private PulseAudio null sink: ticks, dragging
// the position bar, the time labels, the buttons per play state, error texts,
// missing playlist entries and full screen.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/common/error_words.h"
#include "app/common/language_list.h"
#include "app/common/menu_system.h"
#include "app/common/ms_action.h"
#include "app/common/text_utils.h"
#include "app/player/av_panel.h"
#include "app/player/elided_label.h"
#include "app/player/page_list.h"
#include "app/player/player_error_text.h"
#include "app/player/player_widget.h"
#include "app/player/present_files.h"
#include "app/player/sound_track_menu.h"
#include "app/player/tick_bar.h"
#include "app/player/track_bar.h"
#include "app/player/video_panel_texts.h"
#include "app/player/video_popup_rules.h"
#include "app/player/volume_control.h"
#include "app/settings/options.h"
#include "app/shell/command_table.h"
#include "app/shell/mirra_ad_panel.h"
#include "engine/input/audio_streams.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/playlist/av_playlist.h"
#include "event_wait.h"
#include "panel_fit.h"
#include "platform/platform_sound_system.h"
#include "platform/termination_signals.h"
#include "platform/video_system.h"
#include "qt_test_app.h"
#include "tests/support/captured_log.h"
#include "tests/support/desktop_app.h"
#include "tests/support/frame_bars.h"
#include "tests/support/input_fuzz.h"
#include "tests/support/monitor_recorder.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

// Real windows on a private X server, and sound on a private null sink.
class TPanelDesktop : public test::TDesktopApp {
 public:
  TPanelDesktop() : TDesktopApp("video_panel_test", {.Sound = true}, true) {}
  void SetUp() override {
    TDesktopApp::SetUp();
    if (!Ready()) return;
    CreateLog(nullptr, 0);
    LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
  }
  void TearDown() override {
    FreeLog();
    TDesktopApp::TearDown();
  }
};

TPanelDesktop* const desktop = test::AddDesktopApp<TPanelDesktop>();

using test::Settle;
using test::WaitFor;

int FrameNumberOf(const QImage& picture) {
  return test::FrameNumberFromBars(picture.width(), picture.height(),
                                   [&](int x, int y) { return qGray(picture.pixel(x, y)); });
}

// A window holding the panel, switching to full screen as the page would.
class VideoPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop->Ready());
    test::LoadMediaLib();
    AVParams.VideoMode = vmRaster;
    Window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(Window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    Panel = new TAVPanel(Window.get());
    layout->addWidget(Panel);
    Panel->Init([this] { SwitchFullScreen(); }, [this] { ++SeekDone; }, {});
    Window->resize(800, 600);
    Window->show();
    ASSERT_TRUE(WaitFor([this] { return Panel->PlayerWidget()->isVisible(); }));
  }
  void TearDown() override { Window.reset(); }

  void SwitchFullScreen() {
    if (Panel->IsFullScreen()) {
      Normal = Window->geometry();
      Window->showFullScreen();
      // Without a window manager nobody else resizes the window.
      Window->setGeometry(Window->screen()->geometry());
    } else {
      Window->showNormal();
      Window->setGeometry(Normal);
    }
  }

  TAVPlayer& Player() { return *Panel->Player(); }
  TAVControlPanel& Controls() { return *Panel->ControlPanel(); }
  TCTrackBar& Bar() { return *Controls().PositionBar(); }

  // The message named the one entry left out of a list of three, and the other
  // two play.
  void ExpectOneLeftOutAndTheRestPlaying(const test::TBoxRecorder& boxes, const TAVPlayList& list,
                                         const QString& message) {
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Kind, TMsgKind::Info);
    EXPECT_EQ(boxes.Boxes[0].Text, message);
    // The list the user opened loses no entry; what plays leaves one out.
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(Player().FileCount(), 2);
    EXPECT_EQ(Controls().TickBar()->Marks().size(), 3u);
    Player().SetState(psPlaying);
    EXPECT_TRUE(WaitFor([&] { return Player().Position() > 10; }));
    EXPECT_EQ(Player().State(), psPlaying);
  }

  // Opens the files as one playlist.
  void OpenList(const std::vector<std::string>& names, TAVPlayList& list) {
    for (const std::string& name : names)
      list.Add(name.front() == '/' ? name : test::MediaPath(name));
    Panel->PlayList(&list, vmRaster);
  }

  int SnapshotFrame() {
    const QString file = Dir.filePath("snap.jpg");
    if (!Panel->SaveFrame(file)) return -1;
    return FrameNumberOf(QImage(file));
  }

  // Presses, drags through `xs` and releases on the last one, in bar pixels.
  void Drag(const std::vector<int>& xs) {
    const int y = Bar().height() / 2;
    QTest::mousePress(&Bar(), Qt::LeftButton, Qt::NoModifier, QPoint(xs.front(), y));
    for (size_t i = 1; i < xs.size(); ++i) {
      QMouseEvent move(QEvent::MouseMove, QPointF(xs[i], y), Bar().mapToGlobal(QPointF(xs[i], y)),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&Bar(), &move);
      StatesWhileDragging.push_back(Player().State());
    }
    QTest::mouseRelease(&Bar(), Qt::LeftButton, Qt::NoModifier, QPoint(xs.back(), y));
  }

  std::unique_ptr<QWidget> Window;
  TAVPanel* Panel = nullptr;
  QRect Normal;
  int SeekDone = 0;
  std::vector<uint8_t> StatesWhileDragging;
  QTemporaryDir Dir;
};

// ---- Ticks ----

TEST_F(VideoPanelTest, TicksSitAtTheFileBoundariesOfAThreeFileList) {
  TAVPlayList list;
  OpenList({"numbered_h264.mp4", "h264_aac.mp4", "numbered_mpeg4.avi"}, list);
  ASSERT_EQ(Player().FileCount(), 3);
  TTickBar& ticks = *Controls().TickBar();
  ASSERT_TRUE(ticks.isVisible());
  // The ticks line up with the centre of the bar's handle at each item's start.
  const int half = TCTrackBar::kThumbWidth / 2;
  const double usable = ticks.width() - TCTrackBar::kThumbWidth;
  double totalMs = 0;
  for (int i = 0; i < list.Count(); ++i) totalMs += list.GetItem(i)->DurationMs();
  std::vector<int> expected;
  for (int i = 0; i < list.Count(); ++i) {
    const TPlayListItem& item = *list.GetItem(i);
    const double startMs = item.StartFrame() * 1000.0 / item.FrameRate();
    expected.push_back(int(std::lround(usable * startMs / totalMs + half)));
  }
  expected.push_back(half + int(usable));
  ASSERT_EQ(ticks.Marks().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(ticks.Marks()[i], expected[i], 1) << i;
  EXPECT_EQ(ticks.x(), Bar().x());
  EXPECT_EQ(ticks.width(), Bar().width());

  // Painted there: the glyph's foot is dark under each mark and not between.
  Settle();
  const QImage shot = ticks.grab().toImage();
  for (int mark : ticks.Marks()) {
    EXPECT_LT(qGray(shot.pixel(mark, TTickBar::kGlyphSize - 1)), 160) << "tick at " << mark;
  }
  const int between = (ticks.Marks()[0] + ticks.Marks()[1]) / 2;
  EXPECT_GT(qGray(shot.pixel(between, TTickBar::kGlyphSize - 1)), 160);
  // The handle's centre goes to a tick at that item's start.
  EXPECT_NEAR(Bar().XOfPosition(14000), ticks.Marks()[2], 1);
}

struct TMarksCase {
  const char* Name;
  std::vector<std::pair<int32_t, double>> Items;  // frames, frame rate
  int Width;
  std::vector<int32_t> Marks;
};

class TickLayoutTest : public ::testing::TestWithParam<TMarksCase> {};

TEST_P(TickLayoutTest, MarksFollowTheDurations) {
  const TMarksCase& c = GetParam();
  TAVPlayList list;
  int32_t start = 0;
  for (size_t i = 0; i < c.Items.size(); ++i) {
    list.Add("item" + std::to_string(i));
    list.SetItemInfo(int(i), c.Items[i].first, c.Items[i].second, start);
    start += c.Items[i].first;
  }
  TTickBar ticks;
  ticks.SetThumbWidth(11);
  ticks.resize(c.Width, TTickBar::kHeight);
  ticks.SetMarks(&list);
  EXPECT_EQ(ticks.Marks(), c.Marks);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, TickLayoutTest,
    ::testing::Values(
        // 10 s, 20 s and 30 s over 600 usable pixels: 1/6 and 1/2 of the way.
        TMarksCase{"TenTwentyThirty", {{250, 25}, {500, 25}, {750, 25}}, 611, {5, 105, 305, 605}},
        // Halves go to the even neighbour: 49.5 + 5 gives 54 and not 55.
        TMarksCase{"HalfRoundsToEven", {{1, 1}, {1, 1}}, 110, {5, 54, 104}},
        // No timing at all: every inner mark at the start.
        TMarksCase{"NoDuration", {{0, 25}, {0, 25}, {0, 25}}, 211, {5, 5, 5, 205}},
        TMarksCase{"OneItem", {{50, 25}}, 111, {5, 105}}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- The position bar ----

TEST_F(VideoPanelTest, DraggingAcrossATickSeeksAndReleaseLandsOnTheExactFrame) {
  TAVPlayList list;
  OpenList({"numbered_h264.mp4", "h264_aac.mp4", "numbered_mpeg4.avi"}, list);
  ASSERT_EQ(Player().FileCount(), 3);
  Player().SetState(psPlaying);
  ASSERT_TRUE(WaitFor([&] { return Player().Position() > 5; }));

  const std::vector<int>& marks = Controls().TickBar()->Marks();
  // From inside the first file, across the second, into the third.
  const int from = Bar().ThumbRect().center().x();
  const int to = marks[2] + (marks[3] - marks[2]) * 2 / 5;
  Drag({from, marks[1] + 3, (marks[1] + marks[2]) / 2, to - 7, to});

  for (uint8_t state : StatesWhileDragging) EXPECT_EQ(state, psTracking);
  EXPECT_EQ(Player().State(), psPaused);
  EXPECT_EQ(SeekDone, 1);
  const int32_t ms = Bar().PositionOfX(to);
  const TPlayListItem& third = *list.GetItem(2);
  const int32_t expected =
      third.StartFrame() + int32_t(std::floor((ms - 14000) * third.FrameRate() / 1000.0 + 1e-6));
  EXPECT_NEAR(Player().Position(), expected, 1);
  // The picture shown is exactly the frame at the position.
  EXPECT_EQ(SnapshotFrame(), Player().Position() - third.StartFrame());
  // The bar snaps to the frame's own time; the labels follow.
  EXPECT_EQ(Bar().Position(), Player().FrameToMs(Player().Position()));
  EXPECT_EQ(Controls().TimeLabel()->text(), ClockText(Bar().Position()));
  EXPECT_EQ(Controls().CaptionLabel()->text(), "Item 3 of 3: numbered_mpeg4.avi");

  // Back into the first file: found by searching backwards.
  Drag({Bar().ThumbRect().center().x(), marks[0] + 40});
  EXPECT_EQ(Controls().ItemIndex(), 0);
  EXPECT_EQ(SnapshotFrame(), Player().Position());
  EXPECT_EQ(Controls().CaptionLabel()->text(), "Item 1 of 3: numbered_h264.mp4");
}

TEST_F(VideoPanelTest, AClickBesideTheHandleJumpsThereAndPauses) {
  Panel->PlayFile(QString::fromStdString(test::MediaPath("numbered_mpeg4.avi")), vmRaster);
  ASSERT_TRUE(Panel->IsOpen());
  const int x = Bar().width() * 3 / 4;
  Drag({x});
  EXPECT_EQ(Player().State(), psPaused);
  EXPECT_NEAR(Bar().XOfPosition(Bar().Position()), x, 1);
  EXPECT_EQ(SnapshotFrame(), Player().Position());
  EXPECT_GT(Player().Position(), 200);
}

TEST_F(VideoPanelTest, TheWheelAndTheKeyboardLeaveTheBarAlone) {
  Panel->PlayFile(QString::fromStdString(test::MediaPath("numbered_mpeg4.avi")), vmRaster);
  const QPointF at(Bar().width() / 2.0, Bar().height() / 2.0);
  QWheelEvent wheel(at, Bar().mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&Bar(), &wheel);
  EXPECT_EQ(Bar().Position(), 0);
  EXPECT_EQ(Player().State(), psStopped);
  EXPECT_EQ(Bar().focusPolicy(), Qt::NoFocus);
}

// Counts the paint events of a widget and the area they cover.
class TPaintCounter : public QObject {
 public:
  explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++Count;
      Area = Area.united(static_cast<QPaintEvent*>(event)->rect());
    }
    return false;
  }
  int Count = 0;
  QRect Area;
};

TEST_F(VideoPanelTest, APositionRepaintsOnlyTheStripTheHandleCrossed) {
  Panel->PlayFile(QString::fromStdString(test::MediaPath("numbered_mpeg4.avi")), vmRaster);
  Bar().SetPosition(6000);
  Settle();
  TPaintCounter paints(&Bar());
  // One millisecond does not move the handle by a pixel: nothing to paint.
  Bar().SetPosition(6001);
  Settle();
  EXPECT_EQ(paints.Count, 0);
  Bar().SetPosition(6400);
  Settle();
  EXPECT_GE(paints.Count, 1);
  EXPECT_LT(paints.Area.width(), 2 * TCTrackBar::kThumbWidth + 40) << paints.Area.width();
  EXPECT_LE(paints.Area.left(), Bar().XOfPosition(6000) - TCTrackBar::kThumbWidth / 2);
  EXPECT_GE(paints.Area.right(), Bar().XOfPosition(6400) + TCTrackBar::kThumbWidth / 2);
}

// ---- Labels and buttons ----

TEST_F(VideoPanelTest, LabelsShowThePositionAndTheDuration) {
  EXPECT_EQ(Controls().TimeLabel()->text(), "00:00:00");
  EXPECT_EQ(Controls().TotalLabel()->text(), " / 00:00:00");
  EXPECT_EQ(Controls().CaptionLabel()->text(), "Video:");
  Panel->PlayFile(QString::fromStdString(test::MediaPath("numbered_h264.mp4")), vmRaster);
  EXPECT_EQ(Controls().TotalLabel()->text(), " / 00:00:12");
  EXPECT_EQ(Controls().CaptionLabel()->text(), "Video: numbered_h264.mp4");
  // A single file shows no ticks.
  EXPECT_TRUE(Controls().TickBar()->Marks().empty());
  Player().SeekToFrame(137);  // 5.48 s
  EXPECT_EQ(Controls().TimeLabel()->text(), "00:00:05");
  EXPECT_EQ(Bar().Position(), 5480);
  Player().SetState(psPaused);
  Player().SetState(psStopped);
  EXPECT_EQ(Controls().TimeLabel()->text(), "00:00:00");
  EXPECT_EQ(Bar().Position(), 0);
  // The labels do not overlap and stay inside the strip.
  EXPECT_LE(Controls().TimeLabel()->geometry().right(), Controls().TotalLabel()->x());
  EXPECT_LE(Controls().CaptionLabel()->geometry().right(), Controls().TimeLabel()->x());
  EXPECT_LE(Controls().TotalLabel()->geometry().right(), Controls().width());
}

TEST_F(VideoPanelTest, ButtonsFollowThePlayState) {
  QToolButton& stop = *Controls().Button(TAVControlPanel::biStop);
  QToolButton& play = *Controls().Button(TAVControlPanel::biPlay);
  EXPECT_FALSE(stop.isEnabled());
  EXPECT_FALSE(play.isEnabled());
  EXPECT_FALSE(Bar().isEnabled());

  Panel->PlayFile(QString::fromStdString(test::MediaPath("numbered_h264.mp4")), vmRaster);
  EXPECT_TRUE(stop.isEnabled());
  EXPECT_TRUE(play.isEnabled());
  EXPECT_TRUE(Bar().isEnabled());
  const qint64 playGlyph = play.icon().cacheKey();

  QTest::mouseClick(&play, Qt::LeftButton);
  EXPECT_EQ(Player().State(), psPlaying);
  EXPECT_NE(play.icon().cacheKey(), playGlyph) << "the button shows Pause while playing";
  ASSERT_TRUE(WaitFor([&] { return Player().Position() > 10; }));
  QTest::mouseClick(&play, Qt::LeftButton);
  EXPECT_EQ(Player().State(), psPaused);
  EXPECT_EQ(play.icon().cacheKey(), playGlyph);
  EXPECT_GT(Bar().Position(), 0);

  // Play/Pause does nothing while the bar is held.
  QTest::mousePress(&Bar(), Qt::LeftButton, Qt::NoModifier, Bar().ThumbRect().center());
  EXPECT_EQ(Player().State(), psTracking);
  QTest::mouseClick(&play, Qt::LeftButton);
  EXPECT_EQ(Player().State(), psTracking);
  QTest::mouseRelease(&Bar(), Qt::LeftButton, Qt::NoModifier, Bar().ThumbRect().center());
  EXPECT_EQ(Player().State(), psPaused);

  QTest::mouseClick(&stop, Qt::LeftButton);
  EXPECT_EQ(Player().State(), psStopped);
  EXPECT_EQ(Bar().Position(), 0);

  Panel->Close();
  EXPECT_FALSE(stop.isEnabled());
  EXPECT_FALSE(Bar().isEnabled());
  EXPECT_EQ(Controls().CaptionLabel()->text(), "Video:");
}

TEST_F(VideoPanelTest, ASinglePictureLeavesTheControlsDisabled) {
  Panel->PlayFile(QString::fromStdString(test::MediaPath("photo_640x480.jpg")), vmRaster);
  ASSERT_TRUE(Panel->IsOpen());
  EXPECT_FALSE(Controls().Button(TAVControlPanel::biPlay)->isEnabled());
  EXPECT_FALSE(Bar().isEnabled());
  EXPECT_FALSE(Controls().TickBar()->isVisible());
  EXPECT_EQ(Controls().CaptionLabel()->text(), "Picture: photo_640x480.jpg");
}

// ---- Errors and missing files ----

// The rows of the picture that hold light pixels: the error text's extent.
struct TTextBox {
  int Top = -1, Bottom = -1, Left = -1, Right = -1;
};
TTextBox LightBox(const QImage& shot) {
  TTextBox box;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      if (qGray(shot.pixel(x, y)) <= 160) continue;
      if (box.Top < 0) box.Top = y;
      box.Bottom = y;
      if (box.Left < 0 || x < box.Left) box.Left = x;
      box.Right = std::max(box.Right, x);
    }
  return box;
}

// A user reads which file failed and why in plain words, at the size of a
// message; the library's numbers and the input file's own texts go to the log.
TEST_F(VideoPanelTest, AFileThatCannotBeOpenedIsNamedWithItsProblemInPlainWords) {
  // A picture stream in a format the library knows by name but cannot decode:
  // an MJPEG clip whose stream claims AVS2.
  std::vector<uint8_t> bytes = test::ReadBytes(test::MediaPath("mjpeg.avi"));
  for (size_t i = 0; i + 4 <= bytes.size(); ++i)
    if (std::memcmp(&bytes[i], "MJPG", 4) == 0) std::memcpy(&bytes[i], "AVS2", 4);
  const std::string avs2 = Dir.filePath("avs2.avi").toStdString();
  ASSERT_TRUE(test::WriteBytes(avs2, bytes));
  const struct {
    std::string Path;
    QString Text;
    std::string Logged;
  } cases[] = {
      {test::MediaPath("not_media.avi"),
       "The file \"not_media.avi\" could not be opened.\r\nThis file is damaged or not a video.",
       "not_media.avi: ErrorCode -1094995529 on av_open_input_file"},
      {avs2,
       "The file \"avs2.avi\" could not be opened.\r\nThis video format is not supported: AVS2",
       "avs2.avi: Can't find video decoder, codec_id = "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    test::TBoxRecorder boxes;
    test::TCapturedLog log;
    Panel->PlayFile(QString::fromStdString(c.Path), vmRaster);
    EXPECT_FALSE(Panel->IsOpen());
    EXPECT_TRUE(boxes.Boxes.empty());
    EXPECT_EQ(Player().ErrorCode(), peOpen);
    EXPECT_EQ(QString::fromStdString(Player().ErrorText()), c.Text);
    const std::vector<std::string>& lines = log.Lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.rfind(c.Logged, 0) == 0;
    })) << c.Logged;
    // Drawn on the picture area, light on the dark background: two lines of a
    // readable size, whole within the area.
    Settle(200);
    const QImage shot = Panel->PlayerWidget()->grab().toImage();
    // To be looked at.
    shot.save(
        QString(VEXO_BIN_DIR "/../error-text-%1.png").arg(QFileInfo(c.Path.c_str()).baseName()));
    const TTextBox box = LightBox(shot);
    ASSERT_GE(box.Top, 0);
    EXPECT_GT(box.Bottom - box.Top, 20);
    EXPECT_LT(box.Bottom - box.Top, 80);
    EXPECT_GT(box.Left, 0);
    EXPECT_LT(box.Right, shot.width() - 1);
    EXPECT_FALSE(Controls().Button(TAVControlPanel::biPlay)->isEnabled());
  }
}

TEST_F(VideoPanelTest, AMissingFileIsDroppedWithAMessageAndTheRestPlays) {
  test::TBoxRecorder boxes;
  const std::string missing = Dir.filePath("gone.mp4").toStdString();
  TAVPlayList list;
  OpenList({"numbered_h264.mp4", missing, "h264_aac.mp4"}, list);
  ExpectOneLeftOutAndTheRestPlaying(
      boxes, list,
      "These files were not found and have been left out of the playlist:\n\n\t" +
          QString::fromStdString(missing));
}

// A damaged file among good ones (random bytes named .mp4) does not block
// the folder: it is named in a message, as missing files are, and the rest
// plays.
TEST_F(VideoPanelTest, ADamagedFileIsLeftOutWithAMessageAndTheRestPlays) {
  test::TBoxRecorder boxes;
  const std::string bad = Dir.filePath("bad.mp4").toStdString();
  std::vector<uint8_t> bytes(300 * 1024);
  uint32_t x = 7;
  for (uint8_t& b : bytes) b = uint8_t((x = x * 1664525u + 1013904223u) >> 24);
  ASSERT_TRUE(test::WriteBytes(bad, bytes));
  TAVPlayList list;
  OpenList({"numbered_h264.mp4", bad, "h264_aac.mp4"}, list);
  ExpectOneLeftOutAndTheRestPlaying(
      boxes, list,
      "These files could not be opened and have been left out of the playlist:\n\n\t" +
          QString::fromStdString(bad));
}

// The list the user opened keeps the entries whose files are missing (saving
// it loses none); what plays leaves them out.
TEST_F(VideoPanelTest, MissingEntriesStayInTheListThatWasOpened) {
  test::TBoxRecorder boxes;
  const std::string missing = Dir.filePath("gone.mp4").toStdString();
  TAVPlayList list;
  OpenList({missing, "numbered_h264.mp4", "h264_aac.mp4"}, list);
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Strings(0), missing);
  EXPECT_EQ(Player().FileCount(), 2);
  EXPECT_EQ(Controls().TickBar()->Marks().size(), 3u);
  // A list that plays whole carries its timing itself.
  TAVPlayList whole;
  OpenList({"numbered_h264.mp4", "h264_aac.mp4"}, whole);
  EXPECT_TRUE(whole.AllItemsKnown());
  EXPECT_EQ(boxes.Boxes.size(), 1u);
}

// A name is bytes: a file whose name is not valid UTF-8 is found and plays,
// from a list and on its own.
TEST_F(VideoPanelTest, ANameThatIsNotTextIsFoundAndPlays) {
  test::TBoxRecorder boxes;
  const std::string odd = QFile::encodeName(Dir.path()).toStdString() + "/caf\xE9 \xFF.mp4";
  ASSERT_TRUE(std::filesystem::copy_file(test::MediaPath("numbered_h264.mp4"), odd));
  TAVPlayList list;
  OpenList({odd, "h264_aac.mp4"}, list);
  EXPECT_TRUE(boxes.Boxes.empty());
  EXPECT_EQ(Player().FileCount(), 2);
  Panel->PlayNativeFile(odd, vmRaster);
  EXPECT_TRUE(Panel->IsOpen());
  EXPECT_EQ(Player().FileCount(), 1);
  EXPECT_TRUE(boxes.Boxes.empty());
}

// A long list is looked through on a worker: meanwhile the interface serves
// its events, and a terminate signal is heard and ends the open at once.
TEST_F(VideoPanelTest, ALongListIsCheckedWhileTheInterfaceRuns) {
  test::TBoxRecorder boxes;
  TAVPlayList list;
  for (int i = 0; i < 100000; ++i)
    list.Add(Dir.filePath("gone" + QString::number(i) + ".mp4").toStdString());
  list.Add(test::MediaPath("numbered_h264.mp4"));
  bool served = false;
  QTimer::singleShot(0, [&] { served = true; });
  Panel->PlayList(&list, vmRaster);
  EXPECT_TRUE(served);
  EXPECT_EQ(list.Count(), 100001);
  EXPECT_EQ(Player().FileCount(), 1);
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Text.split('\n').size(), 2 + 13);

  TTerminationSignals ending;
  bool heard = false;
  QObject::connect(&ending, &TTerminationSignals::Received, [&] {
    heard = true;
    Panel->Close();
  });
  QTimer::singleShot(0, [] { ::raise(SIGTERM); });
  Panel->PlayList(&list, vmRaster);
  EXPECT_TRUE(heard);
  EXPECT_FALSE(Panel->IsOpen());
  EXPECT_EQ(boxes.Boxes.size(), 1u);
}

// The library's and the system's numbers reach the user as words; the
// designed texts that are not numbers pass unchanged.
TEST(ErrorWords, CodesBecomeWords) {
  const struct {
    const char* Detail;
    const char* Words;
  } media[] = {
      {"ErrorCode -13 on av_open_input_file", "Permission denied."},
      {"ErrorCode -24 on av_open_input_file", "Too many files are open."},
      {"ErrorCode -1094995529 on av_find_stream_info", "This file is damaged or not a video."},
      {"Failed to decode 1st frame", "This file is damaged or not a video."},
      {"No video stream found", "This file is damaged or not a video."},
      {"Bad video stream (width=0)", "This file is damaged or not a video."},
      {"Unknown video format", "This video format is not supported: x.avi"},
      {"The video screen could not be created", "The video screen could not be created"},
      {"ErrorCode -2 on av_open_input_file", "It was not found."},
      {"ErrorCode -5 on av_open_input_file", "It could not be read."},
      {"ErrorCode -99999999 on av_open_input_file", "It could not be read."},
      {"", ""},
  };
  for (const auto& c : media) EXPECT_EQ(MediaErrorWords(c.Detail, "x.avi"), c.Words) << c.Detail;
  EXPECT_EQ(SystemErrorWords(EACCES), "Permission denied.");
  EXPECT_EQ(SystemErrorWords(EMFILE), "Too many files are open.");
  const QString text =
      ComposePlayerErrorText(peOpen, "x.avi", "ErrorCode -24 on av_open_input_file");
  EXPECT_EQ(text, "The file \"x.avi\" could not be opened.\r\nToo many files are open.");
  // A text without plain words keeps its label.
  EXPECT_EQ(ComposePlayerErrorText(peScreen, "x.avi", "The video screen could not be created"),
            "The picture of \"x.avi\" could not be shown.\r\nError: The video screen could not "
            "be created");
}

TEST(MissingFilesMessage, NamesTwelveAndAddsTheDriveHintForDetachableMounts) {
  std::vector<std::string> paths{VEXO_SOURCE_DIR "/CMakeLists.txt"};
  for (int i = 0; i < 14; ++i) paths.push_back("/media/stick/clip" + std::to_string(i) + ".avi");
  const std::atomic<bool> never{false};
  QStringList missing;
  const auto present = PresentEntries(paths, FilesPresent(paths, never), missing);
  ASSERT_EQ(present->Count(), 1);
  EXPECT_EQ(present->Strings(0), paths[0]);
  const QStringList lines = MissingFilesMessage(missing).split('\n');
  ASSERT_EQ(lines.size(), 2 + 13 + 2);
  EXPECT_EQ(lines[2], "\t/media/stick/clip0.avi");
  EXPECT_EQ(lines[13], "\t/media/stick/clip11.avi");
  EXPECT_EQ(lines[14], "\t............");
  EXPECT_EQ(lines[15], "");
  EXPECT_EQ(lines[16], "They may be on a drive that is not connected.");

  EXPECT_FALSE(MissingFilesMessage({"/home/me/a.avi", "/media/x/b.avi"}).contains("drive"));
  EXPECT_TRUE(MissingFilesMessage({}).isEmpty());
}

// ---- Full screen ----

TEST_F(VideoPanelTest, FullScreenHidesTheControlsAndTheMouseBringsThemBack) {
  Panel->PlayFile(QString::fromStdString(test::MediaPath("numbered_h264.mp4")), vmRaster);
  const QRect normalArea = Panel->PageList()->geometry();
  EXPECT_EQ(normalArea.topLeft(), QPoint(8, 8));
  EXPECT_EQ(normalArea.bottom() + 1 + 8, Controls().y());

  ASSERT_TRUE(Panel->ToggleFullScreen());
  ASSERT_TRUE(WaitFor([&] { return Window->size() == Window->screen()->size(); }));
  Settle();
  EXPECT_TRUE(Panel->IsFullScreen());
  EXPECT_FALSE(Controls().isVisible());
  EXPECT_EQ(Panel->PageList()->geometry(), Panel->rect());
  EXPECT_EQ(Panel->LastMouse(), QPoint(-1, -1));

  TPlayerWidget& picture = *Panel->PlayerWidget();
  const int bottom = picture.height() - 10;
  auto moveTo = [&](int y) {
    QMouseEvent move(QEvent::MouseMove, QPointF(100, y), picture.mapToGlobal(QPointF(100, y)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&picture, &move);
  };
  moveTo(bottom);
  EXPECT_TRUE(Controls().isVisible());
  EXPECT_EQ(Controls().geometry().bottom(), Panel->height() - 1);
  // The controls are drawn over the picture, not under it.
  Settle(200);
  const QImage shot = Window->screen()->grabWindow(Window->winId()).toImage();
  const QImage own = Controls().grab().toImage();
  for (const QPoint at : {Bar().mapTo(&Controls(), Bar().ThumbRect().center()), QPoint(300, 3)})
    EXPECT_EQ(shot.pixelColor(Controls().mapTo(Window.get(), at)), own.pixelColor(at))
        << at.x() << "," << at.y();

  moveTo(100);
  EXPECT_FALSE(Controls().isVisible());
  // The same position again changes nothing.
  Panel->SetControlPanelVisible(true);
  moveTo(100);
  EXPECT_TRUE(Controls().isVisible());

  Panel->SetFullScreen(false);
  ASSERT_TRUE(WaitFor([&] { return Window->geometry() == Normal; }));
  Settle();
  EXPECT_FALSE(Panel->IsFullScreen());
  EXPECT_TRUE(Controls().isVisible());
  EXPECT_EQ(Panel->PageList()->geometry(), normalArea);
}

TEST_F(VideoPanelTest, ToggleFullScreenNeedsAnOpenFile) {
  EXPECT_FALSE(Panel->ToggleFullScreen());
  EXPECT_FALSE(Panel->IsFullScreen());
}

// ---- Layout and look ----

class TFourThreePanel : public TAVPanel {
 public:
  using TAVPanel::TAVPanel;
  double AspectRatio() const override { return 4.0 / 3.0; }
};

TEST(VideoPanelLayout, AFixedRatioCentresTheVideoAreaAboveTheControls) {
  QWidget window;
  auto* panel = new TFourThreePanel(&window);
  panel->Init({}, {}, {});
  panel->setGeometry(0, 0, 800, 600);
  window.show();
  ASSERT_TRUE(WaitFor([&] { return panel->isVisible(); }));
  // 784 x 514 is left; 4:3 at 514 high is 685 wide (685.33), centred.
  EXPECT_EQ(panel->PageList()->geometry(), QRect(57, 8, 685, 514));
  EXPECT_EQ(panel->ControlPanel()->geometry(), QRect(0, 530, 800, 70));
  EXPECT_EQ(panel->PlayerWidget()->size(), QSize(685, 514));
}

// One page shows at a time, filling the container; the keyboard focus moves
// with it when it was on the page before.
TEST(PageListTest, TheActivePageFillsTheContainerAndTakesTheFocus) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(5, 5, 5, 5);
  auto* pages = new TPageList;
  layout->addWidget(pages);
  QWidget* first = pages->AddPage();
  auto* firstEdit = new QLineEdit(first);
  QWidget* second = pages->AddPage();
  auto* secondEdit = new QLineEdit(second);
  EXPECT_EQ(pages->PageCount(), 2);
  EXPECT_EQ(pages->ActivePage(), second);
  window.resize(300, 200);
  window.show();
  ASSERT_TRUE(WaitFor([&] { return second->isVisible(); }));
  EXPECT_FALSE(first->isVisible());

  secondEdit->setFocus();
  pages->SetActivePage(first);
  window.resize(420, 260);
  Settle();
  EXPECT_TRUE(first->isVisible());
  EXPECT_FALSE(second->isVisible());
  EXPECT_EQ(first->geometry(), pages->rect());
  EXPECT_EQ(pages->size(), QSize(410, 250));
  EXPECT_EQ(window.focusWidget(), firstEdit);
}

TEST_F(VideoPanelTest, ASkinStylesTheStripsInsteadOfTheGradient) {
  const QPoint inside(300, 35);
  const QColor plain = Controls().grab().toImage().pixelColor(inside);
  qApp->setStyleSheet("#ControlPanel { background-color: rgb(20, 180, 40); }");
  Panel->SetSkinActive(true);
  EXPECT_EQ(Controls().grab().toImage().pixelColor(inside), QColor(20, 180, 40));
  Panel->SetSkinActive(false);
  qApp->setStyleSheet(QString());
  EXPECT_EQ(Controls().grab().toImage().pixelColor(inside), plain);
  EXPECT_NE(plain, QColor(20, 180, 40));
}

// A skin that gives the time labels a larger font shows them whole: each as
// wide as its text in that font, inside the strip, the playing time left of
// the total.
TEST_F(VideoPanelTest, ASkinsFontShowsTheTimeLabelsWhole) {
  Panel->PlayFile(QString::fromStdString(test::MediaPath("mjpeg.avi")), vmRaster);
  ASSERT_TRUE(Panel->IsOpen());
  qApp->setStyleSheet("#TimeLabel, #TotalLabel { font: bold 22px; }");
  Panel->SetSkinActive(true);
  QCoreApplication::processEvents();
  for (QLabel* label : {Controls().TimeLabel(), Controls().TotalLabel()}) {
    SCOPED_TRACE(label->objectName().toStdString());
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    EXPECT_LE(label->geometry().right(), Controls().width());
  }
  EXPECT_LE(Controls().TimeLabel()->geometry().right(), Controls().TotalLabel()->x());
  Panel->SetSkinActive(false);
  qApp->setStyleSheet(QString());
}

// ---- Room for longer texts and larger fonts ----

struct TFitCase {
  const char* Name;
  double FontScale;  // of the desktop's font
  int Repeats;       // the caption or the link that many times over
  int Width;         // of the window
};

void PrintTo(const TFitCase& c, std::ostream* out) {
  *out << c.Name;
}

class PanelFitTest : public VideoPanelTest, public ::testing::WithParamInterface<TFitCase> {
 protected:
  void SetUp() override {
    VideoPanelTest::SetUp();
    if (HasFatalFailure()) return;
    QFont font = Window->font();
    font.setPixelSize(int(std::lround(QFontInfo(font).pixelSize() * GetParam().FontScale)));
    Window->setFont(font);
    Window->resize(GetParam().Width, 600);
  }
  QString Longer(const QString& text) const {
    return QStringList(GetParam().Repeats, text).join(' ');
  }
};

TEST_P(PanelFitTest, TheControlStripKeepsItsControlsWholeAndApart) {
  // Two files, so that there are ticks to see.
  TAVPlayList list;
  OpenList({"numbered_h264.mp4", "h264_aac.mp4"}, list);
  ASSERT_TRUE(Panel->IsOpen());
  TAVControlPanel& strip = Controls();
  strip.SetCaption(Longer(strip.CaptionText()));
  Settle();
  ASSERT_TRUE(strip.TickBar()->isVisible());
  test::ExpectControlsFit(
      &strip,
      {strip.Button(TAVControlPanel::biStop), strip.Button(TAVControlPanel::biPlay),
       strip.CaptionLabel(), strip.TimeLabel(), strip.TotalLabel(), strip.PositionBar(),
       strip.TickBar(), strip.MuteButton(), strip.VolumeBar()},
      QString("control-strip-") + GetParam().Name);
  // A caption longer than its room is cut short, not cut through.
  const auto* caption = qobject_cast<TElidedLabel*>(strip.CaptionLabel());
  ASSERT_TRUE(caption);
  if (GetParam().Repeats > 1) {
    EXPECT_NE(caption->ShownText(), strip.CaptionText());
  }
  // The ticks stay under the bar's channel, the strip along the bottom and
  // the picture above it.
  const QRect bar = Bar().geometry(), channel = Bar().ChannelRect();
  EXPECT_EQ(strip.TickBar()->geometry(),
            QRect(bar.x() + channel.x(), bar.bottom() + 1, channel.width(), TTickBar::kHeight));
  EXPECT_GE(strip.height(), TAVControlPanel::kHeight);
  EXPECT_EQ(strip.geometry().bottom(), Panel->height() - 1);
  // The late-video line across the foot of the ticks, clear of the bar.
  strip.LagIndicator()->show();
  const QRect lag = strip.LagIndicator()->geometry();
  EXPECT_EQ(lag.top(), strip.TickBar()->y() + 6);
  EXPECT_TRUE(strip.rect().contains(lag));
  EXPECT_FALSE(lag.intersects(bar));
  EXPECT_EQ(Panel->PageList()->geometry().bottom() + 1 + 8, strip.y());
}

TEST_P(PanelFitTest, TheSiblingProductLinkStaysWholeUnderThePicture) {
  TOptions options(VEXO_BIN_DIR);
  Panel->ShowAdPanel(options);
  TMirraAdPanel& ad = *Panel->AdPanel();
  ad.HideLink()->setText(Longer(ad.HideLink()->text()));
  Settle();
  test::ExpectControlsFit(&ad, {ad.HideLink()}, QString("sibling-panel-") + GetParam().Name);
  EXPECT_EQ(ad.Strip()->geometry().bottom(), ad.height() - 1);
  EXPECT_GE(ad.Strip()->height(), TMirraAdPanel::kStripHeight);
  // The link is centred across the panel.
  const QRect link = test::PlaceIn(&ad, ad.HideLink());
  EXPECT_NEAR(link.center().x(), ad.width() / 2, 1);
  delete Panel->AdPanel();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PanelFitTest,
    ::testing::Values(TFitCase{"WiderFont", 1.5, 1, 800}, TFitCase{"LongerTexts", 1, 6, 800},
                      TFitCase{"WiderFontLongerTextsNarrowWindow", 1.5, 6, 560},
                      // Too large for the usual height: the strip grows.
                      TFitCase{"MuchWiderFont", 2.5, 1, 800}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- Volume ----

// The loudness of the recording around one moment: the root mean square of
// the left channel from `from` to `to`.
double RecordedLevel(const test::TMonitorRecorder::Take& take,
                     test::TMonitorRecorder::Clock::time_point from,
                     test::TMonitorRecorder::Clock::time_point to) {
  double energy = 0;
  int64_t count = 0;
  for (size_t i = 0; i < take.left.size(); ++i) {
    const auto at = take.At(int64_t(i));
    if (at < from || at >= to) continue;
    energy += double(take.left[i]) * take.left[i];
    ++count;
  }
  return count > 0 ? std::sqrt(energy / double(count)) : -1;
}

// The first moment from `from` on at which 5 ms of the recording are below
// `level`: when a change was heard.
test::TMonitorRecorder::Clock::time_point HeardBelow(const test::TMonitorRecorder::Take& take,
                                                     test::TMonitorRecorder::Clock::time_point from,
                                                     double level) {
  const auto window = test::TMonitorRecorder::FrameTime(test::TMonitorRecorder::kRate / 200);
  for (auto at = from; at < take.At(int64_t(take.left.size())); at += window / 5)
    if (RecordedLevel(take, at, at + window) < level) return at;
  return test::TMonitorRecorder::Clock::time_point::max();
}

// The slider, the mute key, the wheel over the picture: the null sink's level
// follows each at once, falling and rising, and the controls show it.
TEST_F(VideoPanelTest, TheVolumeControlsSetTheLoudnessHeardAtOnce) {
  using Clock = test::TMonitorRecorder::Clock;
  TVolumeControl& volume = TVolumeControl::Instance();
  volume.Set({1, false});
  test::TMonitorRecorder recorder(desktop->Desktop->PulseAddress(), test::TTestDesktop::kNullSink,
                                  10);
  ASSERT_TRUE(recorder.connected);
  ASSERT_TRUE(recorder.WaitReceiving(std::chrono::seconds(10)));
  // A fresh sink's window of silence rendered ahead has to run out first.
  Settle(3000);
  Panel->PlayFile(QString::fromStdString(test::MediaPath("sound_long.avi")), vmRaster);
  Player().SetState(psPlaying);
  ASSERT_EQ(Player().State(), psPlaying);
  Settle(1500);

  TCTrackBar& slider = *Controls().VolumeBar();
  std::vector<Clock::time_point> changes;
  const auto change = [&](const std::function<void()>& act) {
    changes.push_back(Clock::now());
    act();
    Settle(800);
  };
  change(
      [&] { QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(slider.XOfPosition(50), 10)); });
  // Half way, to the pixel.
  const int clicked = slider.Position();
  EXPECT_NEAR(clicked, 50, 2);
  EXPECT_EQ(volume.Volume(), (TSoundVolume{clicked / 100.0, false}));
  change([&] {
    int key = Qt::Key_M;
    Panel->HandleKey(key, Qt::NoModifier);
    EXPECT_EQ(key, 0);
  });
  EXPECT_TRUE(Controls().MuteButton()->isChecked());
  change([&] { QTest::mouseClick(Controls().MuteButton(), Qt::LeftButton); });
  EXPECT_FALSE(Controls().MuteButton()->isChecked());
  change([&] {
    QWidget* picture = Panel->PlayerWidget();
    const QPointF at(picture->width() / 2, picture->height() / 2);
    QWheelEvent wheel(at, picture->mapToGlobal(at), QPoint(), QPoint(0, 120 * 10), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(picture, &wheel);
  });
  EXPECT_EQ(slider.Position(), 100);
  // Over the slider the wheel sets it too, a step a notch (the slider passes
  // the wheel on to the strip).
  const QPointF onSlider = slider.geometry().center();
  QWheelEvent down(onSlider, Controls().mapToGlobal(onSlider), QPoint(), QPoint(0, -120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&Controls(), &down);
  EXPECT_EQ(slider.Position(), 95);
  const auto end = Clock::now();
  // The strip with its loudness controls, plain and in a skin, to be looked at.
  Controls().grab().save(VEXO_BIN_DIR "/../control-panel-volume.png");
  QFile sheet(VEXO_SOURCE_DIR "/resources/Skins/BlueIce.qss");
  ASSERT_TRUE(sheet.open(QIODevice::ReadOnly));
  qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
  Panel->SetSkinActive(true);
  QCoreApplication::processEvents();
  Controls().grab().save(VEXO_BIN_DIR "/../control-panel-volume-skin.png");
  Panel->SetSkinActive(false);
  qApp->setStyleSheet(QString());
  Player().SetState(psPaused);
  ASSERT_TRUE(recorder.WaitRecorded(end, std::chrono::seconds(10)));
  const test::TMonitorRecorder::Take take = recorder.Recorded();

  // Each level from a little after its change to its next change.
  std::vector<double> levels;
  changes.push_back(end);
  // Clear of both changes: the recording's clock is only as good as the
  // moments its fragments arrive.
  const auto margin = std::chrono::milliseconds(150);
  levels.push_back(
      RecordedLevel(take, changes[0] - std::chrono::milliseconds(800), changes[0] - margin));
  for (size_t i = 0; i + 1 < changes.size(); ++i)
    levels.push_back(RecordedLevel(take, changes[i] + margin, changes[i + 1] - margin));
  const double full = levels[0];
  ASSERT_GT(full, 1000) << "the tone was not heard";
  // Half way on the slider is an eighth of the amplitude, as the sound
  // server's scale goes.
  const double half = SoundVolumeFactor(clicked / 100.0);
  EXPECT_NEAR(levels[1] / full, half, 0.03);
  EXPECT_LT(levels[2] / full, 0.01);
  EXPECT_NEAR(levels[3] / full, half, 0.03);
  EXPECT_NEAR(levels[4] / full, 1, 0.1);
  // Heard within 50 ms of the change: the slider's fall and the mute.
  for (size_t i : {size_t(0), size_t(1)}) {
    const auto heard = HeardBelow(take, changes[i] - std::chrono::milliseconds(20),
                                  (levels[i] + levels[i + 1]) / 2);
    const auto lag = std::chrono::duration_cast<std::chrono::milliseconds>(heard - changes[i]);
    std::printf("change %zu heard after %lld ms\n", i, (long long)lag.count());
    EXPECT_LT(lag.count(), 50) << "change " << i;
  }
}

// ---- Sound tracks ----

// Amplitude of the tone `hz` in the recording from `from` for `length`.
double RecordedTone(const test::TMonitorRecorder::Take& take,
                    test::TMonitorRecorder::Clock::time_point from,
                    test::TMonitorRecorder::Clock::duration length, double hz) {
  using Clock = test::TMonitorRecorder::Clock;
  const double step = 2 * M_PI * hz / test::TMonitorRecorder::kRate;
  double re = 0, im = 0;
  int64_t k = 0;
  for (size_t i = 0; i < take.left.size(); ++i) {
    const Clock::time_point at = take.At(int64_t(i));
    if (at < from || at >= from + length) continue;
    re += take.left[i] * std::cos(step * double(k));
    im -= take.left[i] * std::sin(step * double(k));
    ++k;
  }
  return k > 0 ? 2 * std::hypot(re, im) / double(k) : 0;
}

// The video pop-up menu of the page, on a menu system of its own.
class SoundTrackMenuTest : public VideoPanelTest {
 protected:
  void SetUp() override {
    VideoPanelTest::SetUp();
    ForgetAudioStreams();
    TVolumeControl::Instance().Set({1, false});
    // The window owns it.
    Menus = new TMenuSystem(Window.get(), PlayerCommandTable(), CommandImages());
    Popup = Menus->BuildPopupMenu(kVideoPopupCommands);
    Panel->SetPopupMenu(Popup);
    Panel->PlayerWidget()->OnPopupOpening = [this] { FillSoundTrackMenu(*Menus, Player()); };
    Menus->SetCommandHandler(mvSoundTrack, [this](TMSAction& action) {
      if (action.IsListEntry()) ChooseSoundTrack(Player(), action.SubIndex());
    });
  }
  void TearDown() override {
    ForgetAudioStreams();
    VideoPanelTest::TearDown();
  }
  // The Sound track item of the pop-up menu as it opens now.
  QAction* TrackItem() {
    Panel->PlayerWidget()->PopupOpening();
    for (QAction* action : Popup->actions())
      if (action->menu() && action->data().toInt() == mvSoundTrack) return action;
    return nullptr;
  }
  QList<QAction*> Entries() {
    QAction* item = TrackItem();
    return item ? item->menu()->actions() : QList<QAction*>();
  }
  TMenuSystem* Menus = nullptr;
  QMenu* Popup = nullptr;
};

// A file with two sound tracks: the menu offers both, the first checked;
// choosing the second while playing changes the tone heard without a break
// and without the pictures going back; the choice is checked and comes back
// when the file is played again. A file with one track offers no choice.
TEST_F(SoundTrackMenuTest, ChoosingATrackChangesTheToneHeardAndIsKeptForTheFile) {
  using Clock = test::TMonitorRecorder::Clock;
  using std::chrono::milliseconds;
  test::TMonitorRecorder recorder(desktop->Desktop->PulseAddress(), test::TTestDesktop::kNullSink,
                                  10);
  ASSERT_TRUE(recorder.connected);
  ASSERT_TRUE(recorder.WaitReceiving(std::chrono::seconds(10)));
  // Plays for a while from where the picture is, then pauses and takes what was heard.
  struct TPlayed {
    Clock::time_point Start, End;
    bool Recorded = false;
    test::TMonitorRecorder::Take Take;
  };
  auto playFor = [&](int ms) {
    TPlayed played;
    played.Start = Clock::now();
    Player().SetState(psPlaying);
    Settle(ms);
    played.End = Clock::now();
    Player().SetState(psPaused);
    played.Recorded = recorder.WaitRecorded(played.End, std::chrono::seconds(10));
    if (played.Recorded) played.Take = recorder.Recorded();
    return played;
  };
  Settle(3000);
  const QString clip = QString::fromStdString(test::MediaPath("numbered_two_tracks.mkv"));
  Panel->PlayFile(clip, vmRaster);
  ASSERT_TRUE(Panel->IsOpen());
  QList<QAction*> entries = Entries();
  ASSERT_EQ(entries.size(), 2);
  EXPECT_EQ(entries[0]->text(), "Track 1: English (aac, Stereo)");
  EXPECT_EQ(entries[1]->text(), "Track 2: German (Commentary)");
  EXPECT_TRUE(entries[0]->isChecked());
  EXPECT_FALSE(entries[1]->isChecked());
  EXPECT_TRUE(TrackItem()->isVisible());
  // The menu and its list as the user sees them, to be looked at.
  Popup->popup(Window->mapToGlobal(QPoint(100, 100)));
  TrackItem()->menu()->popup(Window->mapToGlobal(QPoint(100 + Popup->width(), 100)));
  Settle(300);
  Window->screen()->grabWindow(0).save(VEXO_BIN_DIR "/../sound-track-menu.png");
  TrackItem()->menu()->hide();
  Popup->hide();

  Player().SetState(psPlaying);
  ASSERT_EQ(Player().State(), psPlaying);
  Settle(2500);
  entries = Entries();
  // Usable while playing.
  ASSERT_TRUE(TrackItem()->isEnabled());
  const Clock::time_point switched = Clock::now();
  const int32_t start = Player().Position();
  int32_t position = start;
  entries[1]->trigger();
  // The pictures run on from where they were.
  int32_t lowest = Player().Position();
  const Clock::time_point until = switched + milliseconds(3000);
  while (Clock::now() < until) {
    Settle(50);
    lowest = std::min(lowest, Player().Position());
    EXPECT_GE(Player().Position(), position);
    position = Player().Position();
  }
  EXPECT_GE(lowest, start);
  EXPECT_GT(position, start + 50);
  EXPECT_EQ(Player().State(), psPlaying);
  const Clock::time_point end = Clock::now();
  Player().SetState(psPaused);
  ASSERT_TRUE(recorder.WaitRecorded(end, std::chrono::seconds(10)));
  const test::TMonitorRecorder::Take take = recorder.Recorded();

  const auto window = milliseconds(200);
  const double before = RecordedTone(take, switched - milliseconds(600), window, 440);
  ASSERT_GT(before, 1000) << "the first track was not heard";
  EXPECT_LT(RecordedTone(take, switched - milliseconds(600), window, 1320), before / 10);
  const double after = RecordedTone(take, end - milliseconds(400), window, 1320);
  EXPECT_GT(after, 1000) << "the second track was not heard";
  EXPECT_LT(RecordedTone(take, end - milliseconds(400), window, 440), after / 10);
  // When the new tone was heard, and that the sound ran on: at most the
  // stretch between the old stream's last packet and the new one's first is
  // silent.
  Clock::time_point heard = Clock::time_point::max();
  int silentMs = 0;
  for (Clock::time_point at = switched; at + milliseconds(20) < end; at += milliseconds(10)) {
    if (RecordedLevel(take, at, at + milliseconds(20)) < before / 4) silentMs += 10;
    if (heard == Clock::time_point::max() &&
        RecordedTone(take, at, milliseconds(20), 1320) > after / 2)
      heard = at;
  }
  std::printf("silent for %d ms around the switch\n", silentMs);
  EXPECT_LE(silentMs, 100);
  ASSERT_NE(heard, Clock::time_point::max());
  const auto lag = std::chrono::duration_cast<milliseconds>(heard - switched).count();
  std::printf("the second track was heard %lld ms after the choice\n", (long long)lag);
  EXPECT_LT(lag, 2000);

  entries = Entries();
  ASSERT_EQ(entries.size(), 2);
  EXPECT_TRUE(entries[1]->isChecked());

  // Another file, then this one again: the choice comes back.
  Panel->PlayFile(QString::fromStdString(test::MediaPath("numbered_h264.mp4")), vmRaster);
  EXPECT_TRUE(Entries().isEmpty());
  EXPECT_FALSE(TrackItem()->isVisible());
  Panel->PlayFile(clip, vmRaster);
  entries = Entries();
  ASSERT_EQ(entries.size(), 2);
  EXPECT_TRUE(entries[1]->isChecked());
  const TPlayed second = playFor(1500);
  ASSERT_TRUE(second.Recorded);
  const double replayed = RecordedTone(second.Take, second.End - milliseconds(600), window, 1320);
  EXPECT_GT(replayed, 1000);
  EXPECT_LT(RecordedTone(second.Take, second.Start, second.End - second.Start, 440), replayed / 10);

  // Chosen while paused, the first track plays from the picture on show.
  ASSERT_EQ(Player().State(), psPaused);
  const int32_t paused = Player().Position();
  Entries()[0]->trigger();
  EXPECT_EQ(Player().Position(), paused);
  EXPECT_TRUE(Entries()[0]->isChecked());
  const TPlayed third = playFor(1200);
  ASSERT_TRUE(third.Recorded);
  const double first = RecordedTone(third.Take, third.Start + milliseconds(500), window, 440);
  EXPECT_GT(first, 1000);
  EXPECT_LT(RecordedTone(third.Take, third.Start + milliseconds(500), window, 1320), first / 10);
}

// ---- Keys ----

struct TKeyCase {
  const char* Name;
  const char* File;  // nullptr: nothing open
  int Files;         // how many times the file is in the list
  uint8_t State;
  int Key;
  bool Consumed;
  uint8_t After;
};

class VideoPanelKeyTest : public VideoPanelTest, public ::testing::WithParamInterface<TKeyCase> {};

TEST_P(VideoPanelKeyTest, TransportKeys) {
  const TKeyCase& c = GetParam();
  TAVPlayList list;
  if (c.File) OpenList(std::vector<std::string>(size_t(c.Files), c.File), list);
  if (c.State == psPlaying || c.State == psPaused) Player().SetState(psPlaying);
  if (c.State == psPaused) Player().SetState(psPaused);
  if (c.State == psTracking) Player().SetState(psTracking);
  ASSERT_EQ(Player().State(), c.State);
  int key = c.Key;
  Panel->HandleKey(key, Qt::NoModifier);
  EXPECT_EQ(key == 0, c.Consumed);
  EXPECT_EQ(Player().State(), c.After);
  if (Player().State() == psTracking) Player().SetState(psPaused);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, VideoPanelKeyTest,
    ::testing::Values(
        TKeyCase{"SpacePlays", "h264_aac.mp4", 1, psStopped, Qt::Key_Space, true, psPlaying},
        TKeyCase{"SpacePauses", "h264_aac.mp4", 1, psPlaying, Qt::Key_Space, true, psPaused},
        TKeyCase{"SpaceWhileClosed", nullptr, 0, psClosed, Qt::Key_Space, false, psClosed},
        TKeyCase{"SpaceWhileTracking", "h264_aac.mp4", 1, psTracking, Qt::Key_Space, false,
                 psTracking},
        TKeyCase{"EscStops", "h264_aac.mp4", 1, psPaused, Qt::Key_Escape, true, psStopped},
        TKeyCase{"EscWhenStopped", "h264_aac.mp4", 1, psStopped, Qt::Key_Escape, false, psStopped},
        TKeyCase{"HomeWithAFile", "h264_aac.mp4", 1, psStopped, Qt::Key_Home, true, psStopped},
        TKeyCase{"EndWhileClosed", nullptr, 0, psClosed, Qt::Key_End, false, psClosed},
        TKeyCase{"LeftWithOneFile", "h264_aac.mp4", 1, psStopped, Qt::Key_Left, false, psStopped},
        TKeyCase{"RightWithTwoFiles", "h264_aac.mp4", 2, psStopped, Qt::Key_Right, true, psStopped},
        TKeyCase{"OtherKey", "h264_aac.mp4", 1, psStopped, Qt::Key_A, false, psStopped}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- Caption and pop-up menu ----

struct TCaptionCase {
  const char* Name;
  TOpenSummary Open;
  const char* Title;
  const char* Caption;
};

class VideoCaptionTest : public ::testing::TestWithParam<TCaptionCase> {};

TEST_P(VideoCaptionTest, Composes) {
  const TCaptionCase& c = GetParam();
  EXPECT_EQ(VideoPanelCaption(c.Open, c.Title), c.Caption);
}

INSTANTIATE_TEST_SUITE_P(
    Opened, VideoCaptionTest,
    ::testing::Values(TCaptionCase{"Closed", {}, "", "Video:"},
                      TCaptionCase{"OneVideo", {1, 300, 1, 0, false, "a.mp4"}, "", "Video: a.mp4"},
                      TCaptionCase{"OnePicture", {1, 1, 0, 1, true, "p.jpg"}, "", "Picture: p.jpg"},
                      TCaptionCase{"TitledPictureFirst",
                                   {3, 700, 2, 1, true, "p.jpg ... b.mp4"},
                                   "Holiday",
                                   "Playlist: Holiday (1 picture, 2 videos)"},
                      TCaptionCase{"OneFileListKeepsItsTitle",
                                   {1, 300, 1, 0, false, "a.mp4"},
                                   "Trip",
                                   "Video: Trip (1 video)"},
                      TCaptionCase{"Untitled",
                                   {2, 600, 2, 0, false, "a.mp4 ... b.mp4"},
                                   "",
                                   "Playlist: Unnamed (2 videos)"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(VideoPopupRules, FullScreenShowsOnlyItsOwnItemAndPlayingEnablesOnlyIt) {
  struct TCase {
    int Command, Index;
    bool FullScreen;
    uint8_t State;
    bool Loaded, Visible, Enabled;
    bool TrackChoice = false;
  };
  const TCase cases[] = {
      {mvFullScreen, 0, false, psPlaying, true, true, true},
      {mTools_Options, 1, false, psPlaying, true, true, false},
      {mvSaveAs, 2, false, psPlaying, true, true, false},
      {mTools_Options, 1, false, psPaused, true, true, true},
      {mvSaveAs, 2, false, psPaused, true, true, true},
      {mvSaveAs, 2, false, psClosed, false, true, false},
      {mvFullScreen, 0, false, psClosed, false, true, false},
      {mvFullScreen, 0, true, psPlaying, true, true, true},
      {mTools_Options, 1, true, psPaused, true, false, true},
      // Subtitles are chosen while playing as well, but need a file.
      {mvSubtitles, 3, false, psPlaying, true, true, true},
      {mvSubtitles, 3, false, psClosed, false, true, false},
      {mvSubtitles, 3, true, psPlaying, true, false, true},
      // Sound track: with a choice, also while playing; none without one.
      {mvSoundTrack, 4, false, psPlaying, true, true, true, true},
      {mvSoundTrack, 4, false, psPaused, true, false, false, false},
      {mvSoundTrack, 4, true, psPlaying, true, false, true, true},
  };
  for (const TCase& c : cases) {
    const TPopupItemState item =
        VideoPopupItemState(c.Command, c.Index, c.FullScreen, c.State, c.Loaded, c.TrackChoice);
    EXPECT_EQ(item.Visible, c.Visible) << c.Command << " " << c.Index << " " << int(c.State);
    EXPECT_EQ(item.Enabled, c.Enabled) << c.Command << " " << c.Index << " " << int(c.State);
  }
}

}  // namespace
}  // namespace vexo
