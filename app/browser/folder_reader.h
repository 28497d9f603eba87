#pragma once
// Reads one folder of the file system into unattached, sorted nodes. Runs on
// a worker thread: it touches no widget and no shared state.
#include <QByteArray>
#include <atomic>
#include <memory>
#include <vector>

#include "app/browser/shell_node.h"

namespace vexo {

struct TFolderRequest {
  QByteArray Path;
  bool FoldersOnly = false;
  bool ReadPhotoDates = false;  // look up the recording date of every photo
  bool SortByDate = false;
};

struct TFolderListing {
  std::vector<std::unique_ptr<TShellNode>> Nodes;
  bool Readable = false;  // the folder could be opened and read
  int Error = 0;          // why it could not be read to its end (errno), 0 when it could
};

// Stops early, with what it has, when cancel turns true.
TFolderListing ReadFolder(const TFolderRequest& request, const std::atomic<bool>& cancel);

// The path without the slashes at its end; "/" stays.
QByteArray WithoutFinalSlash(QByteArray path);

// Opens a folder for openat and friends, also when its path is longer than
// the system accepts in one call; -1 on failure.
int OpenFolder(const QByteArray& path);

// Fills a node's attributes, size, dates and identity from the file system.
// dirFd is the folder holding name; the node's kind becomes Folder or File.
void StatNode(int dirFd, const QByteArray& name, TShellNode& node);

}  // namespace vexo
