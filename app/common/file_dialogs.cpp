#include "app/common/file_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "app/common/message_boxes.h"
#include "app/common/program_environment.h"
#include "app/common/text_utils.h"

namespace vexo {
namespace {

TFileDialogHook& DialogHook() {
  static TFileDialogHook hook;
  return hook;
}

TFileDialogAnswer RunRealDialog(const TFileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow(), request.Title, request.Folder, request.Filter);
  dialog.setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (request.PickFolder) {
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
  } else if (request.Save)
    dialog.setFileMode(QFileDialog::AnyFile);
  else
    dialog.setFileMode(request.MultiSelect ? QFileDialog::ExistingFiles
                                           : QFileDialog::ExistingFile);
  if (request.Save && !request.OverwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setDefaultSuffix(request.DefaultExt.startsWith(u'.') ? request.DefaultExt.mid(1)
                                                              : request.DefaultExt);
  const QStringList filters = dialog.nameFilters();
  if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
    dialog.selectNameFilter(filters[request.FilterIndex - 1]);
  if (!request.FileName.isEmpty()) dialog.selectFile(request.FileName);
  TFileDialogAnswer answer;
  answer.Accepted = dialog.exec() == QDialog::Accepted;
  answer.Files = dialog.selectedFiles();
  answer.FilterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
  return answer;
}

TFileDialogAnswer Run(const TFileDialogRequest& request) {
  return DialogHook() ? DialogHook()(request) : RunRealDialog(request);
}

}  // namespace

void SetFileDialogHook(TFileDialogHook hook) {
  DialogHook() = std::move(hook);
}

QString QtFileFilter(const QString& filter) {
  if (filter.isEmpty()) return {};
  const QStringList parts = filter.split(u'|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      p = p.trimmed();
      if (p == u"*.*") p = QStringLiteral("*");
    }
    out << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), patterns.join(u' '));
  }
  return out.join(QStringLiteral(";;"));
}

QString OpenFileDialog(const QString& title, const QString& filter, const QString& folder,
                       QString& fileName, QStringList* list, int& filterIndex) {
  TFileDialogRequest request;
  request.Title = title;
  request.Filter = QtFileFilter(filter);
  request.Folder = folder.isEmpty() ? LastOpenDir : folder;
  request.FileName = fileName;
  request.FilterIndex = filterIndex;
  request.MultiSelect = list != nullptr;
  const TFileDialogAnswer answer = Run(request);
  QString result;
  if (answer.Accepted && !answer.Files.isEmpty()) {
    if (list) *list = answer.Files;
    result = answer.Files.first();
    fileName = result;
    LastOpenDir = QFileInfo(result).absolutePath();
    filterIndex = answer.FilterIndex;
  }
  if (!result.isEmpty() && !QFileInfo(result).isFile()) {
    ShowInfo(FormatText(QStringLiteral("File \"%s\" was not found!"), {result}));
    result.clear();
  }
  return result;
}

QString FolderDialog(const QString& title, const QString& folder) {
  TFileDialogRequest request;
  request.PickFolder = true;
  request.Title = title;
  request.Folder = folder.isEmpty() ? LastOpenDir : folder;
  const TFileDialogAnswer answer = Run(request);
  if (!answer.Accepted || answer.Files.isEmpty()) return {};
  const QString chosen = answer.Files.first();
  if (!QFileInfo(chosen).isDir()) return {};
  LastOpenDir = chosen;
  return chosen;
}

QString SaveFileDialog(const QString& title, const QString& filter, const QString& folder,
                       QString& fileName, bool overwritePrompt, const QString& defaultExt,
                       const QString& proposedName) {
  TFileDialogRequest request;
  request.Save = true;
  request.Title = title;
  request.Filter = QtFileFilter(filter);
  request.Folder = folder.isEmpty() ? LastSaveDir : folder;
  request.FileName = proposedName.isEmpty() ? fileName : proposedName;
  request.OverwritePrompt = overwritePrompt;
  request.DefaultExt = defaultExt;
  const TFileDialogAnswer answer = Run(request);
  if (!answer.Accepted || answer.Files.isEmpty()) return {};
  fileName = answer.Files.first();
  LastSaveDir = QFileInfo(fileName).absolutePath();
  return fileName;
}

}  // namespace vexo
