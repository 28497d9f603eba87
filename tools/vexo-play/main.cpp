// vexo-play: the player control in a bare window, or the playlist file modes.
#include <QApplication>
#include <QTimer>
#include <cstdint>
#include <cstdio>

#include "app/common/language_list.h"
#include "app/common/program_environment.h"
#include "app/shell/skin_manager.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "platform/platform_sound_system.h"
#include "platform/video_system.h"
#include "tools/vexo-play/dialog_modes.h"
#include "tools/vexo-play/menu_demo.h"
#include "tools/vexo-play/page_demo.h"
#include "tools/vexo-play/play_options.h"
#include "tools/vexo-play/play_window.h"
#include "tools/vexo-play/playlist_modes.h"
#include "tools/vexo-play/timed_application.h"

using namespace vexo;

int main(int argc, char** argv) {
  play::TPlayOptions options;
  std::string error;
  if (!play::ParsePlayOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "vexo-play: %s\n%s", error.c_str(), play::kUsage);
    return 2;
  }
  if (options.Kind == play::TPlayOptions::kHelp) {
    std::fputs(play::kUsage, stdout);
    return 0;
  }
  if (options.Kind == play::TPlayOptions::kSaveAsx)
    return play::SaveAsx(options.AsxFile, options.Files);
  if (options.Kind == play::TPlayOptions::kPrintAsx) return play::PrintAsx(options.AsxFile);

  // A picture is late only beyond any time a run can take.
  if (options.DecodeAll) AVParams.LagMinMs = INT32_MAX / 2;
  play::TTimedApplication app(argc, argv);
  LResList.Load(QCoreApplication::applicationDirPath());
  TSkinManager skins;
  if (!options.Skin.empty()) {
    skins.SetSkinFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/Skins"));
    skins.SetSkinName(QString::fromStdString(options.Skin));
    skins.SetActive(true);
    if (!skins.Active()) {
      std::fprintf(stderr, "vexo-play: %s\n", qPrintable(skins.LastError()));
      return 2;
    }
  }
  if (options.Kind == play::TPlayOptions::kMenus) return play::RunMenuDemo(options);
  if (options.Kind == play::TPlayOptions::kOptions || options.Kind == play::TPlayOptions::kAbout) {
    InitProgramEnvironment();
    TPlatformSoundSystem sound;
    SetSoundSystem(&sound);
    const int result = options.Kind == play::TPlayOptions::kOptions
                           ? play::RunOptionsDialog(options)
                           : play::RunAboutBox(options);
    SetSoundSystem(nullptr);
    return result;
  }
  if (!MediaLibLoad()) {
    std::printf("error the media libraries could not be loaded\n");
    return 1;
  }
  CreateLog(nullptr, 0);
  TDesktopVideoSystem videoSystem;
  TPlatformSoundSystem soundSystem;
  SetSoundSystem(&soundSystem);
  int status = 0;
  if (options.Kind == play::TPlayOptions::kPage) {
    InitProgramEnvironment();
    status = play::RunPageDemo(options);
  } else {
    play::TPlayWindow window(options);
    QTimer::singleShot(0, &window, [&window] { window.Start(); });
    status = app.exec();
  }
  SetSoundSystem(nullptr);
  FreeLog();
  MediaLibUnload();
  return status;
}
