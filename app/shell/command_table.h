#pragma once
// The commands of the player's main window: the rows of its command table,
// the sets of rows its menus, tool bar and pop-up menus are built from, and
// the pictures the rows name.
#include <QIcon>
#include <vector>

#include "app/common/command_set.h"
#include "app/common/menu_rec.h"

namespace vexo {

// Row indices of the command table. Rows without a name here carry no
// command in this program.
enum TCommandId : int {
  mFile = 0,
  mFile_CreatePL,
  mFile_OptionsPL,
  mFile_OpenPL,
  mFile_SavePL,
  mFile_New,
  mFile_Open,
  mFile_OpenRecent,
  mFile_Save,
  mFile_Manage,
  mFile_CopyPlayer,
  mFile_Exit,
  mEdit,
  mEdit_Cut,
  mEdit_Copy,
  mEdit_Paste,
  mEdit_RotateCW,
  mEdit_RotateCCW,
  mEdit_CopyTo,
  mEdit_Delete,
  mProj,
  mProj_New,
  mProj_Open,
  mProj_Save,
  mProj_SaveAs,
  mProj_Close,
  mProj_Settings,
  mTools,
  mTools_Options,
  mTools_Skins,
  mTools_SkinsAdtnl,
  mHelp,
  mHelp_Contents,
  mHelp_Online,
  mHelp_About,
  // Beyond the table shared with the sibling product: the player's own.
  mFile_OpenFolder,
  mtViewSett = 70,
  mvFullScreen = 79,
  mvSaveAs = 81,
  // The subtitle tracks of the file on show, filled when the menu opens.
  mvSubtitles = 82,
  // The sound streams of the file on show, filled while the program runs.
  mvSoundTrack = 83,
  kCommandRowCount = 84
};

const TMenuTable& PlayerCommandTable();

// The sets the main window builds its menus from.
inline constexpr TCommandSet kMainMenuCommands =
    TCommandSet::Range(mFile, mHelp_About) | TCommandSet{mFile_OpenFolder};
inline constexpr TCommandSet kToolBarCommands = {mFile_OpenPL,    mFile_SavePL,  mEdit_RotateCW,
                                                 mEdit_RotateCCW, mEdit_CopyTo,  mEdit_Delete,
                                                 mTools_Options,  mHelp_Contents};
inline constexpr TCommandSet kBrowserPopupCommands = {
    mFile_CreatePL, mFile_OptionsPL, mEdit_RotateCW, mEdit_RotateCCW,
    mEdit_CopyTo,   mEdit_Delete,    mtViewSett};
inline constexpr TCommandSet kVideoPopupCommands = {mvFullScreen, mTools_Options, mvSaveAs,
                                                    mvSubtitles, mvSoundTrack};

// Pop-up menu numbers, in the order the main window builds them.
inline constexpr int kBrowserPopup = 0;
inline constexpr int kVideoPopup = 1;

// The 20x20 command pictures the rows' image indices point into.
std::vector<QIcon> CommandImages();

}  // namespace vexo
