#pragma once
// The progress page of the playlist dialog: the search for media files, then
// the opening of each file by the player, one memo line per opened file.
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStringList>
#include <QWidget>

namespace vexo {

// Kinds of progress notification.
enum TPLProgress : int {
  plEnumStart = 0,   // a folder is being enumerated
  plEnumEnd = 1,     // its enumeration ended
  plSearchDone = 2,  // the search is complete
  plItem = 3,        // an item was enumerated (its path)
  plAccepted = 4,    // a file was accepted into the playlist (its path)
  plOpened = 5,      // the player opened the playlist entry (its path)
};

class TPLProgrPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 480;
  static constexpr int kHeight = 298;

  explicit TPLProgrPanel(QWidget* parent);

  // section: the language section of the owner's texts.
  void Setup(const QString& section);
  // Shows one notification, then lets pending window events run so that the
  // window stays live and Cancel is seen while the work goes on.
  void Notify(int kind, const QString& text);

  QPlainTextEdit* Memo = nullptr;
  QLabel* StatusLabel = nullptr;
  QLabel* ItemLabel = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QString Section;
  int Count = 0;
  // Puts the opened files noted since the window was last served into the
  // memo and the bar.
  void Flush();

 private:
  // Window events are served at most this often while items stream in.
  static constexpr int kServeIntervalMs = 33;
  QElapsedTimer FLastServed;
  QStringList FPendingLines;
  int FPendingSteps = 0;
  bool FFlushQueued = false;
};

}  // namespace vexo
