#include <QApplication>
#include <QMessageBox>
#include <QTextStream>

#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  vexo::AVParams = vexo::DefaultAVParams;
  if (!vexo::MediaLibLoad()) {
    const QString text = QString::fromStdString(vexo::MediaLibFailureText());
    QTextStream(stderr) << text << '\n';
    QMessageBox::critical(nullptr, QStringLiteral("Vexo Player"), text);
    return 1;
  }
  vexo::MediaLibInit();
  QTextStream(stdout) << "Vexo Player: the media engine is ready; the player window comes in a "
                         "later version.\n";
  vexo::MediaLibUnload();
  return 0;
}
