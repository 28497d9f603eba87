#pragma once
// Collects the media files of a selection of files and folders into a list,
// reporting each folder, each item met and each file accepted, and asking
// between items whether to stop. The browser grid does the same for its own
// selection; this serves callers that start from plain paths.
#include <QString>
#include <QStringList>
#include <functional>

namespace vexo {

class TAVPlayList;
class TOptions;

struct TFolderCollect {
  // Folders of the selection are searched at all, and with their subfolders.
  bool PlayFolders = true;
  bool Subfolders = false;
  // 0 videos only, 1 pictures only, anything else both.
  int FolderMedia = 2;
  // kind (0 folder started, 1 folder ended, 3 item met, 4 file accepted), path.
  std::function<void(int kind, const QString& path)> OnProgress;
  // True stops the search; the files accepted so far are returned.
  std::function<bool()> Aborted;
};

// Files in the order given; a folder's files by name, then its subfolders.
QStringList CollectMediaFiles(const QStringList& paths, const TOptions& options,
                              const TFolderCollect& how);

// Order 0 moves the videos to the front, 1 the pictures; each group keeps its
// order. Any other value keeps the list as it is.
void OrderPlayList(QStringList& files, int order);
// The same for the entries of a playlist, kept as the bytes they are; the
// list is built anew (its timing and file name are dropped).
void OrderPlayList(TAVPlayList& list, int order);

}  // namespace vexo
