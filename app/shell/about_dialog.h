#pragma once
// The about box: product, version and build date, the maker's links, the
// credit for the FFmpeg libraries and the machine's memory.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vexo {

class TAboutDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr const char* kVersion = "1.5";

  explicit TAboutDialog(QWidget* parent = nullptr);

  // "Version 1.5", with the build date when the program's file is found.
  static QString VersionLine(const QString& programFile);
  // Whole megabytes, halves to the even neighbour.
  static int MegaBytes(int64_t bytes);

  QLabel* Title = nullptr;
  QLabel* Version = nullptr;
  QLabel* Link = nullptr;
  QLabel* LinkEmail = nullptr;
  QLabel* Memory = nullptr;
  QPlainTextEdit* License = nullptr;
  QPushButton* OK = nullptr;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QWidget* FLineTop = nullptr;
};

void ShowAboutBox(QWidget* parent = nullptr);

// The program's picture: our own drawing, as no icon file ships with it.
QPixmap ProgramPicture(int size);

}  // namespace vexo
