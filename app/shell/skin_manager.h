#pragma once
// The program's skins: Qt style sheets named <Name>.qss in one folder. A skin
// that is switched on styles the whole application; switching it off gives
// every window back its own look. Whoever paints panels of its own listens to
// ActiveChanged.
#include <QObject>
#include <QString>
#include <QStringList>

namespace vexo {

class TSkinManager : public QObject {
  Q_OBJECT

 public:
  // A sheet larger than this is no skin of ours and is refused unread.
  static constexpr qint64 kMaxSheetBytes = 1024 * 1024;

  explicit TSkinManager(QObject* parent = nullptr);
  // Leaves the application without a sheet when a skin was on.
  ~TSkinManager() override;

  void SetSkinFolder(const QString& folder);
  QString SkinFolder() const { return FFolder; }
  // The names of the sheets present in the folder, sorted, without ".qss".
  QStringList SkinNames() const;
  // While skins are on, the new skin replaces the old one at once.
  void SetSkinName(const QString& name);
  QString SkinName() const { return FName; }
  // On: applies the named sheet to the application; when it is missing,
  // unreadable or empty, skins stay off. Off: clears the sheet.
  void SetActive(bool on);
  bool Active() const { return FActive; }
  // Why the last attempt to switch skins on failed; empty after a success.
  QString LastError() const { return FLastError; }

 signals:
  void ActiveChanged(bool on);

 private:
  // The sheet file of a name, matched without regard to case when the exact
  // name is absent; empty when there is none.
  QString SheetPath(const QString& name) const;
  bool LoadSheet(QString& sheet);
  void Apply(const QString& sheet, bool on);

  QString FFolder;
  QString FName;
  bool FActive = false;
  QString FLastError;
};

}  // namespace vexo
