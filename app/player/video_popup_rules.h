#pragma once
// Which commands of the video pop-up menu show and can be used: in full
// screen only the first item (Full Screen) shows; while playing only Full
// Screen and Sound track can be used; Full Screen and Save Picture need an
// open file; Sound track shows when the file offers a choice of sound.
#include <QMenu>
#include <QPointer>
#include <cstdint>
#include <vector>

namespace vexo {

struct TPopupItemState {
  bool Visible = true;
  bool Enabled = true;
};

// command: the command-table row (mvFullScreen, ...), which each action
// carries as its data(); index: the item's place in the menu, from 0.
// trackChoice: the Sound track list holds more than one entry.
TPopupItemState VideoPopupItemState(int command, int index, bool fullScreen, uint8_t playState,
                                    bool fileLoaded, bool trackChoice = false);

// A command the pop-up shares with the menu bar or a tool bar is one action
// there too, so the rules may change it only while the pop-up is open: this
// is what it was before they did.
struct TSharedItemState {
  QPointer<QAction> Action;
  bool Visible, Enabled;
};
using TSharedItemStates = std::vector<TSharedItemState>;

// With `shared` null the commands that stand elsewhere too are left as they
// are; otherwise they follow the rules and their former states are added to
// `shared` (once each) for RestoreSharedItems when the pop-up closes.
void ApplyVideoPopupRules(QMenu& menu, bool fullScreen, uint8_t playState, bool fileLoaded,
                          TSharedItemStates* shared = nullptr);
void RestoreSharedItems(TSharedItemStates& shared);

}  // namespace vexo
