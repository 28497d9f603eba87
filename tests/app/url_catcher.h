#pragma once
// Takes the place of the user's browser and mail program: every address the
// program opens through the desktop services for the given schemes is kept.
// A test that uses it ends with #include "moc_url_catcher.cpp".
#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <vector>

namespace vexo::test {

class TUrlCatcher : public QObject {
  Q_OBJECT
 public:
  explicit TUrlCatcher(QStringList schemes = {"file", "http", "https", "mailto"})
      : FSchemes(std::move(schemes)) {
    for (const QString& scheme : FSchemes) QDesktopServices::setUrlHandler(scheme, this, "Open");
  }
  ~TUrlCatcher() override {
    for (const QString& scheme : FSchemes) QDesktopServices::unsetUrlHandler(scheme);
  }
  std::vector<QUrl> Urls;

 public slots:
  void Open(const QUrl& url) { Urls.push_back(url); }

 private:
  QStringList FSchemes;
};

}  // namespace vexo::test
