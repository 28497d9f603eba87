#include "app/common/program_environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include "app/common/path_utils.h"

namespace vexo {

QString ProgramDir;
QString ProgramDirSlash;
QString ResourceDir;
QString ResourceDirSlash;
std::array<QString, 5> SpecialDirs;
QRect WorkArea;
QString UiFontName;
int UiCharset = 1;
QString LastOpenDir;
QString LastSaveDir;

int CharsetForLocale(const QLocale& locale) {
  switch (locale.language()) {
    case QLocale::Japanese:
      return 128;
    case QLocale::Korean:
      return 129;
    case QLocale::Chinese:
      return locale.script() == QLocale::TraditionalChineseScript ? 136 : 134;
    case QLocale::Polish:
    case QLocale::Czech:
    case QLocale::Slovak:
    case QLocale::Hungarian:
    case QLocale::Slovenian:
    case QLocale::Croatian:
    case QLocale::Romanian:
    case QLocale::Albanian:
      return 238;
    case QLocale::Russian:
    case QLocale::Ukrainian:
    case QLocale::Bulgarian:
    case QLocale::Belarusian:
    case QLocale::Macedonian:
      return 204;
    case QLocale::Serbian:
      return locale.script() == QLocale::LatinScript ? 238 : 204;
    case QLocale::Greek:
      return 161;
    case QLocale::Turkish:
      return 162;
    case QLocale::Hebrew:
      return 177;
    case QLocale::Arabic:
    case QLocale::Persian:
    case QLocale::Urdu:
      return 178;
    case QLocale::Lithuanian:
    case QLocale::Latvian:
    case QLocale::Estonian:
      return 186;
    default:
      return 1;
  }
}

QString ResourceFolderFor(const QString& programDir) {
  const QDir program(programDir);
  if (program.exists(QStringLiteral("language"))) return ExcludeSlash(programDir);
  const QString installed =
      QDir::cleanPath(program.filePath(QStringLiteral("../share/vexoplayer")));
  if (QDir(installed).exists(QStringLiteral("language"))) return installed;
  // Nothing found anywhere: the program folder, where the missing language
  // file is then reported.
  return ExcludeSlash(programDir);
}

QString EnsureFolder(const QString& folder, const QString& fallback) {
  if (folder.isEmpty()) return fallback;
  return QDir().mkpath(folder) ? folder : fallback;
}

void InitProgramEnvironment(const QString& programDir) {
  // Paths here are case-sensitive: the folder is kept exactly as it is.
  QString dir = programDir;
  if (dir.isEmpty() && QCoreApplication::instance()) dir = QCoreApplication::applicationDirPath();
  if (dir.isEmpty()) dir = QDir::currentPath();
  ProgramDir = ExcludeSlash(dir);
  ProgramDirSlash = IncludeSlash(ProgramDir);
  ResourceDir = ResourceFolderFor(ProgramDir);
  ResourceDirSlash = IncludeSlash(ResourceDir);

  // The desktop's font, which covers the user's language; a skin that names
  // a font of its own sets it through its sheet while it is on.
  UiCharset = CharsetForLocale(QLocale::system());
  UiFontName.clear();
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    UiFontName = QGuiApplication::font().family();

  WorkArea = QRect(0, 0, 1024, 768);
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      WorkArea = screen->availableGeometry();

  // The desktop has no folders shared between users that a user may write
  // to; the shared entries use the user's own, as the documents one always did.
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  SpecialDirs = {documents, data, documents, data, QStringLiteral("/usr/lib")};
  for (QString& folder : SpecialDirs) {
    if (folder.isEmpty()) folder = ProgramDirSlash + QStringLiteral("Settings");
    folder = EnsureFolder(folder, ProgramDir);
  }

  LastOpenDir = SpecialDirs[0];
  LastSaveDir = SpecialDirs[0];
}

bool LeftButtonDown() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
         (QGuiApplication::mouseButtons() & Qt::LeftButton);
}

}  // namespace vexo
