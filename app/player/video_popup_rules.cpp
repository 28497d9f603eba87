#include "app/player/video_popup_rules.h"

#include "app/shell/command_table.h"
#include "engine/playback/av_player.h"

namespace vexo {

TPopupItemState VideoPopupItemState(int command, int index, bool fullScreen, uint8_t playState,
                                    bool fileLoaded, bool trackChoice) {
  TPopupItemState item;
  item.Visible = index == 0 || !fullScreen;
  if (command == mvSoundTrack) {
    // The sound changes without a break, so also while playing.
    item.Visible = item.Visible && trackChoice;
    item.Enabled = trackChoice;
  } else if (command == mvFullScreen || command == mvSubtitles) {
    // Subtitles are chosen while the picture plays too.
    item.Enabled = fileLoaded;
  } else {
    item.Enabled = playState != psPlaying && (command != mvSaveAs || fileLoaded);
  }
  return item;
}

void ApplyVideoPopupRules(QMenu& menu, bool fullScreen, uint8_t playState, bool fileLoaded) {
  const QList<QAction*> actions = menu.actions();
  for (int i = 0; i < actions.size(); ++i) {
    if (actions[i]->isSeparator()) {
      actions[i]->setVisible(!fullScreen);
      continue;
    }
    const bool trackChoice = actions[i]->menu() && actions[i]->menu()->actions().size() > 1;
    const TPopupItemState item = VideoPopupItemState(actions[i]->data().toInt(), i, fullScreen,
                                                     playState, fileLoaded, trackChoice);
    actions[i]->setVisible(item.Visible);
    actions[i]->setEnabled(item.Enabled);
  }
}

}  // namespace vexo
