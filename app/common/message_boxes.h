#pragma once
// Modal message boxes of the shell. Every box goes through one replaceable
// function, so that tests (and headless runs) answer without a window.
#include <QString>
#include <functional>

namespace vexo {

enum class TMsgKind { Error, Warning, Info, Confirm };

struct TMsgBoxRequest {
  TMsgKind Kind = TMsgKind::Info;
  QString Text;
  QString Caption;  // empty: the box has no caption
  bool HelpButton = false;
  int HelpContext = 0;
  bool YesNo = false;  // Yes and No instead of OK
  bool Beep = false;   // errors and warnings sound the system's alert
};

// Returns true for OK or Yes.
using TMsgBoxHook = std::function<bool(const TMsgBoxRequest&)>;
// An empty hook puts the real boxes back.
void SetMessageBoxHook(TMsgBoxHook hook);

// Opens the help page of a context number (help_pages.h) in the user's
// browser; replaceable like the boxes.
using THelpHook = std::function<void(int context)>;
void SetHelpHook(THelpHook hook);
void ShowHelpContext(int context);

// The help context of a box whose question has no help page of its own.
constexpr int kNoHelp = 0;

void ShowError(const QString& text);
void ShowWarning(const QString& text);
void ShowInfo(const QString& text);
void ShowInfoHelp(const QString& text, int helpContext);
bool AskYesNo(const QString& text, int helpContext);

}  // namespace vexo
