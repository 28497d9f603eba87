#include "app/shell/skin_manager.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/media/av_log.h"

namespace vexo {
namespace {

const QString kSheetSuffix = QStringLiteral(".qss");

// A name from the settings file must not reach outside the skin folder.
bool IsPlainName(const QString& name) {
  return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
         name != QLatin1String("..");
}

}  // namespace

TSkinManager::TSkinManager(QObject* parent) : QObject(parent) {}

TSkinManager::~TSkinManager() {
  if (FActive && qApp) qApp->setStyleSheet(QString());
}

void TSkinManager::SetSkinFolder(const QString& folder) {
  FFolder = folder;
  // Sheets name their pictures "skin:<file>", found beside them.
  QDir::setSearchPaths(QStringLiteral("skin"), {folder});
}

QStringList TSkinManager::SkinNames() const {
  if (FFolder.isEmpty()) return {};
  QStringList names;
  const QFileInfoList files =
      QDir(FFolder).entryInfoList({QStringLiteral("*") + kSheetSuffix},
                                  QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& file : files) {
    const QString name = file.fileName().chopped(kSheetSuffix.size());
    if (IsPlainName(name)) names << name;
  }
  return names;
}

void TSkinManager::SetSkinName(const QString& name) {
  if (name == FName) return;
  FName = name;
  if (FActive) SetActive(true);
}

QString TSkinManager::SheetPath(const QString& name) const {
  if (FFolder.isEmpty() || !IsPlainName(name)) return {};
  const QString exact = QDir(FFolder).filePath(name + kSheetSuffix);
  if (QFileInfo(exact).isFile()) return exact;
  for (const QString& present : SkinNames())
    if (present.compare(name, Qt::CaseInsensitive) == 0)
      return QDir(FFolder).filePath(present + kSheetSuffix);
  return {};
}

bool TSkinManager::LoadSheet(QString& sheet) {
  const QString path = SheetPath(FName);
  if (path.isEmpty()) {
    FLastError = QStringLiteral("The skin \"%1\" is not in %2").arg(FName, FFolder);
    return false;
  }
  QFile file(path);
  if (file.size() > kMaxSheetBytes) {
    FLastError = QStringLiteral("The skin file %1 is too large").arg(path);
    return false;
  }
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    FLastError =
        QStringLiteral("The skin file %1 cannot be read: %2").arg(path, file.errorString());
    return false;
  }
  sheet = QString::fromUtf8(file.read(kMaxSheetBytes));
  if (sheet.trimmed().isEmpty()) {
    FLastError = QStringLiteral("The skin file %1 is empty").arg(path);
    return false;
  }
  return true;
}

void TSkinManager::SetActive(bool on) {
  FLastError.clear();
  QString sheet;
  if (on && !LoadSheet(sheet)) {
    // Without its sheet the program keeps its own look rather than half a skin.
    Log(FLastError.toStdString());
    qWarning("%s", qPrintable(FLastError));
    on = false;
  }
  Apply(on ? sheet : QString(), on);
}

void TSkinManager::Apply(const QString& sheet, bool on) {
  const bool changed = on != FActive;
  FActive = on;
  // Clearing an empty sheet would still repolish every widget.
  if (on || changed) qApp->setStyleSheet(sheet);
  if (changed) emit ActiveChanged(on);
}

}  // namespace vexo
