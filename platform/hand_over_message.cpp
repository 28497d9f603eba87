#include "platform/hand_over_message.h"

#include <QUrl>

namespace vexo {

QByteArray EncodeHandOver(const QStringList& paths) {
  QByteArray message = QByteArray(kHandOverGreeting) + '\n';
  if (paths.isEmpty()) return message;
  message += QByteArray(kHandOverFiles) + '\n';
  for (const QString& path : paths) message += QUrl::fromLocalFile(path).toEncoded() + '\n';
  return message;
}

THandOver DecodeHandOver(const QByteArray& message) {
  THandOver result;
  const QList<QByteArray> lines = message.split('\n');
  if (lines.isEmpty() || lines[0].trimmed() != kHandOverGreeting) return result;
  result.Valid = true;
  if (lines.size() < 2 || lines[1].trimmed() != kHandOverFiles) return result;
  for (qsizetype i = 2; i < lines.size(); ++i) {
    const QUrl url = QUrl::fromEncoded(lines[i].trimmed(), QUrl::StrictMode);
    if (url.isValid() && url.isLocalFile() && !url.toLocalFile().isEmpty())
      result.Files << url.toLocalFile();
  }
  return result;
}

}  // namespace vexo
