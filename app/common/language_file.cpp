#include "app/common/language_file.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

namespace vexo {

QString TLanguageFile::DecodeText(const QByteArray& bytes) {
  auto starts = [&](std::initializer_list<unsigned char> mark) {
    if (bytes.size() < qsizetype(mark.size())) return false;
    qsizetype i = 0;
    for (unsigned char b : mark)
      if (static_cast<unsigned char>(bytes[i++]) != b) return false;
    return true;
  };
  if (starts({0xFF, 0xFE})) {
    QStringDecoder decode(QStringConverter::Utf16LE);
    return decode(bytes.mid(2));
  }
  if (starts({0xFE, 0xFF})) {
    QStringDecoder decode(QStringConverter::Utf16BE);
    return decode(bytes.mid(2));
  }
  if (starts({0xEF, 0xBB, 0xBF})) {
    QStringDecoder decode(QStringConverter::Utf8);
    return decode(bytes.mid(3));
  }
  // 8-bit text: the system's code page is UTF-8 here, and a file that is not
  // valid UTF-8 was written in a single-byte code page.
  QStringDecoder utf8(QStringConverter::Utf8);
  const QString text = utf8(bytes);
  if (!utf8.hasError()) return text;
  return QString::fromLatin1(bytes);
}

void TLanguageFile::Parse(const QString& text) {
  FSections.clear();
  QHash<QString, QString>* current = nullptr;
  QString normalised = text;
  normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
  const QStringList lines = normalised.split(u'\n');
  for (const QString& raw : lines) {
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(u';')) continue;
    if (line.startsWith(u'[') && line.endsWith(u']') && line.size() >= 2) {
      const QString name = line.mid(1, line.size() - 2).trimmed().toLower();
      // A repeated section is shadowed by the first one: its lines are skipped.
      current = FSections.contains(name) ? nullptr : &FSections[name];
      continue;
    }
    if (!current) continue;
    const qsizetype eq = line.indexOf(u'=');
    const QString key = (eq < 0 ? line : line.left(eq)).trimmed().toLower();
    if (key.isEmpty() || current->contains(key)) continue;
    current->insert(key, eq < 0 ? QString() : line.mid(eq + 1));
  }
}

bool TLanguageFile::LoadFromFile(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return false;
  Parse(DecodeText(file.readAll()));
  return true;
}

std::optional<QString> TLanguageFile::Find(const QString& section, const QString& key) const {
  const auto s = FSections.constFind(section.toLower());
  if (s == FSections.constEnd()) return std::nullopt;
  const auto k = s->constFind(key.toLower());
  if (k == s->constEnd()) return std::nullopt;
  return *k;
}

bool TLanguageFile::HasSection(const QString& section) const {
  return FSections.contains(section.toLower());
}

}  // namespace vexo
