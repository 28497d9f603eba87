#include "tools/vexo-play/playlist_modes.h"

#include <cstdio>
#include <exception>

#include "engine/playlist/av_playlist.h"

namespace vexo::play {

int SaveAsx(const std::string& path, const std::vector<std::string>& entries) {
  TAVPlayList list;
  for (const std::string& entry : entries) list.Add(entry);
  try {
    list.SaveToFile(path);
  } catch (const std::exception& e) {
    std::printf("error %s\n", e.what());
    return 1;
  }
  return 0;
}

int PrintAsx(const std::string& path) {
  TAVPlayList list;
  try {
    list.LoadFromFile(path);
  } catch (const std::exception& e) {
    std::printf("error %s\n", e.what());
    return 1;
  }
  std::printf("name %s\n", list.Name().c_str());
  for (int i = 0; i < list.Count(); ++i) std::printf("entry %s\n", list.Strings(i).c_str());
  return 0;
}

}  // namespace vexo::play
