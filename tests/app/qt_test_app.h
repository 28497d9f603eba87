#pragma once
// One QApplication per test program, on the off-screen platform so that no
// display is needed, with message boxes answered by a recorder.
#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <vector>

#include "app/common/message_boxes.h"

// fontconfig keeps its font cache until the process ends; that is no leak of ours.
extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace vexo::test {

inline QApplication& QtApp() {
  static int argc = 1;
  static char name[] = "vexo-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Collects the boxes shown while it lives and answers them with answer.
class TBoxRecorder {
 public:
  explicit TBoxRecorder(bool answer = true) {
    SetMessageBoxHook([this, answer](const TMsgBoxRequest& r) {
      Boxes.push_back(r);
      return answer;
    });
  }
  ~TBoxRecorder() { SetMessageBoxHook({}); }
  std::vector<TMsgBoxRequest> Boxes;
};

}  // namespace vexo::test
