#pragma once
// Which commands of the video pop-up menu show and can be used: in full
// screen only the first item (Full Screen) shows; while playing only Full
// Screen and Sound track can be used; Full Screen and Save Picture need an
// open file; Sound track shows when the file offers a choice of sound.
#include <QMenu>
#include <cstdint>

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
void ApplyVideoPopupRules(QMenu& menu, bool fullScreen, uint8_t playState, bool fileLoaded);

}  // namespace vexo
