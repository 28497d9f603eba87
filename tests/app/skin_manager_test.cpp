// Skins: which sheets the manager finds, what it does with a missing or bad
// one, and each shipped sheet on real widgets under a private X server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/common/dialog_btn_panel.h"
#include "app/player/ctrl_panel.h"
#include "app/shell/skin_manager.h"
#include "tests/support/unprivileged_files.h"
#include "xvfb_qt_app.h"

namespace vexo {
namespace {

const QString kShippedSkins = QStringLiteral(VEXO_SOURCE_DIR "/resources/Skins");

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(bytes);
}

// Keeps the warnings Qt gives while it lives (style sheet parse errors among them).
class TWarningCatcher {
 public:
  TWarningCatcher() {
    Current() = this;
    FPrevious = qInstallMessageHandler(&Handle);
  }
  ~TWarningCatcher() {
    qInstallMessageHandler(FPrevious);
    Current() = nullptr;
  }
  // Warnings that say a sheet or one of its parts could not be used.
  QStringList SheetWarnings() const {
    std::lock_guard<std::mutex> guard(FLock);
    QStringList found;
    for (const QString& text : FWarnings)
      if (text.contains("parse", Qt::CaseInsensitive) ||
          text.contains("Unknown property", Qt::CaseInsensitive) ||
          text.contains("stylesheet", Qt::CaseInsensitive) ||
          text.contains("QCss", Qt::CaseInsensitive) || text.contains("image", Qt::CaseInsensitive))
        found << text;
    return found;
  }

 private:
  static TWarningCatcher*& Current() {
    static TWarningCatcher* current = nullptr;
    return current;
  }
  static void Handle(QtMsgType type, const QMessageLogContext&, const QString& text) {
    TWarningCatcher* self = Current();
    if (!self || type == QtDebugMsg || type == QtInfoMsg) return;
    std::lock_guard<std::mutex> guard(self->FLock);
    self->FWarnings << text;
  }

  QtMessageHandler FPrevious = nullptr;
  mutable std::mutex FLock;
  QStringList FWarnings;
};

class SkinManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::XvfbQtApp()) << "Xvfb did not start";
    ASSERT_TRUE(FFolder.isValid());
    Skins.SetSkinFolder(FFolder.path());
  }
  void TearDown() override { qApp->setStyleSheet(QString()); }
  QString Path(const QString& name) const { return FFolder.filePath(name); }

  QTemporaryDir FFolder;
  TSkinManager Skins;
};

TEST_F(SkinManagerTest, NamesAreTheSheetsPresentAndNothingElse) {
  WriteFile(Path("Winter2003.qss"), "QWidget {}");
  WriteFile(Path("BlueIce.qss"), "QWidget {}");
  WriteFile(Path("desert.qss"), "QWidget {}");
  WriteFile(Path("Readme.txt"), "not a skin");
  WriteFile(Path("Golden.qss.bak"), "QWidget {}");
  ASSERT_TRUE(QDir(FFolder.path()).mkdir("Folder.qss"));
  EXPECT_EQ(Skins.SkinNames(), QStringList({"BlueIce", "desert", "Winter2003"}));

  ASSERT_TRUE(QFile::remove(Path("BlueIce.qss")));
  EXPECT_EQ(Skins.SkinNames(), QStringList({"desert", "Winter2003"}));

  Skins.SetSkinFolder(Path("missing"));
  EXPECT_TRUE(Skins.SkinNames().isEmpty());
  Skins.SetSkinFolder(QString());
  EXPECT_TRUE(Skins.SkinNames().isEmpty());
}

TEST_F(SkinManagerTest, OnAppliesTheSheetOffClearsItAndBothAreAnnounced) {
  WriteFile(Path("Retro.qss"), "QPushButton { color: #123456; }");
  WriteFile(Path("Golden.qss"), "QPushButton { color: #654321; }");
  QSignalSpy changes(&Skins, &TSkinManager::ActiveChanged);
  Skins.SetSkinName("Retro");
  EXPECT_FALSE(Skins.Active());
  EXPECT_TRUE(qApp->styleSheet().isEmpty()) << "a name alone switches nothing on";

  Skins.SetActive(true);
  EXPECT_TRUE(Skins.Active());
  EXPECT_TRUE(Skins.LastError().isEmpty());
  EXPECT_EQ(qApp->styleSheet(), "QPushButton { color: #123456; }");

  // Another skin while skins are on replaces the sheet without an off-on flicker.
  Skins.SetSkinName("Golden");
  EXPECT_EQ(qApp->styleSheet(), "QPushButton { color: #654321; }");
  // The settings file may spell the name in another case.
  Skins.SetSkinName("RETRO");
  EXPECT_EQ(qApp->styleSheet(), "QPushButton { color: #123456; }");

  Skins.SetActive(false);
  EXPECT_FALSE(Skins.Active());
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
  ASSERT_EQ(changes.count(), 2);
  EXPECT_TRUE(changes[0][0].toBool());
  EXPECT_FALSE(changes[1][0].toBool());
  // Off again changes nothing and says nothing.
  Skins.SetActive(false);
  EXPECT_EQ(changes.count(), 2);
}

struct TBadSkinCase {
  const char* Label;
  QString Name;
  QByteArray Bytes;  // written as Name.qss unless empty
  bool Unreadable = false;
};

void PrintTo(const TBadSkinCase& bad, std::ostream* out) {
  *out << bad.Label;
}

class SkinManagerBadSheetTest : public SkinManagerTest,
                                public ::testing::WithParamInterface<TBadSkinCase> {};

TEST_P(SkinManagerBadSheetTest, LeavesSkinsOffWithAReason) {
  const TBadSkinCase& bad = GetParam();
  WriteFile(Path("Good.qss"), "QPushButton { color: #123456; }");
  if (!bad.Bytes.isEmpty() || bad.Unreadable) WriteFile(Path(bad.Name + ".qss"), bad.Bytes);
  // Switching to it from a working skin must take that skin away too.
  Skins.SetSkinName("Good");
  Skins.SetActive(true);
  ASSERT_TRUE(Skins.Active());
  QSignalSpy changes(&Skins, &TSkinManager::ActiveChanged);

  std::optional<test::TUnprivilegedFiles> nobody;
  if (bad.Unreadable) {
    // The folder stays open to everyone: only the sheet itself is out of reach.
    QFile::setPermissions(FFolder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(Path(bad.Name + ".qss"), QFileDevice::Permissions());
    nobody.emplace();
    QFile probe(Path(bad.Name + ".qss"));
    ASSERT_TRUE(QFileInfo::exists(Path(bad.Name + ".qss")));
    ASSERT_FALSE(probe.open(QIODevice::ReadOnly)) << "the sheet is still readable";
  }
  Skins.SetSkinName(bad.Name);
  EXPECT_FALSE(Skins.Active());
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
  EXPECT_FALSE(Skins.LastError().isEmpty());
  ASSERT_EQ(changes.count(), 1);
  EXPECT_FALSE(changes[0][0].toBool());

  // Asked again from off, it stays off and announces nothing.
  Skins.SetActive(true);
  EXPECT_FALSE(Skins.Active());
  EXPECT_EQ(changes.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinManagerBadSheetTest,
    ::testing::Values(TBadSkinCase{"Missing", "Desert", {}}, TBadSkinCase{"EmptyName", "", {}},
                      TBadSkinCase{"OutsideTheFolder", "../Good", {}},
                      TBadSkinCase{"EmptyFile", "Blank", " \n\t\n"},
                      TBadSkinCase{"TooLarge", "Huge",
                                   QByteArray(TSkinManager::kMaxSheetBytes + 1, ' ') + "x{}"},
                      TBadSkinCase{"Unreadable", "Locked", "QWidget {}", true}),
    [](const ::testing::TestParamInfo<TBadSkinCase>& info) { return info.param.Label; });

TEST_F(SkinManagerTest, TheWarningNetCatchesASheetQtCannotParse) {
  WriteFile(Path("Broken.qss"), "QPushButton { color: #123456; ");
  TWarningCatcher warnings;
  Skins.SetSkinName("Broken");
  Skins.SetActive(true);
  QPushButton button("x");
  button.grab();
  EXPECT_FALSE(warnings.SheetWarnings().isEmpty());
}

// A window with one of every kind of widget the program shows, and panels of
// its own that are told when skins switch.
class TSampleWindow {
 public:
  explicit TSampleWindow(TSkinManager& skins) {
    Window.resize(640, 420);
    QMenu* menu = Window.menuBar()->addMenu("&File");
    menu->addAction("&Open");
    menu->addSeparator();
    QAction* checked = menu->addAction("Checked");
    checked->setCheckable(true);
    checked->setChecked(true);
    Window.menuBar()->addMenu("&Help");
    QToolBar* tools = Window.addToolBar("tools");
    tools->addAction("Play");
    tools->addSeparator();
    tools->addAction("Stop")->setEnabled(false);
    Window.statusBar()->addWidget(new QLabel("1 file"));

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    auto* tabs = new QTabWidget;
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    row->addWidget(new QPushButton("OK"));
    auto* disabled = new QPushButton("Off");
    disabled->setEnabled(false);
    row->addWidget(disabled);
    row->addWidget(new QCheckBox("Check"));
    auto* combo = new QComboBox;
    combo->addItems({"One", "Two"});
    row->addWidget(combo);
    row->addWidget(new QSpinBox);
    row->addWidget(new QLineEdit("text"));
    auto* progress = new QProgressBar;
    progress->setValue(40);
    row->addWidget(progress);
    tabs->addTab(page, "First");
    tabs->addTab(new QWidget, "Second");
    column->addWidget(tabs);

    auto* tree = new QTreeView;
    auto* model = new QStandardItemModel(40, 3, tree);
    model->setHorizontalHeaderLabels({"Name", "Size", "Date"});
    for (int r = 0; r < 40; ++r) model->setItem(r, 0, new QStandardItem(QString("clip %1").arg(r)));
    tree->setModel(model);
    tree->setCurrentIndex(model->index(1, 0));
    column->addWidget(tree, 1);

    Panel = new TCtrlPanel;
    Panel->setObjectName("ControlPanel");
    Panel->setFixedHeight(70);
    column->addWidget(Panel);
    auto* buttons = new TDialogBtnPanel(central);
    buttons->Setup(DlgBtns({bOK, bCancel, bDlgHelp}), true, 8, [](QPushButton*) {});
    column->addWidget(buttons);
    Window.setCentralWidget(central);
    QObject::connect(&skins, &TSkinManager::ActiveChanged, Panel, &TCtrlPanel::SetSkinActive);
  }
  // After the layouts have taken in the new sizes.
  QImage Picture() {
    // A layout that settles posts a request to its parent's: one round each.
    for (int round = 0; round < 4; ++round) QApplication::processEvents();
    return Window.grab().toImage();
  }

  QMainWindow Window;
  TCtrlPanel* Panel;
};

class ShippedSkinTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { ASSERT_TRUE(test::XvfbQtApp()) << "Xvfb did not start"; }
  void TearDown() override { qApp->setStyleSheet(QString()); }
};

TEST_P(ShippedSkinTest, ParsesWithoutWarningsAppliesAndClears) {
  TSkinManager skins;
  skins.SetSkinFolder(kShippedSkins);
  TSampleWindow sample(skins);
  sample.Window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&sample.Window));
  const QImage plain = sample.Picture();

  TWarningCatcher warnings;
  skins.SetSkinName(QString::fromStdString(GetParam()));
  skins.SetActive(true);
  ASSERT_TRUE(skins.Active()) << skins.LastError().toStdString();
  EXPECT_TRUE(sample.Panel->SkinActive());
  const QImage skinned = sample.Picture();
  // The menus draw only when open.
  QMenu* menu = sample.Window.menuBar()->actions().first()->menu();
  menu->popup(sample.Window.mapToGlobal(QPoint(10, 30)));
  menu->grab();
  menu->hide();
  EXPECT_EQ(warnings.SheetWarnings(), QStringList());
  EXPECT_NE(skinned, plain);

  skins.SetActive(false);
  EXPECT_FALSE(sample.Panel->SkinActive());
  EXPECT_EQ(sample.Picture(), plain) << "switching the skin off must give the old look back";
}

QStringList ShippedSkinNames() {
  TSkinManager skins;
  skins.SetSkinFolder(kShippedSkins);
  return skins.SkinNames();
}

std::vector<std::string> ShippedSkinList() {
  std::vector<std::string> names;
  for (const QString& name : ShippedSkinNames()) names.push_back(name.toStdString());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedSkinTest, ::testing::ValuesIn(ShippedSkinList()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

TEST(ShippedSkins, EveryPictureASheetNamesIsBesideIt) {
  const QRegularExpression picture(R"re(url\(\s*skin:([^)\s]+)\s*\))re");
  for (const QString& name : ShippedSkinNames()) {
    QFile sheet(kShippedSkins + "/" + name + ".qss");
    ASSERT_TRUE(sheet.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(sheet.readAll());
    for (auto m = picture.globalMatch(text); m.hasNext();) {
      const QString file = m.next().captured(1);
      EXPECT_TRUE(QFile::exists(kShippedSkins + "/" + file))
          << name.toStdString() << " names " << file.toStdString();
    }
    // Pictures are found only through the skin folder, never from wherever the program runs.
    EXPECT_FALSE(text.contains(QRegularExpression(R"re(url\(\s*(?!skin:))re")))
        << name.toStdString();
  }
}

TEST(ShippedSkins, ALightADarkAndAColouredSkinAreThere) {
  const QStringList names = ShippedSkinNames();
  for (const char* name : {"Office12Style", "DarkGlass", "BlueIce"})
    EXPECT_TRUE(names.contains(name)) << name;
}

}  // namespace
}  // namespace vexo
