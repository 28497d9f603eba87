#pragma once
// The browser's namespace as an item model: a tree of TShellNode with one top
// node, the desktop. A folder's children appear once it has been read; the
// reading runs on worker threads and the owner's events see the items in
// short slices on the interface thread, so a large folder never freezes the
// window. The view asks for a reading through canFetchMore/fetchMore when a
// node opens; the owner's code through Enumerate.
#include <QAbstractItemModel>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "app/browser/shell_node.h"

namespace vexo {

using TNodeEvent = std::function<void(TShellNode*)>;
using TNodeFlagEvent = std::function<void(TShellNode*, bool&)>;

class TAVPlayList;
class TMountWatcher;
class TPlaylistCollector;

class TShellModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit TShellModel(QObject* parent = nullptr);
  // Cancels the readings and waits for the workers.
  ~TShellModel() override;

  // Owner's events; an unset one is skipped.
  TNodeFlagEvent OnFilterNode;  // accept preset to true
  TNodeEvent OnBeginEnum;
  TNodeFlagEvent OnEnumItem;  // abort preset to false
  TNodeEvent OnEndEnum;
  // After OnEndEnum, when the folder could not be read (error is errno).
  std::function<void(TShellNode*, int error)> OnReadFailed;
  TNodeFlagEvent OnAddFile;     // accept preset to true
  TNodeFlagEvent OnCheckAbort;  // abort preset to false; the node may be null at the end
  std::function<QIcon(const TShellNode&)> IconFor;

  bool SortByDate() const { return FSortByDate; }
  // Orders every read folder again.
  void SetSortByDate(bool byDate);
  // When set, folders read from now on look up the recording date of their
  // photos, which then sort by it (tag 2) or are marked as having none (tag 1).
  bool ReadPhotoDates = false;

  QString MyComputerName;
  TShellNode* MyComputerNode = nullptr;
  QString RecycleBinName;
  TShellNode* RecycleBinNode = nullptr;

  void SetRoot(std::unique_ptr<TShellNode> root);
  TShellNode* Root() const { return FRoot.get(); }
  TShellNode* NodeAt(const QModelIndex& index) const;
  QModelIndex IndexOf(const TShellNode* node) const;

  // Reads a folder's children unless it has them; done(false) when the
  // reading was cancelled, by the owner's OnEnumItem or by the node going.
  void Enumerate(TShellNode* node, std::function<void(bool complete)> done = {});
  // Folders being read right now.
  int PendingEnumerations() const { return int(FJobs.size()); }
  // Forgets the children, and a reading on its way, so that the next opening
  // reads the folder again.
  void MarkForReEnumeration(TShellNode* node);
  // Grows whenever nodes are deleted: a node found before may be gone.
  uint64_t Generation() const { return FGeneration; }

  // Appends the files among nodes (in tree order) and, with playFolders, the
  // media of the folders among them to list, reading folders on the way and
  // working between window events; done(aborted) follows. False when a
  // collection is already running.
  bool Collect(std::vector<TShellNode*> nodes, TAVPlayList& list, bool playFolders, bool subfolders,
               std::function<void(bool aborted)> done);
  bool AddFolderFiles(TShellNode* folder, TAVPlayList& list, bool recurse,
                      std::function<void(bool aborted)> done);
  bool Collecting() const;

  // How a lookup opens a folder on its way: by default it only reads it; a
  // view passes its own opening to show the way on screen as well.
  using TOpenFolder = std::function<void(TShellNode*, std::function<void(bool complete)>)>;
  // Walks the display texts from the root, opening folders on the way; done
  // gets the deepest node matched, or null when the first text matches nothing.
  void FindByDisplayPath(const QString& path, std::function<void(TShellNode*)> done,
                         TOpenFolder open = {});
  // Finds the node of a file-system path below the home folder, the desktop
  // folder or a volume, opening folders on the way; null when it is not there.
  void LocatePath(const QByteArray& path, std::function<void(TShellNode*)> done,
                  TOpenFolder open = {});
  // Opens the computer and gives its volume mounted there, or null.
  void FindDrive(const QByteArray& mountPoint, std::function<void(TShellNode*)> done,
                 TOpenFolder open = {});

  // Reads the file's current size; errors are ignored.
  void UpdateSize(TShellNode* node);
  // Looks up a photo's recording date now (tag 0 only).
  void ExaminePhoto(TShellNode* node);

  // The node's text, icon or expandability changed.
  void NodeChanged(TShellNode* node);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 signals:
  // A reading ended, before OnEndEnum: complete and no children means the
  // folder turned out empty; not complete, that the owner aborted it.
  void EnumerationEnded(vexo::TShellNode* node, bool complete);
  // A volume was mounted or unmounted; the computer's children are stale.
  void VolumesChanged();

 private:
  struct TEnumJob;

  void Arrive(TShellNode* node, uint64_t id, std::vector<std::unique_ptr<TShellNode>> items,
              int readError);
  void ProcessSlice(TShellNode* node, uint64_t id);
  TOpenFolder OpenOrRead(TOpenFolder open);
  void FindStep(TShellNode* node, QStringList texts, std::function<void(TShellNode*)> done,
                TOpenFolder open);
  void EndEnumeration(TShellNode* node, bool complete);
  void CancelEnumeration(TShellNode* node);
  // Appends children (already in their order) to node.
  void AddChildren(TShellNode* node, std::vector<std::unique_ptr<TShellNode>> children);
  void DeleteChildren(TShellNode* node);
  void NotifyDeleting(TShellNode* node);
  void NodeDeleting(TShellNode* node);
  // Orders the children of every read node again.
  void SortAll();

  std::unique_ptr<TShellNode> FRoot;
  TPlaylistCollector* FCollector;
  TMountWatcher* FMountWatcher;
  QThreadPool FPool;
  std::unordered_map<const TShellNode*, std::unique_ptr<TEnumJob>> FJobs;
  uint64_t FNextJobId = 1;
  uint64_t FGeneration = 0;
  bool FSortByDate = false;
};

}  // namespace vexo
