#include "app/shell/outside_link.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWindow>
#include <utility>

#include "app/shell/main_form.h"
#include "app/shell/media_remote.h"
#include "app/shell/mpris_service.h"
#include "app/shell/player_page.h"

namespace vexo {

QStringList AbsolutePaths(const QStringList& arguments) {
  QStringList paths;
  for (const QString& argument : arguments) {
    if (argument.isEmpty() || argument.startsWith(u'-')) continue;
    // A file URL is what some desktops pass even to programs that take paths.
    const QUrl url(argument);
    const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
    paths << QFileInfo(path).absoluteFilePath();
  }
  return paths;
}

QStringList DroppedFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile() && !url.toLocalFile().isEmpty()) files << url.toLocalFile();
  return files;
}

TOutsideLink::TOutsideLink(TPLMainForm& form) : QObject(&form), FForm(form) {
  FForm.setAcceptDrops(true);
  FForm.installEventFilter(this);
  if (TPlayerPage* page = FForm.Page()) {
    FRemote = new TMediaRemote(*page, this);
    connect(FRemote, &TMediaRemote::RaiseRequested, &FForm, &TPLMainForm::BringToFront);
    // After the caller on the bus has had its answer.
    connect(FRemote, &TMediaRemote::QuitRequested, &FForm, &QWidget::close, Qt::QueuedConnection);
    FPublished = PublishMpris(FRemote);
  }
}

TOutsideLink::~TOutsideLink() {
  if (FPublished) WithdrawMpris();
  FForm.removeEventFilter(this);
}

void TOutsideLink::Open(const QStringList& paths) {
  if (paths.isEmpty() || !FForm.Page()) return;
  QWindow* window = FForm.windowHandle();
  if (window && !window->isExposed()) {
    if (FWaiting.isEmpty()) window->installEventFilter(this);
    FWaiting = paths;
    return;
  }
  FForm.Page()->PlayPaths(paths);
}

void TOutsideLink::OpenHandedOver(const QStringList& paths) {
  FForm.BringToFront();
  Open(paths);
}

bool TOutsideLink::eventFilter(QObject* watched, QEvent* event) {
  QWindow* window = FForm.windowHandle();
  if (window && watched == window) {
    if (event->type() == QEvent::Expose && window->isExposed() && !FWaiting.isEmpty()) {
      window->removeEventFilter(this);
      // After the window has handled its first exposure.
      QMetaObject::invokeMethod(
          this, [this, files = std::exchange(FWaiting, {})] { Open(files); }, Qt::QueuedConnection);
    }
    return false;
  }
  if (watched != &FForm) return false;
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (DroppedFiles(drag->mimeData()).isEmpty()) return false;
      drag->setDropAction(Qt::CopyAction);
      drag->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QStringList files = DroppedFiles(drop->mimeData());
      if (files.isEmpty()) return false;
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      // The file manager waits for the drop to end; the opening comes after.
      QMetaObject::invokeMethod(
          this, [this, files] { Open(files); }, Qt::QueuedConnection);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace vexo
