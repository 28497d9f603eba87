#include "app/common/message_boxes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <cstdio>

#include "app/common/help_pages.h"
#include "app/common/language_list.h"
#include "app/common/program_environment.h"
#include "app/common/text_utils.h"

namespace vexo {
namespace {

TMsgBoxHook& BoxHook() {
  static TMsgBoxHook hook;
  return hook;
}

THelpHook& HelpHook() {
  static THelpHook hook;
  return hook;
}

QWidget* VisibleMainWindow() {
  QWidget* active = QApplication::activeWindow();
  if (active && active->isVisible()) return active->window();
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && top->isWindow() && !top->parentWidget()) return top;
  return nullptr;
}

bool ShowRealBox(const TMsgBoxRequest& request) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    // No widgets to show a box with: the text must still reach someone.
    std::fprintf(stderr, "%s\n", qPrintable(request.Text));
    return false;
  }
  if (request.Beep) QApplication::beep();
  QMessageBox::Icon icon = QMessageBox::Information;
  switch (request.Kind) {
    case TMsgKind::Error:
      icon = QMessageBox::Critical;
      break;
    case TMsgKind::Warning:
      icon = QMessageBox::Warning;
      break;
    case TMsgKind::Info:
      icon = QMessageBox::Information;
      break;
    case TMsgKind::Confirm:
      icon = QMessageBox::Question;
      break;
  }
  // Plain text: the label shows every character as it is, '&' included.
  QMessageBox box(icon, request.Caption, request.Text, QMessageBox::NoButton, VisibleMainWindow());
  box.setTextFormat(Qt::PlainText);
  box.setWindowFlags(box.windowFlags() &
                     ~(Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint));
  QAbstractButton* help = nullptr;
  if (request.YesNo)
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  else
    box.setStandardButtons(QMessageBox::Ok);
  if (request.HelpButton) help = box.addButton(QMessageBox::Help);
  for (;;) {
    const int answer = box.exec();
    // Help leaves the question open, as the user has not answered it yet.
    if (help && box.clickedButton() == help) {
      ShowHelpContext(request.HelpContext);
      continue;
    }
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
  }
}

bool Show(TMsgBoxRequest request) {
  request.Beep = request.Kind == TMsgKind::Error || request.Kind == TMsgKind::Warning;
  if (BoxHook()) return BoxHook()(request);
  return ShowRealBox(request);
}

TMsgBoxRequest Request(TMsgKind kind, const QString& text) {
  TMsgBoxRequest request;
  request.Kind = kind;
  request.Text = text;
  return request;
}

}  // namespace

void SetMessageBoxHook(TMsgBoxHook hook) {
  BoxHook() = std::move(hook);
}

void SetHelpHook(THelpHook hook) {
  HelpHook() = std::move(hook);
}

void ShowHelpContext(int context) {
  if (HelpHook()) {
    HelpHook()(context);
    return;
  }
  const QString folder = ResourceDirSlash + QStringLiteral("help");
  const QString page = HelpFileFor(context, folder);
  if (page.isEmpty()) return ShowError(FormatText(LResList.GetText("Help", 1), {folder}));
  QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

void ShowError(const QString& text) {
  Show(Request(TMsgKind::Error, text));
}

void ShowWarning(const QString& text) {
  Show(Request(TMsgKind::Warning, text));
}

void ShowInfo(const QString& text) {
  Show(Request(TMsgKind::Info, text));
}

void ShowInfoHelp(const QString& text, int helpContext) {
  TMsgBoxRequest request = Request(TMsgKind::Info, text);
  request.HelpButton = true;
  request.HelpContext = helpContext;
  Show(request);
}

bool AskYesNo(const QString& text, int helpContext) {
  TMsgBoxRequest request = Request(TMsgKind::Confirm, text);
  request.YesNo = true;
  request.HelpButton = true;
  request.HelpContext = helpContext;
  return Show(request);
}

}  // namespace vexo
