#include "app/playlist/folder_collect.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <string>
#include <vector>

#include "app/common/media_extensions.h"
#include "app/settings/options.h"
#include "engine/playlist/av_playlist.h"
#include "engine/playlist/playlist_names.h"

namespace vexo {

namespace {

QString DotExtension(const QFileInfo& info) {
  const QString suffix = info.suffix();
  return suffix.isEmpty() ? QString() : '.' + suffix;
}

class TCollector {
 public:
  TCollector(const TOptions& options, const TFolderCollect& how) : FOptions(options), FHow(how) {}

  bool Stopped() const { return FHow.Aborted && FHow.Aborted(); }

  void Report(int kind, const QString& path) const {
    if (FHow.OnProgress) FHow.OnProgress(kind, path);
  }

  void AddFile(const QFileInfo& info) {
    const QString ext = DotExtension(info);
    if (!FOptions.IsMediaExtension(ext)) return;
    if (FHow.FolderMedia == 0 && !IsVideoExt(ext)) return;
    if (FHow.FolderMedia == 1 && !IsPhotoExt(ext)) return;
    Files << info.absoluteFilePath();
    Report(4, info.absoluteFilePath());
  }

  void AddFolder(const QString& folder) {
    if (Stopped()) return;
    // A linked folder is walked like its target, unless it leads back to a
    // folder being walked.
    const QString real = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty() || FWalking.contains(real)) return;
    FWalking << real;
    Report(0, folder);
    const QDir dir(folder);
    const QFileInfoList files =
        dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : files) {
      if (Stopped()) break;
      Report(3, info.absoluteFilePath());
      AddFile(info);
    }
    if (FHow.Subfolders) {
      const QFileInfoList folders =
          dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
      for (const QFileInfo& info : folders) {
        if (Stopped()) break;
        AddFolder(info.absoluteFilePath());
      }
    }
    Report(1, folder);
    FWalking.removeLast();
  }

  QStringList Files;

 private:
  const TOptions& FOptions;
  const TFolderCollect& FHow;
  // Real paths of the folder being walked and of those above it.
  QStringList FWalking;
};

}  // namespace

QStringList CollectMediaFiles(const QStringList& paths, const TOptions& options,
                              const TFolderCollect& how) {
  TCollector collector(options, how);
  for (const QString& path : paths) {
    if (collector.Stopped()) break;
    const QFileInfo info(path);
    if (info.isDir()) {
      if (how.PlayFolders) collector.AddFolder(info.absoluteFilePath());
    } else if (info.isFile()) {
      collector.AddFile(info);
    }
  }
  return collector.Files;
}

namespace {

bool GoesFirst(const QString& ext, int order) {
  return order == 0 ? IsVideoExt(ext) : IsPhotoExt(ext);
}

}  // namespace

void OrderPlayList(QStringList& files, int order) {
  if (order != 0 && order != 1) return;
  std::stable_partition(files.begin(), files.end(), [order](const QString& file) {
    return GoesFirst(DotExtension(QFileInfo(file)), order);
  });
}

void OrderPlayList(TAVPlayList& list, int order) {
  if (order != 0 && order != 1) return;
  std::vector<std::string> entries;
  entries.reserve(size_t(list.Count()));
  for (int i = 0; i < list.Count(); ++i) entries.push_back(list.Strings(i));
  std::stable_partition(entries.begin(), entries.end(), [order](const std::string& entry) {
    const std::string name = PathFileNamePart(entry);
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && GoesFirst(QString::fromUtf8(name.substr(dot)), order);
  });
  list.Clear();
  for (const std::string& entry : entries) list.Add(entry);
}

}  // namespace vexo
