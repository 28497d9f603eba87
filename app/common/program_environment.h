#pragma once
// Program-wide values fixed once at start, before any window.
#include <QLocale>
#include <QRect>
#include <QString>
#include <array>

namespace vexo {

// Folder of the executable, without and with its trailing '/'.
extern QString ProgramDir;
extern QString ProgramDirSlash;
// Folder of the program's read-only files (language/, Skins/, help/), without
// and with its trailing '/': the program folder itself when they lie beside
// the executable (the build tree, a portable copy), else the installed
// <prefix>/share/vexoplayer beside <prefix>/bin.
extern QString ResourceDir;
extern QString ResourceDirSlash;
// 0 the user's documents, 1 the user's application data, 2 shared documents,
// 3 shared application data, 4 the system's library folder.
extern std::array<QString, 5> SpecialDirs;
extern QRect WorkArea;      // desktop work area at start
extern QString UiFontName;  // the desktop's; empty without a graphical application
extern int UiCharset;
// Folders remembered by the file dialogs.
extern QString LastOpenDir;
extern QString LastSaveDir;

// Sets every value above. programDir empty: the executable's folder.
void InitProgramEnvironment(const QString& programDir = {});

// Where the read-only files of a program in programDir are.
QString ResourceFolderFor(const QString& programDir);

// Character set a user interface in this locale needs (1 is the default set).
int CharsetForLocale(const QLocale& locale);
// The folder itself when it exists or can be made, else the fallback.
QString EnsureFolder(const QString& folder, const QString& fallback);

bool LeftButtonDown();

}  // namespace vexo
