#pragma once
// File open and save dialogs that remember the folder last used. Filters are
// written as the language file has them: "Text|*.a;*.b|All files|*.*".
#include <QString>
#include <QStringList>
#include <functional>

namespace vexo {

struct TFileDialogRequest {
  bool Save = false;
  QString Title;
  QString Filter;  // already in Qt's form
  QString Folder;
  QString FileName;
  int FilterIndex = 1;  // from 1
  bool MultiSelect = false;
  bool OverwritePrompt = false;
  QString DefaultExt;
  // A folder is asked for, not files.
  bool PickFolder = false;
};

struct TFileDialogAnswer {
  bool Accepted = false;
  QStringList Files;
  int FilterIndex = 1;
};

using TFileDialogHook = std::function<TFileDialogAnswer(const TFileDialogRequest&)>;
// An empty hook puts the real dialogs back.
void SetFileDialogHook(TFileDialogHook hook);

// "Text|*.a;*.b|All|*.*" to "Text (*.a *.b);;All (*)".
QString QtFileFilter(const QString& filter);

// Returns the chosen file (the first of several when list is given) or empty.
// A chosen file that does not exist is reported and gives empty.
QString OpenFileDialog(const QString& title, const QString& filter, const QString& folder,
                       QString& fileName, QStringList* list, int& filterIndex);
// Returns the chosen folder or empty; starts in `folder`, or where the last
// folder was chosen.
QString FolderDialog(const QString& title, const QString& folder);
QString SaveFileDialog(const QString& title, const QString& filter, const QString& folder,
                       QString& fileName, bool overwritePrompt, const QString& defaultExt,
                       const QString& proposedName);

}  // namespace vexo
