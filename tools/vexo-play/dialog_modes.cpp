#include "tools/vexo-play/dialog_modes.h"

#include <QDialog>
#include <QTimer>
#include <cstdio>

#include "app/settings/opt_dialog.h"
#include "app/settings/options.h"
#include "app/shell/about_dialog.h"

namespace vexo::play {

void GrabWhenShown(QDialog& dialog, const std::string& file) {
  if (file.empty()) return;
  QTimer::singleShot(300, &dialog, [&dialog, file] {
    if (!dialog.grab().save(QString::fromStdString(file)))
      std::printf("error the picture could not be saved\n");
    dialog.reject();
  });
}

int RunOptionsDialog(const TPlayOptions& play) {
  TOptions options;
  options.LoadSave(false);
  TOptDialog dialog(options);
  dialog.Init(play.OptionsPage);
  GrabWhenShown(dialog, play.Grab);
  if (dialog.exec() == QDialog::Accepted)
    std::printf("options ok refresh %d\n", dialog.TreeRefreshNeeded ? 1 : 0);
  else
    std::printf("options cancelled\n");
  return 0;
}

int RunAboutBox(const TPlayOptions& play) {
  TAboutDialog box;
  GrabWhenShown(box, play.Grab);
  box.exec();
  return 0;
}

}  // namespace vexo::play
