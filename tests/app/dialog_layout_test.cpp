// Every dialog of the program as another language or another font leaves it,
// on a private X server: with its texts three times as long, with a font half
// as large again, with the font a skin names, and in each shipped skin. No
// control may be cut off, lie over another or stand outside the dialog. Each
// is kept as a picture for a look; run with QT_SCALE_FACTOR=1.5 the pictures
// get an "@1.5x" name.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <memory>

#include "app/playlist/playlist_dialog.h"
#include "app/settings/opt_dialog.h"
#include "app/shell/about_dialog.h"
#include "app/shell/portable_dialog.h"
#include "app/shell/skin_manager.h"
#include "picture_checks.h"
#include "settings_sandbox.h"
#include "xvfb_qt_app.h"

namespace vexo {
namespace {

enum class TDlg { Options, About, Portable, PlaylistSettings, PlaylistProgress };
enum class TStretch { Desktop, LongerTexts, BiggerFont, SkinFont, Skin };

struct TLayoutCase {
  const char* Name;
  TDlg Dialog;
  TStretch Stretch;
  const char* Skin = nullptr;  // a shipped skin, for TStretch::Skin
};

void PrintTo(const TLayoutCase& c, std::ostream* os) {
  *os << c.Name;
}

// The English file with every text three times as long; a placeholder stays
// in the first copy only, so that the texts still take their values.
QByteArray LongerLanguage() {
  QFile english(VEXO_SOURCE_DIR "/resources/language/English.lrf");
  if (!english.open(QIODevice::ReadOnly)) return {};
  QByteArray out;
  for (const QByteArray& line : english.readAll().split('\n')) {
    const qsizetype equals = line.indexOf('=');
    if (line.startsWith(';') || line.startsWith('[') || equals < 0) {
      out += line + '\n';
      continue;
    }
    const QByteArray value = line.mid(equals + 1).trimmed();
    QByteArray plain = value;
    plain.replace("%s", "").replace("%d", "");
    out += line.left(equals + 1) + value + ' ' + plain + ' ' + plain + '\n';
  }
  return out;
}

bool IsControl(const QWidget* widget) {
  return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QComboBox*>(widget) ||
         qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
         qobject_cast<const QAbstractScrollArea*>(widget) ||
         qobject_cast<const QProgressBar*>(widget) || qobject_cast<const QTabBar*>(widget) ||
         (qobject_cast<const QLabel*>(widget) &&
          !static_cast<const QLabel*>(widget)->text().isEmpty());
}

// Parts of a compound control (a spin box's edit, a list's scroll bars) are
// the control's own business.
bool InsideACompound(const QWidget* widget) {
  for (const QWidget* up = widget->parentWidget(); up; up = up->parentWidget())
    if (qobject_cast<const QAbstractSpinBox*>(up) || qobject_cast<const QComboBox*>(up) ||
        qobject_cast<const QAbstractScrollArea*>(up))
      return true;
  return false;
}

// What a control needs to show itself whole at its width.
QSize Needed(const QWidget* control) {
  const auto* label = qobject_cast<const QLabel*>(control);
  if (label && label->wordWrap())
    return {
        label->minimumSizeHint().width() > control->width() ? label->minimumSizeHint().width() : 0,
        label->heightForWidth(control->width())};
  // A text area scrolls what it does not show.
  if (qobject_cast<const QAbstractScrollArea*>(control)) return {0, 0};
  return control->sizeHint();
}

void ExpectNothingCut(QWidget* dialog) {
  std::vector<QWidget*> controls;
  for (QWidget* widget : dialog->findChildren<QWidget*>())
    if (widget->isVisibleTo(dialog) && IsControl(widget) && !InsideACompound(widget))
      controls.push_back(widget);
  ASSERT_FALSE(controls.empty());
  for (size_t a = 0; a < controls.size(); ++a) {
    const QWidget* control = controls[a];
    const std::string name = control->metaObject()->className() + std::string(" ") +
                             control->objectName().toStdString() + " \"" +
                             control->property("text").toString().left(30).toStdString() + "\"";
    const QRect place = test::PlaceIn(dialog, control);
    EXPECT_TRUE(dialog->rect().contains(place)) << name << " outside the dialog";
    const QSize needed = Needed(control);
    EXPECT_GE(control->width(), needed.width()) << name << " cut at the right";
    EXPECT_GE(control->height(), needed.height()) << name << " cut at the bottom";
    for (size_t b = a + 1; b < controls.size(); ++b) {
      // The tab bar and its pages share their edge by design.
      if (controls[b]->parentWidget() != control->parentWidget() ||
          qobject_cast<const QTabWidget*>(control->parentWidget()))
        continue;
      EXPECT_FALSE(control->geometry().intersects(controls[b]->geometry()))
          << name << " over " << controls[b]->metaObject()->className() << " \""
          << controls[b]->property("text").toString().left(30).toStdString() << "\"";
    }
  }
}

class DialogLayoutTest : public ::testing::TestWithParam<TLayoutCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::XvfbQtApp()) << "Xvfb did not start";
    Sandbox = std::make_unique<test::TSettingsSandbox>();
    FSavedFont = QApplication::font();
    const TLayoutCase& c = GetParam();
    switch (c.Stretch) {
      case TStretch::LongerTexts: {
        QFile longer(FFolder.filePath("Longer.lrf"));
        ASSERT_TRUE(longer.open(QIODevice::WriteOnly));
        longer.write(LongerLanguage());
        longer.close();
        LResList.LoadFile(longer.fileName());
        ASSERT_TRUE(LResList.IsLoaded());
        break;
      }
      case TStretch::BiggerFont: {
        QFont bigger = FSavedFont;
        if (bigger.pixelSize() > 0)
          bigger.setPixelSize(bigger.pixelSize() * 3 / 2);
        else
          bigger.setPointSizeF(bigger.pointSizeF() * 1.5);
        QApplication::setFont(bigger);
        break;
      }
      case TStretch::SkinFont: {
        QFile sheet(FFolder.filePath("Large.qss"));
        ASSERT_TRUE(sheet.open(QIODevice::WriteOnly));
        sheet.write("QWidget { font-family: \"DejaVu Serif\"; font-size: 19px; }\n");
        sheet.close();
        FSkins.SetSkinFolder(FFolder.path());
        FSkins.SetSkinName("Large");
        FSkins.SetActive(true);
        ASSERT_TRUE(FSkins.Active()) << FSkins.LastError().toStdString();
        break;
      }
      case TStretch::Skin:
        FSkins.SetSkinFolder(VEXO_SOURCE_DIR "/resources/Skins");
        FSkins.SetSkinName(c.Skin);
        FSkins.SetActive(true);
        ASSERT_TRUE(FSkins.Active()) << FSkins.LastError().toStdString();
        break;
      case TStretch::Desktop:
        break;
    }
    Options = std::make_unique<TOptions>(Sandbox->ProgramDir());
    Options->LoadSave(false);
  }
  void TearDown() override {
    Dialog.reset();
    FSkins.SetActive(false);
    QApplication::setFont(FSavedFont);
    Options.reset();
    Sandbox.reset();
  }

  // The case's dialog, shown; the options dialog at page.
  void Open(int page = 0) {
    const TLayoutCase& c = GetParam();
    switch (c.Dialog) {
      case TDlg::Options: {
        auto dialog = std::make_unique<TOptDialog>(*Options);
        dialog->Init(page);
        Dialog = std::move(dialog);
        break;
      }
      case TDlg::About:
        Dialog = std::make_unique<TAboutDialog>();
        break;
      case TDlg::Portable: {
        auto dialog = std::make_unique<TPortableDialog>(nullptr, *Options);
        dialog->Init(FFolder.path(), "STICK (" + FFolder.path() + ")");
        Dialog = std::move(dialog);
        break;
      }
      case TDlg::PlaylistSettings:
      case TDlg::PlaylistProgress: {
        auto dialog = std::make_unique<TPlaylistDialog>(nullptr, *Options);
        dialog->Setup({1, 1, 1000}, [](TPlaylistDialog&) {});
        if (c.Dialog == TDlg::PlaylistProgress) {
          dialog->ShowPage(1);
          dialog->Progress(plEnumStart, "/m");
          dialog->Progress(plItem, "/m/a.jpg");
        }
        Dialog = std::move(dialog);
        break;
      }
    }
    Dialog->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Dialog.get()));
    QTest::qWait(30);
  }
  void Keep(const QString& name) {
    const QString folder = VEXO_BIN_DIR "/../layout";
    QDir().mkpath(folder);
    const qreal ratio = Dialog->devicePixelRatioF();
    const QString scale = ratio == 1 ? QString() : QStringLiteral("@%1x").arg(ratio);
    EXPECT_TRUE(Dialog->grab().save(folder + '/' + name + scale + ".png"));
  }

  std::unique_ptr<test::TSettingsSandbox> Sandbox;
  std::unique_ptr<TOptions> Options;
  std::unique_ptr<QDialog> Dialog;

 private:
  QTemporaryDir FFolder;
  TSkinManager FSkins;
  QFont FSavedFont;
};

TEST_P(DialogLayoutTest, NoControlIsCutOffOrCovered) {
  const TLayoutCase& c = GetParam();
  if (c.Dialog != TDlg::Options) {
    Open();
    ExpectNothingCut(Dialog.get());
    Keep(c.Name);
  } else {
    Open();
    auto* options = static_cast<TOptDialog*>(Dialog.get());
    for (int page = 0; page < kOptPageCount; ++page) {
      SCOPED_TRACE(page);
      options->Pages->setCurrentIndex(page);
      QTest::qWait(10);
      ExpectNothingCut(Dialog.get());
      Keep(QStringLiteral("%1-page%2").arg(c.Name).arg(page));
    }
  }
  // The skin's font reaches the controls.
  if (c.Stretch == TStretch::SkinFont) {
    for (const QAbstractButton* button : Dialog->findChildren<QAbstractButton*>()) {
      EXPECT_EQ(button->font().family(), "DejaVu Serif") << button->text().toStdString();
    }
  }
}

std::vector<TLayoutCase> Cases() {
  const std::pair<const char*, TDlg> dialogs[] = {{"Options", TDlg::Options},
                                                  {"About", TDlg::About},
                                                  {"Portable", TDlg::Portable},
                                                  {"PlaylistSettings", TDlg::PlaylistSettings},
                                                  {"PlaylistProgress", TDlg::PlaylistProgress}};
  const std::tuple<const char*, TStretch, const char*> stretches[] = {
      {"Desktop", TStretch::Desktop, nullptr},
      {"LongerTexts", TStretch::LongerTexts, nullptr},
      {"BiggerFont", TStretch::BiggerFont, nullptr},
      {"SkinFont", TStretch::SkinFont, nullptr},
      {"BlueIce", TStretch::Skin, "BlueIce"},
      {"DarkGlass", TStretch::Skin, "DarkGlass"},
      {"Office12Style", TStretch::Skin, "Office12Style"}};
  // The names outlive the cases: gtest keeps them as given.
  static std::vector<std::string> names;
  names.reserve(std::size(dialogs) * std::size(stretches));
  std::vector<TLayoutCase> cases;
  for (const auto& [dialogName, dialog] : dialogs)
    for (const auto& [stretchName, stretch, skin] : stretches) {
      names.push_back(std::string(dialogName) + "_" + stretchName);
      cases.push_back({names.back().c_str(), dialog, stretch, skin});
    }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogLayoutTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace vexo
