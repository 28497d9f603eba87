#include "app/common/text_utils.h"

#include <algorithm>
#include <cmath>

namespace vexo {

QString GetToken(int n, const QString& text, QChar sep) {
  if (n < 1) return {};
  const QStringList parts = text.split(sep);
  return n <= parts.size() ? parts[n - 1] : QString();
}

void AppendSep(QString& text, const QString& part, const QString& sep) {
  if (part.isEmpty()) return;
  if (text.isEmpty())
    text = part;
  else
    text += sep + part;
}

QString SecondsText(float seconds) {
  // nearbyint follows the default rounding mode: halves go to the even neighbour.
  // The cap keeps absurd inputs from overflowing the integer conversion.
  const double rounded =
      seconds > 0 ? std::nearbyint(std::min(static_cast<double>(seconds), 1e15)) : 0.0;
  const long long total = static_cast<long long>(rounded);
  return QStringLiteral("%1:%2")
      .arg(total / 60, 2, 10, QLatin1Char('0'))
      .arg(total % 60, 2, 10, QLatin1Char('0'));
}

QString ClockText(int64_t ms) {
  const int64_t total = ms > 0 ? ms / 1000 : 0;
  return QStringLiteral("%1:%2:%3")
      .arg(total / 3600, 2, 10, QLatin1Char('0'))
      .arg(total / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(total % 60, 2, 10, QLatin1Char('0'));
}

QString DoubleAmpersands(const QString& text) {
  QString out;
  out.reserve(text.size() + 4);
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i > 0 && text[i - 1] != u'&') out += u'&';
    out += text[i];
  }
  return out;
}

QString FormatText(const QString& pattern, const QStringList& args) {
  QString out;
  qsizetype next = 0;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u's' &&
        next < args.size()) {
      out += args[next++];
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace vexo
