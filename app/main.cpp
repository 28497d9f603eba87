#include <QApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QTextStream(stdout)
      << "Vexo Player: the player window is not built yet; the engine and its tests are.\n";
  return 0;
}
