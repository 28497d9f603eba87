#pragma once
// Which entries of a playlist name files that exist. A file name is bytes: it
// is looked up exactly as it stands, whether or not it is valid text.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace vexo {

// 1 where the path names an existing file (a link is followed), else 0.
// Stops early, with the rest 0, when cancel turns true.
std::vector<char> FilesPresent(const std::vector<std::string>& paths,
                               const std::atomic<bool>& cancel);

// The same, on a worker thread for a long list, while the interface thread
// goes on serving its events (the window repaints, the terminate signal is
// heard). False when cancel turned true or the event loops were told to end
// before the answer was complete.
bool CheckFilesPresent(const std::vector<std::string>& paths,
                       const std::shared_ptr<std::atomic<bool>>& cancel,
                       std::vector<char>& present);

}  // namespace vexo
