#pragma once
// Names derived from the paths that playlists hold. Playlists written on Windows carry
// drive-letter paths with backslashes, so `\` and `:` count as separators beside `/`.
#include <string>
#include <string_view>

namespace vexo {

// The characters after the last `/`, `\` or `:`; the whole path when it has none.
std::string PathFileNamePart(std::string_view path);

// The file-name part without its last extension: "D:\Lists\Party mix.asx" gives "Party mix".
std::string PlayListTitle(std::string_view path);

}  // namespace vexo
