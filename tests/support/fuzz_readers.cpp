#include "tests/support/fuzz_readers.h"

#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#include "engine/input/av_in_file.h"
#include "engine/input/picture_size.h"
#include "engine/media/av_types.h"
#include "engine/media/exif_orientation.h"
#include "engine/media/photo_exif.h"
#include "engine/playback/av_player.h"
#include "engine/playlist/asx_file.h"
#include "engine/playlist/av_playlist.h"
#include "tests/support/memory_player_host.h"
#include "tests/support/memory_video_system.h"

namespace vexo::test {

bool ReadMediaLikeThePlayer(const std::string& path) {
  AVParams = DefaultAVParams;
  TMemoryVideoSystem videos;
  TMemoryHost host;
  TAVPlayList list;
  list.Add(path);
  TAVPlayer player(host);
  player.OnErrorText = [](int32_t, std::string& text, const std::string& argument,
                          const std::string& detail) { text = argument + ": " + detail; };
  player.OpenPlayList(&list, vmRaster);
  if (!player.IsOpen()) return false;
  const int64_t frames = player.TotalFrames();
  for (int64_t frame : {frames / 2, frames - 1, int64_t(0)}) {
    if (!player.IsOpen()) return true;
    player.SeekToFrame(int32_t(frame));
  }
  for (int step = 0; step < 5 && player.IsOpen(); ++step) player.NavigateKey(nkRight);
  const uint8_t* chunk = nullptr;
  int32_t size = 0;
  // Sound that decodes other than its packets promise raises an error, which
  // ends the sound thread's run as it ends this fetching.
  try {
    for (int fetch = 0; fetch < 20 && player.IsOpen(); ++fetch)
      if (player.DecodeAudio(chunk, size, 0) != 0) break;
  } catch (const TAVDecodeError&) {
  }
  if (player.IsOpen()) player.SetState(psStopped);
  return true;
}

bool ReadPhotoLikeTheProgram(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    ReadExifBlock(fd);
    ::close(fd);
  }
  ReadExifOrientation(path);
  DeclaredPictureSize(path);
  return ReadMediaLikeThePlayer(path);
}

bool ReadAsxPlaylist(const std::string& path) {
  TAVPlayList list;
  // A file that cannot be read or written is reported with its error text.
  try {
    list.LoadFromFile(path);
    if (list.Count() > 0) list.SaveToFile(path + ".saved.asx");
  } catch (const TPlayListFileError&) {
  }
  std::remove((path + ".saved.asx").c_str());
  return list.Count() > 0;
}

}  // namespace vexo::test
