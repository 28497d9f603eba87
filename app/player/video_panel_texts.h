#pragma once
// The texts the video panel composes: the caption line for what is open, and
// the message about playlist entries whose files are missing.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexo {

class TAVPlayList;

// What is open, as far as the caption needs it.
struct TOpenSummary {
  int32_t Files = 0;
  int64_t TotalFrames = 0;
  int32_t Videos = 0;
  int32_t Pictures = 0;
  bool FirstIsPicture = false;
  QString FileListCaption;  // the file name, or first and last name
};

// "Video: clip.mp4", "Playlist: Holiday (1 picture, 2 videos)", ...
QString VideoPanelCaption(const TOpenSummary& open, const QString& listTitle);

// The message listing missing paths (at most twelve, then a dotted line);
// empty when there are none.
QString MissingFilesMessage(const QStringList& missing);
// The same for files that exist but could not be opened (damaged, not media).
QString LeftOutFilesMessage(const QStringList& leftOut);

// A list of the paths whose file is present (as FilesPresent answers), in
// order and without timing; missing receives the others, as many as the
// message names plus one (so that it knows there were more).
std::unique_ptr<TAVPlayList> PresentEntries(const std::vector<std::string>& paths,
                                            const std::vector<char>& present, QStringList& missing);

// The path lies where removable drives and network shares are mounted, so a
// missing file there may only be on a drive that is not connected.
bool IsOnDetachableMount(const QString& path);

}  // namespace vexo
