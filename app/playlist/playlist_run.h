#pragma once
// The work behind the playlist dialog's progress page: the selection's media
// files are collected, ordered and handed to the player, every step reported
// to the dialog, and a cancel honoured at the next step.
#include <QStringList>
#include <cstdint>
#include <functional>

namespace vexo {

class TAVPlayList;
class TAVPlayer;
class TOptions;
class TPlaylistDialog;

// Opens `list` in the player, reporting each opened entry (kind 5). A cancel
// stops the opening before its next file and leaves the player closed.
// True when the player opened the list.
bool OpenPlayListWithProgress(TAVPlayer& player, TAVPlayList& list, uint8_t videoMode,
                              TPlaylistDialog& dialog);
// The same, with `open` handing the list to the player (through whoever shows
// it besides the player).
bool OpenPlayListWithProgress(TAVPlayer& player, TAVPlayList& list, TPlaylistDialog& dialog,
                              const std::function<void()>& open);

// The dialog's start work for a selection of plain paths: collect (kinds 0, 1,
// 3, 4, then 2), order by the options, open. Ends the dialog: Accepted when
// the list plays or nothing was found (after saying so), Rejected when the
// user cancelled; the list is then empty and the player closed.
void BuildAndPlay(TPlaylistDialog& dialog, const QStringList& selection, const TOptions& options,
                  TAVPlayList& list, TAVPlayer& player, uint8_t videoMode);

}  // namespace vexo
