#pragma once
// The languages a user can choose: one .lrf file each in the language folder
// beside the program, the choice kept in that folder's language.ini and read
// at the next start.
#include <QString>
#include <vector>

namespace vexo {

struct TLanguageEntry {
  QString Name;         // file name without ".lrf"; what language.ini holds
  QString DisplayName;  // the file's own LangName, or Name when it has none
};

QString LanguageFolder(const QString& programDir);
// The language language.ini names ("English" without one), as the next
// start will use it.
QString ReadLanguageChoice(const QString& folder);
// Every .lrf file of the folder, ordered by DisplayName.
std::vector<TLanguageEntry> ListLanguages(const QString& folder);
// The entry whose name matches without regard to case; -1 when none does.
int FindLanguage(const std::vector<TLanguageEntry>& languages, const QString& name);
// Writes language.ini; on failure returns false with the system's reason.
bool SaveLanguageChoice(const QString& folder, const QString& name, QString* error);

}  // namespace vexo
