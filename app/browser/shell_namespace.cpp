#include "app/browser/shell_namespace.h"

#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStorageInfo>

#include "app/browser/folder_reader.h"
#include "app/browser/shell_sort.h"
#include "app/common/language_list.h"
#include "platform/drive_info.h"

namespace vexo {

namespace {

QString GridText(int number) {
  return LResList.GetText("ShellGrid", number);
}

std::unique_ptr<TShellNode> FolderNode(TNodeKind kind, const QString& text,
                                       const QByteArray& path) {
  auto node = std::make_unique<TShellNode>(kind, text, path);
  StatNode(AT_FDCWD, path, *node);
  node->Kind = kind;
  node->Text = text;
  node->Attributes |= saFolder | saFileSystem;
  node->HasChildren = true;
  return node;
}

}  // namespace

QByteArray TrashFilesPath() {
  return QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/Trash/files"));
}

std::unique_ptr<TShellNode> MakeDesktopNode() {
  auto root = std::make_unique<TShellNode>(TNodeKind::Desktop, GridText(1), QByteArray());
  root->Attributes = saFolder;
  root->HasChildren = true;
  return root;
}

std::vector<std::unique_ptr<TShellNode>> DesktopChildren() {
  std::vector<std::unique_ptr<TShellNode>> children;
  auto computer = std::make_unique<TShellNode>(TNodeKind::Computer, GridText(2), QByteArray());
  computer->Attributes = saFolder;
  computer->HasChildren = true;
  children.push_back(std::move(computer));

  const QString home = QDir::homePath();
  children.push_back(FolderNode(TNodeKind::Folder, GridText(3), QFile::encodeName(home)));
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!desktop.isEmpty() && QDir(desktop) != QDir(home) && QFileInfo(desktop).isDir())
    children.push_back(
        FolderNode(TNodeKind::Folder, QDir(desktop).dirName(), QFile::encodeName(desktop)));
  children.push_back(FolderNode(TNodeKind::Trash, GridText(4), TrashFilesPath()));
  return children;
}

std::vector<std::unique_ptr<TShellNode>> ComputerVolumes() {
  std::vector<std::unique_ptr<TShellNode>> volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QByteArray type = volume.fileSystemType();
    // Memory-backed and kernel file systems hold no user media.
    if (type == "tmpfs" || type == "devtmpfs" || type == "ramfs" || type == "squashfs") continue;
    const QString mountPoint = volume.rootPath();
    const QString label = volume.name();
    const QString text =
        label.isEmpty() ? mountPoint : label + QStringLiteral(" (") + mountPoint + u')';
    auto node = FolderNode(TNodeKind::Volume, text, QFile::encodeName(mountPoint));
    const int kind = DriveKind(mountPoint.toStdString());
    if (kind == dkRemovable || kind == dkCdRom) node->Attributes |= saRemovable;
    volumes.push_back(std::move(node));
  }
  SortNodes(volumes, false);
  return volumes;
}

}  // namespace vexo
