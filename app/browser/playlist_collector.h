#pragma once
// Collects the selected files, and the files of selected folders, into a
// playlist. Works in short slices between window events; folders not yet read
// are read on the way, and the owner may stop it at any node.
#include <QObject>
#include <functional>
#include <vector>

#include "app/browser/shell_node.h"

namespace vexo {

class TAVPlayList;

using TNodeAcceptEvent = std::function<void(TShellNode*, bool&)>;

class TPlaylistCollector : public QObject {
  Q_OBJECT

 public:
  // Reads a folder's children unless it has them; reports false when the
  // reading was cancelled.
  using TEnumerate = std::function<void(TShellNode*, std::function<void(bool)>)>;

  TPlaylistCollector(TEnumerate enumerate, QObject* parent = nullptr);

  // selected in tree order. False when a collection is already running.
  bool Start(std::vector<TShellNode*> selected, TAVPlayList& list, bool playFolders,
             bool subfolders, std::function<void(bool aborted)> done);
  bool Running() const { return FList != nullptr; }
  // The nodes may go away: stop at once and report an abort.
  void Cancel();

  TNodeAcceptEvent OnAddFile;
  TNodeAcceptEvent OnCheckAbort;

 private:
  struct TFrame {
    TShellNode* Folder;
    size_t Next;
  };

  void Step();
  void Schedule();
  bool Aborted(TShellNode* next);
  void AddFile(TShellNode* node);
  // False while the folder is being read; Step resumes afterwards.
  bool Push(TShellNode* folder);
  void Finish(bool aborted);

  TEnumerate FEnumerate;
  TAVPlayList* FList = nullptr;
  std::vector<TShellNode*> FSelected;
  size_t FNextSelected = 0;
  std::vector<TFrame> FStack;
  bool FPlayFolders = false;
  bool FSubfolders = false;
  bool FWaiting = false;
  uint64_t FRun = 0;
  std::function<void(bool)> FDone;
};

}  // namespace vexo
