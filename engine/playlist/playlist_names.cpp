#include "engine/playlist/playlist_names.h"

namespace vexo {

std::string PathFileNamePart(std::string_view path) {
  const auto slash = path.find_last_of("/\\:");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string PlayListTitle(std::string_view path) {
  std::string name = PathFileNamePart(path);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

}  // namespace vexo
