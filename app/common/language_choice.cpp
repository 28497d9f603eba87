#include "app/common/language_choice.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>

#include "app/common/language_file.h"
#include "app/common/language_list.h"
#include "app/common/path_utils.h"

namespace vexo {

QString LanguageFolder(const QString& programDir) {
  return JoinPath(programDir, QStringLiteral("language"));
}

QString ReadLanguageChoice(const QString& folder) {
  TLanguageFile selection;
  if (!selection.LoadFromFile(JoinPath(folder, QStringLiteral("language.ini"))))
    return QStringLiteral("English");
  return NormaliseLanguageName(
      selection.Find(QStringLiteral("ProgLang"), QStringLiteral("LangName")).value_or(QString()));
}

std::vector<TLanguageEntry> ListLanguages(const QString& folder) {
  std::vector<TLanguageEntry> languages;
  const QFileInfoList files =
      QDir(folder).entryInfoList({QStringLiteral("*.lrf")}, QDir::Files | QDir::Readable);
  for (const QFileInfo& file : files) {
    if (file.suffix().compare(u"lrf", Qt::CaseInsensitive) != 0) continue;
    TLanguageEntry entry{file.completeBaseName(), {}};
    TLanguageFile texts;
    if (texts.LoadFromFile(file.filePath()))
      entry.DisplayName = texts.Find(QStringLiteral("ProgLang"), QStringLiteral("LangName"))
                              .value_or(QString())
                              .trimmed();
    if (entry.DisplayName.isEmpty()) entry.DisplayName = entry.Name;
    languages.push_back(entry);
  }
  std::sort(languages.begin(), languages.end(), [](const auto& a, const auto& b) {
    return a.DisplayName.compare(b.DisplayName, Qt::CaseInsensitive) < 0;
  });
  return languages;
}

int FindLanguage(const std::vector<TLanguageEntry>& languages, const QString& name) {
  for (size_t i = 0; i < languages.size(); ++i)
    if (languages[i].Name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
  return -1;
}

bool SaveLanguageChoice(const QString& folder, const QString& name, QString* error) {
  QSaveFile file(JoinPath(folder, QStringLiteral("language.ini")));
  const QByteArray text = "[ProgLang]\nLangName=" + name.toUtf8() + "\n";
  if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace vexo
