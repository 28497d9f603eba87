#include "app/browser/display_path.h"

namespace vexo {

QString JoinDisplayPath(const QStringList& texts) {
  QStringList escaped;
  escaped.reserve(texts.size());
  for (QString text : texts)
    escaped << text.replace(u'%', QStringLiteral("%25")).replace(u'\\', QStringLiteral("%5C"));
  return escaped.join(u'\\');
}

QStringList SplitDisplayPath(const QString& path) {
  if (path.isEmpty()) return {};
  QStringList texts = path.split(u'\\');
  for (QString& text : texts) {
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
      if (text[i] == u'%' && i + 2 < text.size() && text.mid(i + 1, 2) == u"25") {
        plain += u'%';
        i += 2;
      } else if (text[i] == u'%' && i + 2 < text.size() &&
                 text.mid(i + 1, 2).compare(u"5C", Qt::CaseInsensitive) == 0) {
        plain += u'\\';
        i += 2;
      } else {
        plain += text[i];
      }
    }
    text = plain;
  }
  return texts;
}

}  // namespace vexo
