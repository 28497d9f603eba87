#pragma once
// The .asx playlist file: one `entry` element per media path under an `asx` root.
#include <stdexcept>
#include <string>
#include <vector>

namespace vexo {

// A playlist file that cannot be read, parsed or written; the message is meant for the user.
class TPlayListFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The media paths of a playlist file, in file order, exactly as they stand in the `href`
// attributes. Any root element is accepted; see the .cpp for which children count.
// Throws TPlayListFileError when the file is missing, unreadable or not well-formed.
std::vector<std::string> ReadAsxFile(const std::string& path);

// Writes the paths as UTF-16 LE with byte-order mark, TAB-indented, CR LF line ends.
// Throws TPlayListFileError when a path cannot be encoded or the file cannot be written.
void WriteAsxFile(const std::string& path, const std::vector<std::string>& entries);

}  // namespace vexo
