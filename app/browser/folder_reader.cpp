#include "app/browser/folder_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <vector>

#include "app/browser/photo_date.h"
#include "app/browser/shell_sort.h"
#include "app/common/media_extensions.h"

namespace vexo {

namespace {

// In UTC: converting every item to local time costs more than reading it, and
// only the few items shown need it.
QDateTime ToDateTime(const struct statx_timestamp& t) {
  if (t.tv_sec == 0 && t.tv_nsec == 0) return {};
  return QDateTime::fromMSecsSinceEpoch(qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000, Qt::UTC);
}

// What the access rights allow this process, from the mode bits: asking the
// kernel once per item and right doubles the time a large folder takes.
bool Allows(const struct statx& info, unsigned ownerBit) {
  static const uid_t user = ::geteuid();
  if (user == 0) return ownerBit != S_IXUSR || (info.stx_mode & (S_IXUSR | S_IXGRP | S_IXOTH));
  if (info.stx_uid == user) return info.stx_mode & ownerBit;
  static const std::vector<gid_t> groups = [] {
    std::vector<gid_t> list(size_t(std::max(::getgroups(0, nullptr), 0)) + 1);
    const int n = ::getgroups(int(list.size()) - 1, list.data());
    list.resize(size_t(std::max(n, 0)));
    list.push_back(::getegid());
    return list;
  }();
  if (std::find(groups.begin(), groups.end(), info.stx_gid) != groups.end())
    return info.stx_mode & (ownerBit >> 3);
  return info.stx_mode & (ownerBit >> 6);
}

constexpr unsigned kStatMask =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_BTIME | STATX_INO;

bool IsPhotoName(const QString& text) {
  const int dot = text.lastIndexOf(u'.');
  return dot >= 0 && IsPhotoExt(text.mid(dot));
}

}  // namespace

QByteArray WithoutFinalSlash(QByteArray path) {
  while (path.size() > 1 && path.endsWith('/')) path.chop(1);
  return path;
}

int OpenFolder(const QByteArray& path) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  const int fd = ::open(path.constData(), kFlags);
  if (fd >= 0 || errno != ENAMETOOLONG || !path.startsWith('/')) return fd;
  // Too long for one call: walk down one name at a time.
  int dir = ::open("/", kFlags);
  for (const QByteArray& part : path.split('/')) {
    if (dir < 0) break;
    if (part.isEmpty()) continue;
    const int next = ::openat(dir, part.constData(), kFlags);
    ::close(dir);
    dir = next;
  }
  return dir;
}

void StatNode(int dirFd, const QByteArray& name, TShellNode& node) {
  struct statx own {};
  uint32_t attributes = saFileSystem;
  if (name.startsWith('.')) attributes |= saHidden;
  if (::statx(dirFd, name.constData(), AT_SYMLINK_NOFOLLOW, kStatMask, &own) != 0) {
    node.Kind = TNodeKind::File;
    node.Attributes = attributes | saReadOnly;
    return;
  }
  struct statx target = own;
  if (S_ISLNK(own.stx_mode)) {
    attributes |= saLink;
    // A broken link or a loop of links keeps the link's own data: it stays a
    // file that cannot be opened, never a folder to walk.
    if (::statx(dirFd, name.constData(), 0, kStatMask, &target) != 0) target = own;
  }
  const bool folder = S_ISDIR(target.stx_mode);
  if (folder) attributes |= saFolder;
  if (Allows(target, S_IRUSR)) attributes |= saCanCopy;
  if (!Allows(target, S_IWUSR)) attributes |= saReadOnly;
  node.Kind = folder ? TNodeKind::Folder : TNodeKind::File;
  node.Attributes = attributes;
  node.HasChildren = folder;
  node.Size = folder ? 0 : uint64_t(target.stx_size);
  node.Device = (uint64_t(target.stx_dev_major) << 32) | target.stx_dev_minor;
  node.Inode = target.stx_ino;
  node.Modified = (target.stx_mask & STATX_MTIME) ? ToDateTime(target.stx_mtime) : QDateTime();
  if (node.Modified.isValid() && (target.stx_mask & STATX_BTIME))
    node.Created = ToDateTime(target.stx_btime);
  if (node.Modified.isValid())
    node.SortDate =
        node.Created.isValid() && node.Created < node.Modified ? node.Created : node.Modified;
}

TFolderListing ReadFolder(const TFolderRequest& request, const std::atomic<bool>& cancel) {
  TFolderListing listing;
  const int fd = OpenFolder(request.Path);
  if (fd < 0) {
    listing.Error = errno;
    return listing;
  }
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    listing.Error = errno;
    ::close(fd);
    return listing;
  }
  // Renaming, moving and deleting change the folder itself.
  const bool folderWritable = ::faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) == 0;
  const uint32_t changeRights = folderWritable ? (saCanMove | saCanRename | saCanDelete) : 0;
  const QCollator collator = MakeNameCollator();
  const QByteArray prefix = request.Path.endsWith('/') ? request.Path : request.Path + '/';
  listing.Readable = true;
  while (!cancel.load(std::memory_order_relaxed)) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      listing.Error = errno;
      break;
    }
    const QByteArray name(entry->d_name);
    if (name == "." || name == "..") continue;
    auto node =
        std::make_unique<TShellNode>(TNodeKind::File, QFile::decodeName(name), prefix + name);
    StatNode(fd, name, *node);
    if (request.FoldersOnly && !node->IsFolder()) continue;
    node->Attributes |= changeRights;
    node->NameKey = collator.sortKey(node->Text);
    if (request.ReadPhotoDates && !node->IsFolder() && IsPhotoName(node->Text)) {
      const QDateTime taken = ReadPhotoDate(fd, name);
      node->Tag = taken.isValid() ? ptDated : ptNoDate;
      if (taken.isValid()) node->SortDate = taken;
    }
    listing.Nodes.push_back(std::move(node));
  }
  ::closedir(dir);
  SortNodes(listing.Nodes, request.SortByDate);
  return listing;
}

}  // namespace vexo
