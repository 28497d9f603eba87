#include "app/player/video_popup_rules.h"

#include <QToolBar>
#include <algorithm>

#include "app/shell/command_table.h"
#include "engine/playback/av_player.h"

namespace vexo {

namespace {

// The action also stands in a menu other than `menu`, or on a tool bar.
bool StandsElsewhere(const QAction& action, const QMenu& menu) {
  const QObjectList users = action.associatedObjects();
  return std::any_of(users.begin(), users.end(), [&menu](const QObject* user) {
    return user != &menu &&
           (qobject_cast<const QMenu*>(user) || qobject_cast<const QToolBar*>(user));
  });
}

}  // namespace

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

void ApplyVideoPopupRules(QMenu& menu, bool fullScreen, uint8_t playState, bool fileLoaded,
                          TSharedItemStates* shared) {
  const QList<QAction*> actions = menu.actions();
  for (int i = 0; i < actions.size(); ++i) {
    if (actions[i]->isSeparator()) {
      actions[i]->setVisible(!fullScreen);
      continue;
    }
    if (StandsElsewhere(*actions[i], menu)) {
      if (!shared) continue;
      const bool known =
          std::any_of(shared->begin(), shared->end(),
                      [&](const TSharedItemState& s) { return s.Action == actions[i]; });
      if (!known) shared->push_back({actions[i], actions[i]->isVisible(), actions[i]->isEnabled()});
    }
    const bool trackChoice = actions[i]->menu() && actions[i]->menu()->actions().size() > 1;
    const TPopupItemState item = VideoPopupItemState(actions[i]->data().toInt(), i, fullScreen,
                                                     playState, fileLoaded, trackChoice);
    actions[i]->setVisible(item.Visible);
    actions[i]->setEnabled(item.Enabled);
  }
}

void RestoreSharedItems(TSharedItemStates& shared) {
  for (const TSharedItemState& item : shared) {
    if (!item.Action) continue;
    item.Action->setVisible(item.Visible);
    item.Action->setEnabled(item.Enabled);
  }
  shared.clear();
}

}  // namespace vexo
