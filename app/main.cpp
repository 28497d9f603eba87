// vexoplayer: one running program per user, its main window, the files it
// is given, and the desktop's sound and picture back ends it plays through.
#include <QApplication>

#include "app/common/language_list.h"
#include "app/common/program_environment.h"
#include "app/common/theme_icons.h"
#include "app/shell/main_form.h"
#include "app/shell/outside_link.h"
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

  // Files named here play; with a program already running they go to it,
  // and without files a later start only brings that one forward.
  const QStringList files = AbsolutePaths(QApplication::arguments().mid(1));
  TSingleInstance instance;
  if (instance.Begin(10000, files) != TSingleInstance::siFirst) return 0;

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
      TOutsideLink outside(form);
      QObject::connect(&instance, &TSingleInstance::FilesHandedOver, &outside,
                       &TOutsideLink::OpenHandedOver);
      outside.Open(files);
      status = QApplication::exec();
    }
  }
  SetSoundSystem(nullptr);
  MediaLibUnload();
  return status;
}
