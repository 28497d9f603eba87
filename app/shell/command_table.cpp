#include "app/shell/command_table.h"

#include <array>

#include "app/common/theme_icons.h"

namespace vexo {

namespace {

constexpr TMenuRec kNoCommand = {nullptr, -1, {}};

constexpr std::array<TMenuRec, kCommandRowCount> kRows = [] {
  std::array<TMenuRec, kCommandRowCount> rows{};
  rows.fill(kNoCommand);
  rows[mFile] = {"mFile",
                 -1,
                 {mFile_CreatePL, mFile_OptionsPL, mFile_OpenPL, mFile_SavePL, mFile_Open,
                  mFile_OpenFolder, mFile_OpenRecent, mFile_CopyPlayer, mFile_Exit}};
  rows[mFile_CreatePL] = {"mFile_CreatePL", 10, {}};
  rows[mFile_OptionsPL] = {"mFile_OptionsPL", -1, {}};
  rows[mFile_OpenPL] = {"mFile_OpenPL", 11, {}, "bOpenPL"};
  rows[mFile_SavePL] = {"mFile_SavePL", 12, {}, "bSavePL"};
  rows[mFile_New] = {"mFile_New", 7, {}};
  rows[mFile_Open] = {"mFile_Open", 8, {}};
  rows[mFile_OpenFolder] = {"mFile_OpenFolder", -1, {}};
  rows[mFile_OpenRecent] = {"mFile_OpenRecent", -1, {}};
  rows[mFile_Save] = {"mFile_Save", 9, {}};
  rows[mFile_Manage] = {"mFile_Manage", -1, {}};
  rows[mFile_CopyPlayer] = {"mFile_CopyPlayer", -1, {}};
  rows[mFile_Exit] = {"mFile_Exit", -1, {}};
  rows[mEdit] = {"mEdit", -1, {mEdit_RotateCW, mEdit_RotateCCW, mEdit_CopyTo, mEdit_Delete}};
  rows[mEdit_Cut] = {"mEdit_Cut", 0, {}};
  rows[mEdit_Copy] = {"mEdit_Copy", 9, {}};
  rows[mEdit_Paste] = {"mEdit_Paste", 1, {}};
  rows[mEdit_RotateCW] = {"mEdit_RotateCW", 7, {}, "bRotateCW"};
  rows[mEdit_RotateCCW] = {"mEdit_RotateCCW", 8, {}, "bRotateCCW"};
  rows[mEdit_CopyTo] = {"mEdit_CopyTo", 13, {}, "bCopyTo"};
  rows[mEdit_Delete] = {"mEdit_Delete", 2, {}, "bDelItems"};
  rows[mProj] = {"mProj", -1, TCommandSet::Range(mProj_New, mProj_Settings)};
  rows[mProj_New] = {"mProj_New", -1, {}};
  rows[mProj_Open] = {"mProj_Open", -1, {}};
  rows[mProj_Save] = {"mProj_Save", -1, {}};
  rows[mProj_SaveAs] = {"mProj_SaveAs", -1, {}};
  rows[mProj_Close] = {"mProj_Close", -1, {}};
  rows[mProj_Settings] = {"mProj_Settings", -1, {}};
  rows[mTools] = {"mTools", -1, {mTools_Options, mTools_Skins}};
  rows[mTools_Options] = {"mTools_Options", 3, {}, "bOptions"};
  rows[mTools_Skins] = {"mTools_Skins", -1, {mTools_SkinsAdtnl}};
  rows[mTools_SkinsAdtnl] = {"mTools_SkinsAdtnl", -1, {}};
  rows[mHelp] = {"mHelp", -1, {mHelp_Contents, mHelp_Online, mHelp_About}};
  rows[mHelp_Contents] = {"mHelp_Contents", 4, {}, "bHelp"};
  rows[mHelp_Online] = {"mHelp_Online", 5, {}};
  rows[mHelp_About] = {"mHelp_About", 6, {}};
  rows[mtViewSett] = {"mtViewSett", 3, {}};
  rows[mvFullScreen] = {"mvFullScreen", -1, {}};
  rows[mvSaveAs] = {"mvSaveAs", -1, {}};
  rows[mvSubtitles] = {"mvSubtitles", -1, {}};
  rows[mvSoundTrack] = {"mvSoundTrack", -1, {}};
  return rows;
}();

// Opening a folder goes with opening files; in the video pop-up menu the
// options follow full screen.
constexpr TMenuPlacement kPlacements[] = {{mFile_OpenFolder, mFile_Open},
                                          {mTools_Options, mvFullScreen}};

const TMenuTable kTable = {
    kRows,
    /*MenuSeparators=*/
    {mFile_OpenPL, mFile_OpenRecent, mFile_CopyPlayer, mFile_Exit, mEdit_RotateCW, mEdit_CopyTo,
     mEdit_Delete, mTools_Options, mTools_Skins, mTools_SkinsAdtnl, mHelp_About, mtViewSett,
     mvSaveAs, mvSubtitles},
    /*ToolBarSeparators=*/
    {mFile_SavePL, mEdit_RotateCW, mEdit_CopyTo, mTools_Options, mHelp_Contents},
    /*TopLevel=*/{mFile, mEdit, mTools, mHelp},
    /*RunTimeLists=*/{mFile_OpenRecent, mTools_Skins, mTools_SkinsAdtnl, mvSubtitles, mvSoundTrack},
    /*RadioLists=*/{mTools_Skins, mTools_SkinsAdtnl, mvSubtitles, mvSoundTrack},
    /*AutoCheck=*/{},
    /*PlacedAfter=*/kPlacements,
};

// Freedesktop names of the pictures, by image index; our own drawings of the
// same names stand in when the desktop has no icon theme.
constexpr std::array<const char*, 14> kImageNames = {
    "edit-cut",           "edit-paste",           "edit-delete",
    "preferences-system", "help-contents",        "internet-web-browser",
    "help-about",         "object-rotate-right",  "object-rotate-left",
    "edit-copy",          "media-playback-start", "document-open",
    "document-save",      "folder-copy"};

}  // namespace

const TMenuTable& PlayerCommandTable() {
  return kTable;
}

std::vector<QIcon> CommandImages() {
  return ThemeIcons(kImageNames);
}

}  // namespace vexo
