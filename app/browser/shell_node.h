#pragma once
// One item of the browser's namespace: the desktop root, the computer with
// its volumes, folders, files and the trash. Paths are kept as the bytes the
// file system gave, because a POSIX name need not be valid text; Text is only
// for showing.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QCollatorSortKey>

namespace vexo {

// Attribute bits, numbered as the desktop shell numbers them so that stored
// values and the tests below keep their meaning.
enum TShellAttr : uint32_t {
  saCanCopy = 0x1,
  saCanMove = 0x2,
  saCanLink = 0x4,
  saCanRename = 0x10,
  saCanDelete = 0x20,
  saLink = 0x10000,
  saReadOnly = 0x40000,
  saHidden = 0x80000,
  saStream = 0x400000,
  saRemovable = 0x2000000,
  saFolder = 0x20000000,
  saFileSystem = 0x40000000,
};

enum class TNodeKind : uint8_t { Desktop, Computer, Volume, Trash, Folder, File };

// Photo tag values: whether the recording date has been looked for.
enum TPhotoTag : int { ptUnexamined = 0, ptNoDate = 1, ptDated = 2 };

class TShellNode {
 public:
  TShellNode(TNodeKind kind, QString text, QByteArray path)
      : Kind(kind), Text(std::move(text)), Path(std::move(path)) {}

  TNodeKind Kind;
  QString Text;     // display text
  QByteArray Path;  // native path; empty for items that have none
  uint32_t Attributes = 0;
  bool Enumerated = false;
  bool HasChildren = false;
  uint64_t Size = 0;  // bytes; 0 for folders
  QDateTime Created;  // invalid when unknown
  QDateTime Modified;
  QDateTime SortDate;
  int Tag = ptUnexamined;
  // Identity of a folder on disk, to notice a folder inside itself.
  uint64_t Device = 0;
  uint64_t Inode = 0;
  std::optional<QCollatorSortKey> NameKey;

  TShellNode* Parent = nullptr;
  std::vector<std::unique_ptr<TShellNode>> Children;
  int Row = 0;  // index among the parent's children

  bool CanCopy() const { return Attributes & saCanCopy; }
  bool CanMove() const { return Attributes & saCanMove; }
  bool CanDelete() const { return Attributes & saCanDelete; }
  bool IsLink() const { return Attributes & saLink; }
  bool IsReadOnly() const { return Attributes & saReadOnly; }
  bool IsHidden() const { return Attributes & saHidden; }
  bool IsStream() const { return Attributes & saStream; }
  bool IsRemovable() const { return Attributes & saRemovable; }
  bool IsFileSystem() const { return Attributes & saFileSystem; }
  bool IsFolder() const { return (Attributes & saFolder) || Kind == TNodeKind::Desktop; }

  // 0 for the root, 1 for its children, and so on.
  int Level() const;
  TShellNode* Child(int row) const {
    return row >= 0 && row < int(Children.size()) ? Children[size_t(row)].get() : nullptr;
  }
  TShellNode* FirstChild() const { return Child(0); }
  TShellNode* LastChild() const { return Child(int(Children.size()) - 1); }
  TShellNode* NextSibling() const { return Parent ? Parent->Child(Row + 1) : nullptr; }
  TShellNode* PrevSibling() const { return Parent ? Parent->Child(Row - 1) : nullptr; }
  // Tree order: the node, its children, then the next sibling.
  TShellNode* NextInTree() const;
  bool IsAncestorOf(const TShellNode* node) const;
  // The extension of the path's file name with its dot; empty when none.
  QString Extension() const;
  void RenumberChildren();
};

}  // namespace vexo
