#include "app/browser/playlist_collector.h"

#include <QElapsedTimer>
#include <QTimer>

#include "engine/playlist/av_playlist.h"

namespace vexo {

namespace {

// Longest stretch of work between two looks at the window's events.
constexpr qint64 kCollectSliceMs = 8;

}  // namespace

TPlaylistCollector::TPlaylistCollector(TEnumerate enumerate, QObject* parent)
    : QObject(parent), FEnumerate(std::move(enumerate)) {}

bool TPlaylistCollector::Start(std::vector<TShellNode*> selected, TAVPlayList& list,
                               bool playFolders, bool subfolders, std::function<void(bool)> done) {
  if (Running()) return false;
  ++FRun;
  FList = &list;
  FSelected = std::move(selected);
  FNextSelected = 0;
  FStack.clear();
  FPlayFolders = playFolders;
  FSubfolders = subfolders;
  FWaiting = false;
  FDone = std::move(done);
  Schedule();
  return true;
}

void TPlaylistCollector::Cancel() {
  if (!Running()) return;
  FStack.clear();
  FSelected.clear();
  FList = nullptr;
  FWaiting = false;
  ++FRun;
  // Called while nodes are being deleted: the owner hears of it afterwards.
  QTimer::singleShot(0, this, [done = std::move(FDone)] {
    if (done) done(true);
  });
  FDone = nullptr;
}

void TPlaylistCollector::Schedule() {
  QTimer::singleShot(0, this, [this, run = FRun] {
    if (run == FRun && Running() && !FWaiting) Step();
  });
}

bool TPlaylistCollector::Aborted(TShellNode* next) {
  bool abort = false;
  if (OnCheckAbort) OnCheckAbort(next, abort);
  return abort;
}

void TPlaylistCollector::AddFile(TShellNode* node) {
  if (node->Path.isEmpty()) return;
  bool accept = true;
  if (OnAddFile) OnAddFile(node, accept);
  if (accept) FList->Add(node->Path.toStdString());
}

bool TPlaylistCollector::Push(TShellNode* folder) {
  // A link back to a folder being collected would never end.
  for (const TFrame& frame : FStack)
    if (frame.Folder == folder || (folder->Inode != 0 && frame.Folder->Inode == folder->Inode &&
                                   frame.Folder->Device == folder->Device))
      return true;
  FStack.push_back({folder, 0});
  if (folder->Enumerated) return true;
  FWaiting = true;
  FEnumerate(folder, [this, run = FRun](bool complete) {
    if (run != FRun || !Running()) return;
    FWaiting = false;
    if (!complete) return Finish(true);
    Schedule();
  });
  return !FWaiting;
}

void TPlaylistCollector::Step() {
  QElapsedTimer slice;
  slice.start();
  const uint64_t run = FRun;
  while (run == FRun && Running() && !FWaiting) {
    if (slice.elapsed() >= kCollectSliceMs) return Schedule();
    if (!FStack.empty()) {
      TFrame& frame = FStack.back();
      TShellNode* child = frame.Folder->Child(int(frame.Next++));
      if (!child) {
        FStack.pop_back();
        if (FStack.empty() &&
            Aborted(FNextSelected < FSelected.size() ? FSelected[FNextSelected] : nullptr))
          return Finish(true);
        continue;
      }
      if (Aborted(child)) return Finish(true);
      if (!child->IsFolder())
        AddFile(child);
      else if (FSubfolders && !Push(child))
        return;
      continue;
    }
    if (FNextSelected >= FSelected.size()) return Finish(false);
    TShellNode* node = FSelected[FNextSelected++];
    if (node->IsFolder()) {
      if (FPlayFolders && !Push(node)) return;
      if (!FStack.empty()) continue;
    } else {
      AddFile(node);
    }
    if (Aborted(FNextSelected < FSelected.size() ? FSelected[FNextSelected] : nullptr))
      return Finish(true);
  }
}

void TPlaylistCollector::Finish(bool aborted) {
  FList = nullptr;
  FWaiting = false;
  ++FRun;
  auto done = std::move(FDone);
  FDone = nullptr;
  if (done) done(aborted);
}

}  // namespace vexo
