#pragma once
// The command line of vexo-play.
#include <optional>
#include <string>
#include <vector>

namespace vexo::play {

struct TPlayOptions {
  enum TKind { kPlay, kSaveAsx, kPrintAsx } Kind = kPlay;
  int Mode = 1;
  bool Play = false;
  std::optional<double> Seconds;
  std::optional<int> SeekFrame;
  bool Stop = false;
  std::string Snapshot;
  std::string Grab;
  bool FullScreen = false;
  bool ExitAtEnd = false;
  // Seconds after the pause that --seconds makes to play again, to the end.
  std::optional<double> Resume;
  std::string AsxFile;
  std::vector<std::string> Files;

  // Without any scripted step the window stays open for the keyboard.
  bool Scripted() const {
    return Seconds || SeekFrame || Stop || !Snapshot.empty() || !Grab.empty() || FullScreen ||
           ExitAtEnd;
  }
};

// False with `error` set when the command line cannot be used.
bool ParsePlayOptions(int argc, char** argv, TPlayOptions& options, std::string& error);

extern const char* const kUsage;

}  // namespace vexo::play
