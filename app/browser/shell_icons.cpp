#include "app/browser/shell_icons.h"

#include <QFileIconProvider>

#include "app/common/media_extensions.h"

namespace vexo {

namespace {

struct TIconSet {
  QIcon Computer, Drive, Removable, Folder, Home, Trash, Desktop, File, Video, Photo;
  TIconSet() {
    const QFileIconProvider provider;
    Computer = QIcon::fromTheme("computer", provider.icon(QFileIconProvider::Computer));
    Drive = QIcon::fromTheme("drive-harddisk", provider.icon(QFileIconProvider::Drive));
    Removable = QIcon::fromTheme("drive-removable-media", Drive);
    Folder = provider.icon(QFileIconProvider::Folder);
    Home = QIcon::fromTheme("user-home", Folder);
    Trash = QIcon::fromTheme("user-trash", provider.icon(QFileIconProvider::Trashcan));
    Desktop = QIcon::fromTheme("user-desktop", provider.icon(QFileIconProvider::Desktop));
    File = provider.icon(QFileIconProvider::File);
    Video = QIcon::fromTheme("video-x-generic", QIcon(":/icons/video.svg"));
    Photo = QIcon::fromTheme("image-x-generic", QIcon(":/icons/photo.svg"));
  }
};

}  // namespace

QIcon ShellIcon(const TShellNode& node) {
  static const TIconSet icons;
  switch (node.Kind) {
    case TNodeKind::Desktop:
      return icons.Desktop;
    case TNodeKind::Computer:
      return icons.Computer;
    case TNodeKind::Volume:
      return node.IsRemovable() ? icons.Removable : icons.Drive;
    case TNodeKind::Trash:
      return icons.Trash;
    case TNodeKind::Folder:
      return node.Level() == 1 ? icons.Home : icons.Folder;
    case TNodeKind::File:
      break;
  }
  const QString ext = node.Extension();
  if (IsVideoExt(ext)) return icons.Video;
  if (IsPhotoExt(ext)) return icons.Photo;
  return icons.File;
}

}  // namespace vexo
