#include "app/browser/shell_model.h"

#include <sys/stat.h>

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QTimer>
#include <atomic>

#include "app/browser/display_path.h"
#include "app/browser/folder_reader.h"
#include "app/browser/mount_watcher.h"
#include "app/browser/photo_date.h"
#include "app/browser/playlist_collector.h"
#include "app/browser/shell_namespace.h"
#include "app/browser/shell_sort.h"
#include "app/common/media_extensions.h"

namespace vexo {

namespace {

// Exact text first: names differing only in case are different files here.
TShellNode* MatchChild(const TShellNode* parent, const QString& text) {
  for (const auto& child : parent->Children)
    if (child->Text == text) return child.get();
  for (const auto& child : parent->Children)
    if (child->Text.compare(text, Qt::CaseInsensitive) == 0) return child.get();
  return nullptr;
}

// True when path is base itself or lies below it.
bool PathIsBelow(const QByteArray& path, const QByteArray& base) {
  if (base.isEmpty()) return false;
  if (base == "/") return path.startsWith('/');
  return path == base || (path.startsWith(base) && path[base.size()] == '/');
}

// Longest stretch of the owner's per-item events between two looks at the
// window's events.
constexpr qint64 kSliceMs = 8;

}  // namespace

struct TShellModel::TEnumJob {
  uint64_t Id = 0;
  std::shared_ptr<std::atomic<bool>> Cancel = std::make_shared<std::atomic<bool>>(false);
  std::vector<std::unique_ptr<TShellNode>> Items;
  size_t Next = 0;
  std::vector<std::unique_ptr<TShellNode>> Kept;
  std::vector<std::function<void(bool)>> Waiters;
  bool BusyCursor = false;
  int ReadError = 0;
};

TShellModel::TShellModel(QObject* parent) : QAbstractItemModel(parent) {
  FPool.setMaxThreadCount(2);
  FCollector = new TPlaylistCollector(
      [this](TShellNode* node, std::function<void(bool)> done) {
        Enumerate(node, std::move(done));
      },
      this);
  FMountWatcher = new TMountWatcher(this);
  connect(FMountWatcher, &TMountWatcher::Changed, this, &TShellModel::VolumesChanged);
}

TShellModel::~TShellModel() {
  for (auto& [node, job] : FJobs) {
    job->Cancel->store(true);
    if (job->BusyCursor) QGuiApplication::restoreOverrideCursor();
  }
  FPool.waitForDone();
  FJobs.clear();
}

void TShellModel::SetRoot(std::unique_ptr<TShellNode> root) {
  beginResetModel();
  if (FRoot) NotifyDeleting(FRoot.get());
  FRoot = std::move(root);
  endResetModel();
}

TShellNode* TShellModel::NodeAt(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TShellNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TShellModel::IndexOf(const TShellNode* node) const {
  if (!node) return {};
  return createIndex(node->Row, 0, const_cast<TShellNode*>(node));
}

// ---- reading folders ----

void TShellModel::Enumerate(TShellNode* node, std::function<void(bool)> done) {
  if (node->Enumerated || !node->HasChildren) {
    if (done) done(true);
    return;
  }
  if (auto it = FJobs.find(node); it != FJobs.end()) {
    if (done) it->second->Waiters.push_back(std::move(done));
    return;
  }
  auto job = std::make_unique<TEnumJob>();
  const uint64_t id = job->Id = FNextJobId++;
  if (done) job->Waiters.push_back(std::move(done));
  const auto cancel = job->Cancel;
  if (!OnBeginEnum) {
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    job->BusyCursor = true;
  }
  FJobs[node] = std::move(job);
  if (OnBeginEnum) OnBeginEnum(node);

  auto deliver = [this, node, id](std::vector<std::unique_ptr<TShellNode>> items, int readError) {
    auto shared = std::make_shared<std::vector<std::unique_ptr<TShellNode>>>(std::move(items));
    QMetaObject::invokeMethod(
        this,
        [this, node, id, shared, readError] { Arrive(node, id, std::move(*shared), readError); },
        Qt::QueuedConnection);
  };
  if (node->Kind == TNodeKind::Desktop) {
    deliver(DesktopChildren(), 0);
    return;
  }
  const bool computer = node->Kind == TNodeKind::Computer;
  TFolderRequest request;
  request.Path = node->Path;
  request.FoldersOnly = false;
  request.ReadPhotoDates = ReadPhotoDates;
  request.SortByDate = FSortByDate;
  FPool.start([computer, request, cancel, deliver] {
    if (computer) {
      std::vector<std::unique_ptr<TShellNode>> volumes = ComputerVolumes();
      if (!cancel->load()) deliver(std::move(volumes), 0);
      return;
    }
    TFolderListing listing = ReadFolder(request, *cancel);
    if (!cancel->load()) deliver(std::move(listing.Nodes), listing.Error);
  });
}

void TShellModel::Arrive(TShellNode* node, uint64_t id,
                         std::vector<std::unique_ptr<TShellNode>> items, int readError) {
  auto it = FJobs.find(node);
  if (it == FJobs.end() || it->second->Id != id) return;
  it->second->Items = std::move(items);
  it->second->ReadError = readError;
  ProcessSlice(node, id);
}

void TShellModel::ProcessSlice(TShellNode* node, uint64_t id) {
  auto alive = [this, node, id]() -> TEnumJob* {
    auto it = FJobs.find(node);
    return it != FJobs.end() && it->second->Id == id ? it->second.get() : nullptr;
  };
  QElapsedTimer slice;
  slice.start();
  for (TEnumJob* job = alive(); job && job->Next < job->Items.size(); job = alive()) {
    if (slice.elapsed() >= kSliceMs) {
      QTimer::singleShot(0, this, [this, node, id] { ProcessSlice(node, id); });
      return;
    }
    TShellNode* item = job->Items[job->Next++].get();
    item->Parent = node;
    bool abort = false;
    if (OnEnumItem) OnEnumItem(item, abort);
    if (!alive()) return;  // the handler refreshed the tree
    if (abort) return EndEnumeration(node, false);
    bool accept = true;
    if (OnFilterNode) OnFilterNode(item, accept);
    if (!(job = alive())) return;
    if (!accept) continue;
    if (node == Root()) {
      if (item->Kind == TNodeKind::Computer) MyComputerNode = item;
      if (item->Kind == TNodeKind::Trash) RecycleBinNode = item;
    }
    job->Kept.push_back(std::move(job->Items[job->Next - 1]));
  }
  if (alive()) EndEnumeration(node, true);
}

void TShellModel::EndEnumeration(TShellNode* node, bool complete) {
  std::unique_ptr<TEnumJob> job = std::move(FJobs[node]);
  FJobs.erase(node);
  if (complete) {
    node->Enumerated = true;
    if (job->Kept.empty()) {
      node->HasChildren = false;
      NodeChanged(node);
    } else {
      AddChildren(node, std::move(job->Kept));
    }
  } else if (node == Root()) {
    MyComputerNode = RecycleBinNode = nullptr;
  }
  emit EnumerationEnded(node, complete);
  if (job->BusyCursor) QGuiApplication::restoreOverrideCursor();
  if (OnEndEnum) OnEndEnum(node);
  if (complete && job->ReadError != 0 && OnReadFailed) OnReadFailed(node, job->ReadError);
  for (auto& waiter : job->Waiters) waiter(complete);
}

void TShellModel::NodeDeleting(TShellNode* node) {
  ++FGeneration;
  FCollector->Cancel();
  if (node == MyComputerNode) MyComputerNode = nullptr;
  if (node == RecycleBinNode) RecycleBinNode = nullptr;
  CancelEnumeration(node);
}

void TShellModel::CancelEnumeration(TShellNode* node) {
  auto it = FJobs.find(node);
  if (it == FJobs.end()) return;
  std::unique_ptr<TEnumJob> job = std::move(it->second);
  FJobs.erase(it);
  job->Cancel->store(true);
  if (job->BusyCursor) QGuiApplication::restoreOverrideCursor();
  if (OnEndEnum) OnEndEnum(node);
  // The waiters hear of it once the deletion is over.
  QTimer::singleShot(0, this, [waiters = std::move(job->Waiters)] {
    for (auto& waiter : waiters) waiter(false);
  });
}

void TShellModel::MarkForReEnumeration(TShellNode* node) {
  CancelEnumeration(node);  // a reading on its way is stale now
  DeleteChildren(node);
  node->Enumerated = false;
  node->HasChildren = true;
  NodeChanged(node);
}

// ---- finding nodes ----

TShellModel::TOpenFolder TShellModel::OpenOrRead(TOpenFolder open) {
  if (open) return open;
  return [this](TShellNode* node, std::function<void(bool)> done) {
    Enumerate(node, std::move(done));
  };
}

void TShellModel::FindByDisplayPath(const QString& path, std::function<void(TShellNode*)> done,
                                    TOpenFolder open) {
  const QStringList texts = SplitDisplayPath(path);
  TShellNode* root = Root();
  if (texts.isEmpty() || !root || root->Text.compare(texts[0], Qt::CaseInsensitive) != 0)
    return done(nullptr);
  FindStep(root, texts.mid(1), std::move(done), OpenOrRead(std::move(open)));
}

void TShellModel::FindStep(TShellNode* node, QStringList texts,
                           std::function<void(TShellNode*)> done, TOpenFolder open) {
  if (texts.isEmpty()) return done(node);
  open(node, [this, node, texts, done, open](bool complete) {
    if (!complete) return done(nullptr);
    TShellNode* child = MatchChild(node, texts[0]);
    if (!child) return done(node);
    FindStep(child, texts.mid(1), done, open);
  });
}

void TShellModel::LocatePath(const QByteArray& rawPath, std::function<void(TShellNode*)> done,
                             TOpenFolder rawOpen) {
  const QByteArray path = WithoutFinalSlash(rawPath);
  const TOpenFolder open = OpenOrRead(std::move(rawOpen));
  auto walk = [path, done, open](TShellNode* base) {
    if (!base) return done(nullptr);
    // One name at a time from the base down.
    auto step = std::make_shared<std::function<void(TShellNode*)>>();
    std::weak_ptr<std::function<void(TShellNode*)>> weakStep = step;
    *step = [path, done, open, weakStep](TShellNode* node) {
      if (node->Path == path) return done(node);
      open(node, [node, path, done, step = weakStep.lock()](bool complete) {
        if (!complete) return done(nullptr);
        for (const auto& child : node->Children)
          if (child->IsFolder() ? PathIsBelow(path, child->Path) : child->Path == path)
            return (*step)(child.get());
        done(nullptr);
      });
    };
    (*step)(base);
  };
  auto best = [path](TShellNode* parent, bool volumes) -> TShellNode* {
    TShellNode* found = nullptr;
    for (const auto& child : parent->Children)
      if ((child->Kind == TNodeKind::Volume) == volumes && PathIsBelow(path, child->Path) &&
          (!found || child->Path.size() > found->Path.size()))
        found = child.get();
    return found;
  };
  TShellNode* root = Root();
  if (!root) return done(nullptr);
  open(root, [this, root, best, walk](bool) {
    if (TShellNode* base = best(root, false); base && base->Kind != TNodeKind::Trash)
      return walk(base);
    if (!MyComputerNode) return walk(nullptr);
    TShellNode* computer = MyComputerNode;
    // The volumes are looked among without opening the computer on screen.
    Enumerate(computer, [computer, best, walk](bool complete) {
      walk(complete ? best(computer, true) : nullptr);
    });
  });
}

void TShellModel::FindDrive(const QByteArray& mountPoint, std::function<void(TShellNode*)> done,
                            TOpenFolder open) {
  TShellNode* computer = MyComputerNode;
  if (!computer) return done(nullptr);
  const QByteArray wanted = WithoutFinalSlash(mountPoint);
  OpenOrRead(std::move(open))(computer, [computer, wanted, done](bool) {
    for (const auto& child : computer->Children)
      if (WithoutFinalSlash(child->Path) == wanted) return done(child.get());
    done(nullptr);
  });
}

// ---- playlists ----

bool TShellModel::Collect(std::vector<TShellNode*> nodes, TAVPlayList& list, bool playFolders,
                          bool subfolders, std::function<void(bool)> done) {
  FCollector->OnAddFile = OnAddFile;
  FCollector->OnCheckAbort = OnCheckAbort;
  return FCollector->Start(std::move(nodes), list, playFolders, subfolders, std::move(done));
}

bool TShellModel::AddFolderFiles(TShellNode* folder, TAVPlayList& list, bool recurse,
                                 std::function<void(bool)> done) {
  return Collect({folder}, list, true, recurse, std::move(done));
}

bool TShellModel::Collecting() const {
  return FCollector->Running();
}

// ---- the data of one node ----

void TShellModel::UpdateSize(TShellNode* node) {
  struct stat info {};
  if (node && !node->IsFolder() && ::stat(node->Path.constData(), &info) == 0)
    node->Size = uint64_t(info.st_size);
}

void TShellModel::ExaminePhoto(TShellNode* node) {
  if (!node || node->Tag != ptUnexamined || node->IsFolder() || !IsPhotoExt(node->Extension()))
    return;
  const QDateTime taken = ReadPhotoDate(node->Path);
  node->Tag = taken.isValid() ? ptDated : ptNoDate;
  if (taken.isValid()) node->SortDate = taken;
}

// ---- changes to the tree ----

void TShellModel::AddChildren(TShellNode* node, std::vector<std::unique_ptr<TShellNode>> children) {
  if (children.empty()) return;
  const int first = int(node->Children.size());
  beginInsertRows(IndexOf(node), first, first + int(children.size()) - 1);
  for (auto& child : children) {
    child->Parent = node;
    node->Children.push_back(std::move(child));
  }
  node->RenumberChildren();
  endInsertRows();
}

void TShellModel::NotifyDeleting(TShellNode* node) {
  for (auto& child : node->Children) NotifyDeleting(child.get());
  NodeDeleting(node);
}

void TShellModel::DeleteChildren(TShellNode* node) {
  if (node->Children.empty()) return;
  beginRemoveRows(IndexOf(node), 0, int(node->Children.size()) - 1);
  for (auto& child : node->Children) NotifyDeleting(child.get());
  node->Children.clear();
  endRemoveRows();
}

void TShellModel::NodeChanged(TShellNode* node) {
  const QModelIndex index = IndexOf(node);
  emit dataChanged(index, index);
}

void TShellModel::SetSortByDate(bool byDate) {
  if (FSortByDate == byDate) return;
  FSortByDate = byDate;
  SortAll();
}

void TShellModel::SortAll() {
  emit layoutAboutToBeChanged();
  const QModelIndexList before = persistentIndexList();
  std::vector<TShellNode*> nodes;
  nodes.reserve(size_t(before.size()));
  for (const QModelIndex& index : before) nodes.push_back(NodeAt(index));
  for (TShellNode* n = FRoot.get(); n; n = n->NextInTree()) {
    // The desktop's own children keep their fixed order.
    if (n == FRoot.get() || n->Children.size() < 2) continue;
    SortNodes(n->Children, FSortByDate);
    n->RenumberChildren();
  }
  QModelIndexList after;
  after.reserve(before.size());
  for (size_t i = 0; i < nodes.size(); ++i)
    after.push_back(nodes[i] ? createIndex(nodes[i]->Row, before[int(i)].column(), nodes[i])
                             : QModelIndex());
  changePersistentIndexList(before, after);
  emit layoutChanged();
}

// ---- the item model ----

QModelIndex TShellModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0) return {};
  if (!parent.isValid()) return row == 0 && FRoot ? createIndex(0, 0, FRoot.get()) : QModelIndex();
  TShellNode* child = NodeAt(parent)->Child(row);
  return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex TShellModel::parent(const QModelIndex& child) const {
  const TShellNode* node = NodeAt(child);
  return node ? IndexOf(node->Parent) : QModelIndex();
}

int TShellModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return FRoot ? 1 : 0;
  if (parent.column() != 0) return 0;
  return int(NodeAt(parent)->Children.size());
}

int TShellModel::columnCount(const QModelIndex&) const {
  return 1;
}

bool TShellModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid()) return bool(FRoot);
  const TShellNode* node = NodeAt(parent);
  return node->HasChildren || !node->Children.empty();
}

QVariant TShellModel::data(const QModelIndex& index, int role) const {
  const TShellNode* node = NodeAt(index);
  if (!node) return {};
  if (role == Qt::DisplayRole) return node->Text;
  if (role == Qt::DecorationRole && IconFor) return IconFor(*node);
  return {};
}

Qt::ItemFlags TShellModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

bool TShellModel::canFetchMore(const QModelIndex& parent) const {
  const TShellNode* node = NodeAt(parent);
  return node && node->HasChildren && !node->Enumerated && FJobs.count(node) == 0;
}

void TShellModel::fetchMore(const QModelIndex& parent) {
  if (TShellNode* node = NodeAt(parent); node && canFetchMore(parent)) Enumerate(node);
}

}  // namespace vexo
