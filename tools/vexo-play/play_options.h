#pragma once
// The command line of vexo-play.
#include <optional>
#include <string>
#include <vector>

namespace vexo::play {

struct TPlayOptions {
  enum TKind { kPlay, kSaveAsx, kPrintAsx, kMenus, kHelp, kOptions, kAbout, kPage } Kind = kPlay;
  int OptionsPage = 0;
  // --page: the options dialog's page number, or the folder the player page opens on.
  std::string PageArg;
  int Mode = 1;
  bool Play = false;
  std::optional<double> Seconds;
  std::optional<int> SeekFrame;
  bool Stop = false;
  std::string Snapshot;
  std::string Grab;
  bool FullScreen = false;
  bool ExitAtEnd = false;
  // Never drop pictures to catch up: every picture is decoded (benchmarks).
  bool DecodeAll = false;
  // Seconds the window stays, idle, after the scripted steps.
  std::optional<double> Hold;
  // The video panel with its control strip around the player.
  bool Panel = false;
  // Print the processor time of the user-interface thread at the end.
  bool Cpu = false;
  // The files and folders go through the playlist dialog.
  bool PlDialog = false;
  bool Proceed = false;
  // Seconds after the pause that --seconds makes to play again, to the end.
  std::optional<double> Resume;
  std::string AsxFile;
  std::string Browser;  // folder shown in the browser grid beside the player
  // The skin (a sheet in the program's Skins folder) the windows wear.
  std::string Skin;
  // --pldialog: the dialog saved as a picture once it shows, then cancelled.
  std::string GrabDialog;
  std::vector<std::string> Files;

  // Without any scripted step the window stays open for the keyboard.
  bool Scripted() const {
    return Seconds || SeekFrame || Stop || !Snapshot.empty() || !Grab.empty() || FullScreen ||
           ExitAtEnd || Hold || Proceed;
  }
};

// False with `error` set when the command line cannot be used.
bool ParsePlayOptions(int argc, char** argv, TPlayOptions& options, std::string& error);

extern const char* const kUsage;

}  // namespace vexo::play
