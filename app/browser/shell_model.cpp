#include "app/browser/shell_model.h"

#include <QIcon>

#include "app/browser/shell_sort.h"

namespace vexo {

TShellModel::TShellModel(QObject* parent) : QAbstractItemModel(parent) {}

TShellModel::~TShellModel() = default;

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
  if (OnNodeDeleting) OnNodeDeleting(node);
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

void TShellModel::SortAll(bool sortByDate) {
  emit layoutAboutToBeChanged();
  const QModelIndexList before = persistentIndexList();
  std::vector<TShellNode*> nodes;
  nodes.reserve(size_t(before.size()));
  for (const QModelIndex& index : before) nodes.push_back(NodeAt(index));
  for (TShellNode* n = FRoot.get(); n; n = n->NextInTree()) {
    // The desktop's own children keep their fixed order.
    if (n == FRoot.get() || n->Children.size() < 2) continue;
    SortNodes(n->Children, sortByDate);
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
  return node && node->HasChildren && !node->Enumerated && !(IsPending && IsPending(node));
}

void TShellModel::fetchMore(const QModelIndex& parent) {
  if (TShellNode* node = NodeAt(parent); node && OnFetch && canFetchMore(parent)) OnFetch(node);
}

}  // namespace vexo
