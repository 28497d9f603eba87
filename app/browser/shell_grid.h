#pragma once
// The file-system browser: a one-column tree from the desktop down to the
// folders and media files. Folders are read when first opened, on a worker
// thread, and their items are handed to the owner's events in short slices,
// so a large folder never freezes the window.
#include <QMenu>
#include <QPointer>
#include <QThreadPool>
#include <QTreeView>
#include <functional>
#include <memory>
#include <unordered_map>

#include "app/browser/shell_model.h"
#include "app/browser/shell_node.h"

namespace vexo {

class TAVPlayList;
class TMountWatcher;
class TPlaylistCollector;

using TNodeEvent = std::function<void(TShellNode*)>;
using TNodeFlagEvent = std::function<void(TShellNode*, bool&)>;

// A tree position as text, for the options.
struct TShellTreeState {
  QString TopPath;
  QString SelectedPath;
  bool SelectedExpanded = false;
};

class TShellGrid : public QTreeView {
  Q_OBJECT

 public:
  explicit TShellGrid(QWidget* parent = nullptr);
  ~TShellGrid() override;

  // Builds the root and reads the desktop level.
  void Init();

  // Owner's events; an unset one is skipped.
  TNodeFlagEvent OnFilterNode;  // accept preset to true
  TNodeEvent OnBeginEnum;
  TNodeFlagEvent OnEnumItem;  // abort preset to false
  TNodeEvent OnEndEnum;
  // After OnEndEnum, when the folder could not be read (error is errno).
  std::function<void(TShellNode*, int error)> OnReadFailed;
  TNodeFlagEvent OnAddFile;     // accept preset to true
  TNodeFlagEvent OnCheckAbort;  // abort preset to false; the node may be null at the end

  bool SortByDate() const { return FSortByDate; }
  // Orders every open folder again.
  void SetSortByDate(bool byDate);
  // When set, folders read from now on look up the recording date of their
  // photos, which then sort by it (tag 2) or are marked as having none (tag 1).
  bool ReadPhotoDates = false;
  // Arrow keys step between the files of a folder (StepFile) before the tree
  // sees them.
  bool ArrowStepping = false;

  QString MyComputerName;
  TShellNode* MyComputerNode = nullptr;
  QString RecycleBinName;
  TShellNode* RecycleBinNode = nullptr;
  // True while the grid itself rebuilds or re-selects nodes.
  bool Restoring() const { return FRestoring > 0; }
  // Folders being read right now.
  int PendingEnumerations() const { return int(FJobs.size()); }

  TShellModel& Model() { return *FModel; }
  TShellNode* RootNode() const { return FModel->Root(); }
  TShellNode* NodeAt(const QModelIndex& index) const { return FModel->NodeAt(index); }
  QModelIndex IndexOf(const TShellNode* node) const { return FModel->IndexOf(node); }

  // The item's path for showing; NodeNativePath is the path to open.
  QString NodePath(const TShellNode* node) const;
  QByteArray NodeNativePath(const TShellNode* node) const {
    return node ? node->Path : QByteArray();
  }
  QString NodeDisplayPath(const TShellNode* node) const;
  // Walks the texts from the root, opening folders on the way; done gets the
  // deepest node matched, or null when the first text matches nothing.
  void FindByDisplayPath(const QString& path, std::function<void(TShellNode*)> done);
  // Finds the node of a file-system path below the home folder, the desktop
  // folder or a volume, opening folders on the way; null when it is not there.
  void LocatePath(const QByteArray& path, std::function<void(TShellNode*)> done);

  TShellTreeState GetTreeState() const;
  void RestoreTreeState(const TShellTreeState& state, std::function<void()> done = {});
  void RefreshAll(std::function<void()> done = {});
  // Reads the folders with this path again; open ones stay open.
  void RefreshFolder(const QByteArray& path);
  void RefreshMyComputer();
  void ClearSelectionAndRefreshRecycleBin(bool refresh);
  void FindDrive(const QByteArray& mountPoint, std::function<void(TShellNode*)> done);

  // Reads a folder's children unless it has them, without opening it on
  // screen; done(false) when the owner aborted the reading.
  void Enumerate(TShellNode* node, std::function<void(bool)> done = {});
  // Reads the folder when needed, then opens it.
  void ExpandNode(TShellNode* node, std::function<void(bool)> done = {});
  void CollapseNode(TShellNode* node);
  bool IsExpanded(const TShellNode* node) const { return isExpanded(IndexOf(node)); }

  // Appends the selected files and the media of selected folders to list, in
  // the tree's order, working between window events; done(aborted) follows.
  // False when a collection is already running.
  bool AddSelectedToPlayList(TAVPlayList& list, bool playFolders, bool subfolders,
                             std::function<void(bool aborted)> done);
  bool AddFolderFiles(TShellNode* folder, TAVPlayList& list, bool recurse,
                      std::function<void(bool aborted)> done);
  bool Collecting() const;

  // The menu shown for the selection on a right click; the owner builds it
  // and keeps it. Null shows none (the request signal still comes).
  void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
  QMenu* PopupMenu() const { return FPopupMenu; }

  // key is a Qt key code; set to 0 when a step was taken.
  void StepFile(int& key);

  TShellNode* SelectedNode() const;
  int SelectedCount() const;
  // The selected nodes in tree order.
  std::vector<TShellNode*> SelectedNodes() const;
  void SelectNode(TShellNode* node);

  QString SizeText(const TShellNode* node) const;
  QString CreatedText(const TShellNode* node) const;
  QString DateText(const TShellNode* node) const;
  QString TypeName(const TShellNode* node) const;
  void UpdateSize(TShellNode* node);
  // Looks up a photo's recording date now (tag 0 only).
  void ExaminePhoto(TShellNode* node);

 signals:
  // The selection changed; the owner plays a single selected file.
  void SelectionChanged();
  // The context menu is wanted at this screen position, for the selection.
  void ContextMenuRequested(const QPoint& globalPos);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

 private:
  struct TEnumJob;

  void StartEnumeration(TShellNode* node, std::function<void(bool)> waiter);
  void Arrive(TShellNode* node, uint64_t id, std::vector<std::unique_ptr<TShellNode>> items,
              int readError);
  void ProcessSlice(TShellNode* node, uint64_t id);
  void EndEnumeration(TShellNode* node, bool complete);
  void NodeDeleting(TShellNode* node);
  void CancelEnumeration(TShellNode* node);
  // Collapses, forgets the children and lets the next opening read again.
  void MarkForReEnumeration(TShellNode* node);
  void FindStep(TShellNode* node, QStringList texts, std::function<void(TShellNode*)> done);
  void ReselectChild(TShellNode* parent, const QByteArray& path);
  // Display paths of the open folders, parents first.
  QStringList OpenFolderPaths() const;
  void ReopenFolders(QStringList paths, std::function<void()> done);

  TShellModel* FModel;
  QPointer<QMenu> FPopupMenu;
  TPlaylistCollector* FCollector;
  TMountWatcher* FMountWatcher;
  QThreadPool FPool;
  std::unordered_map<const TShellNode*, std::unique_ptr<TEnumJob>> FJobs;
  uint64_t FNextJobId = 1;
  uint64_t FGeneration = 0;  // grows whenever nodes are deleted
  bool FSortByDate = false;
  int FRestoring = 0;
};

}  // namespace vexo
