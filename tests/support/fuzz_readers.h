#pragma once
// How each reader of outside input is driven by the fuzz runs: as the player
// and the program use them, in process.
#include <string>

namespace vexo::test {

// Opens `path` as a one-file playlist in a player control on a memory host
// and memory video back ends, then seeks to the middle and the end, steps a
// few frames and fetches sound, as a user would. The media libraries must be
// loaded. Whether the player opened the file.
bool ReadMediaLikeThePlayer(const std::string& path);

// A photo read as the browser and the player read it: its EXIF block for
// the date and the orientation, the size its header states, then played as
// above. Whether the player opened it.
bool ReadPhotoLikeTheProgram(const std::string& path);

// Loads `path` as an .asx playlist and saves it again; whether it held entries.
bool ReadAsxPlaylist(const std::string& path);

}  // namespace vexo::test
