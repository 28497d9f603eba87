// Every text the code asks for by a literal section and number or key must
// exist in the English language file, so a gap shows up here and not as a
// "NOT FOUND" box on a user's screen.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include "app/common/language_file.h"
#include "app/common/language_list.h"
#include "app/common/menu_system.h"
#include "app/common/shortcut_text.h"
#include "app/shell/command_table.h"

namespace vexo {
namespace {

struct TTextUse {
  QString File;
  QString Section;
  QString Key;
};

std::vector<TTextUse> ScanSources() {
  const QRegularExpression text(R"re(GetText\(\s*"(\w+)"\s*,\s*(\d+)\s*\))re");
  const QRegularExpression range(R"re(GetTextRange\(\s*"(\w+)"\s*,\s*(\d+)\s*,\s*(\d+)\s*,)re");
  const QRegularExpression value(R"re((?:GetValue|ReadValue)\(\s*"(\w+)"\s*,\s*"(\w+)"\s*,)re");
  const QRegularExpression common(R"re(GetCommon\(\s*(c[A-Z]\w*)\s*\))re");
  std::vector<TTextUse> uses;
  for (const char* layer : {"app", "platform", "engine"}) {
    QDirIterator it(QStringLiteral(VEXO_SOURCE_DIR "/") + layer, {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      QFile file(it.next());
      if (!file.open(QIODevice::ReadOnly)) continue;
      const QString source = QString::fromUtf8(file.readAll());
      for (auto m = text.globalMatch(source); m.hasNext();) {
        const auto hit = m.next();
        uses.push_back({file.fileName(), hit.captured(1), TextKey(hit.captured(2).toInt())});
      }
      for (auto m = range.globalMatch(source); m.hasNext();) {
        const auto hit = m.next();
        const int first = hit.captured(2).toInt(), count = hit.captured(3).toInt();
        // A range may leave numbers out; the first one must exist.
        if (count > 0) uses.push_back({file.fileName(), hit.captured(1), TextKey(first)});
      }
      for (auto m = value.globalMatch(source); m.hasNext();) {
        const auto hit = m.next();
        uses.push_back({file.fileName(), hit.captured(1), hit.captured(2)});
      }
      for (auto m = common.globalMatch(source); m.hasNext();) {
        const auto hit = m.next();
        uses.push_back({file.fileName(), "A_Common", hit.captured(1)});
      }
    }
  }
  return uses;
}

TEST(LanguageCoverage, EveryTextTheCodeUsesIsInEnglish) {
  TLanguageFile english;
  ASSERT_TRUE(english.LoadFromFile(VEXO_SOURCE_DIR "/resources/language/English.lrf"));
  const auto uses = ScanSources();
  ASSERT_FALSE(uses.empty()) << "the scan found no text lookups at all";
  for (const TTextUse& use : uses) {
    const auto found = english.Find(use.Section, use.Key);
    EXPECT_TRUE(found.has_value()) << use.File.toStdString() << ": [" << use.Section.toStdString()
                                   << "] " << use.Key.toStdString() << " is missing";
    if (found) {
      EXPECT_FALSE(found->trimmed().isEmpty()) << use.Key.toStdString() << " is empty";
    }
  }
}

TEST(LanguageCoverage, TheCommonWordsThePlayerAsksForExist) {
  TLanguageFile english;
  ASSERT_TRUE(english.LoadFromFile(VEXO_SOURCE_DIR "/resources/language/English.lrf"));
  for (int word : {cUnnamed, cNone, cCreated, cModified, cMode, cError})
    EXPECT_TRUE(english.Find("A_Common", CommonWordKey(word)).has_value())
        << CommonWordKey(word).toStdString();
}

// Command texts are looked up by the row's name, so the source scan above
// cannot see them: every row the main window registers needs its caption
// and its hint, a tool-bar caption its key (its text may be empty: the
// picture alone) and its hint, and a shortcut text that is there must name a
// key.
TEST(LanguageCoverage, EveryCommandOfTheMainWindowHasItsTexts) {
  TLanguageFile english;
  ASSERT_TRUE(english.LoadFromFile(VEXO_SOURCE_DIR "/resources/language/English.lrf"));
  const TMenuTable& table = PlayerCommandTable();
  const TCommandSet used =
      kMainMenuCommands | kToolBarCommands | kBrowserPopupCommands | kVideoPopupCommands;
  const QString section = kMenuSection;
  for (int row : used.Rows()) {
    if (!table.Rows[row].Name) continue;
    const QString name = table.Rows[row].Name;
    const auto caption = english.Find(section, name);
    EXPECT_TRUE(caption.has_value()) << name.toStdString() << " has no caption";
    if (caption) {
      EXPECT_FALSE(caption->trimmed().isEmpty()) << name.toStdString() << " has an empty caption";
    }
    EXPECT_FALSE(english.Find(section, name + "H").value_or("").trimmed().isEmpty())
        << name.toStdString() << " has no hint";
    if (const char* bar = table.Rows[row].BarName) {
      EXPECT_TRUE(english.Find(section, bar).has_value()) << bar << " has no caption";
      EXPECT_FALSE(english.Find(section, QString(bar) + "H").value_or("").trimmed().isEmpty())
          << bar << " has no hint";
    }
    if (const auto shortcut = english.Find(section, name + "S")) {
      EXPECT_FALSE(ShortcutFromText(*shortcut).isEmpty())
          << name.toStdString() << "S names no key: " << shortcut->toStdString();
    }
  }
}

TEST(LanguageCoverage, SelectionFileNamesEnglish) {
  TLanguageFile selection;
  ASSERT_TRUE(selection.LoadFromFile(VEXO_SOURCE_DIR "/resources/language/language.ini"));
  EXPECT_EQ(NormaliseLanguageName(selection.Find("ProgLang", "LangName").value_or("")), "English");
}

}  // namespace
}  // namespace vexo
