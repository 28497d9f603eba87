// vexoplayer: one running program per user, its main window, and the
// desktop's sound and picture back ends it plays through.
#include <QApplication>

#include "app/common/language_list.h"
#include "app/common/program_environment.h"
#include "app/common/theme_icons.h"
#include "app/shell/main_form.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "platform/platform_sound_system.h"
#include "platform/single_instance.h"
#include "platform/termination_signals.h"
#include "platform/video_system.h"

using namespace vexo;

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The desktop matches the window to vexoplayer.desktop and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("vexoplayer"));
  QApplication::setWindowIcon(ThemeIcon("vexoplayer"));
  InitProgramEnvironment();
  LResList.Load(ResourceDir);
  AVParams = DefaultAVParams;

  // The command line is not read: a later start only brings this one forward.
  TSingleInstance instance;
  if (instance.Begin() != TSingleInstance::siFirst) return 0;

  TDesktopVideoSystem video;
  TPlatformSoundSystem sound;
  SetSoundSystem(&sound);
  int status = 1;
  {
    TPLMainForm form;
    instance.EndStart();
    if (form.Created()) {
      QObject::connect(&instance, &TSingleInstance::SecondInstance, &form,
                       &TPLMainForm::BringToFront);
      TTerminationSignals ending;
      QObject::connect(&ending, &TTerminationSignals::Received, &form, &QWidget::close);
      form.show();
      status = QApplication::exec();
    }
  }
  SetSoundSystem(nullptr);
  MediaLibUnload();
  return status;
}
