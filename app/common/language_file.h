#pragma once
// A language file parsed into memory: ini syntax, sections and keys matched
// without regard to case, the first of two equal sections or keys counting.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

namespace vexo {

class TLanguageFile {
 public:
  // Recognises UTF-16 (either order) and UTF-8 by their byte-order marks;
  // other text is taken as UTF-8 when it is valid, else as Latin-1.
  static QString DecodeText(const QByteArray& bytes);

  void Parse(const QString& text);
  bool LoadFromFile(const QString& fileName);

  // The stored value, also when empty; nothing when the key is absent.
  std::optional<QString> Find(const QString& section, const QString& key) const;
  bool HasSection(const QString& section) const;

 private:
  QHash<QString, QHash<QString, QString>> FSections;  // keys in lower case
};

}  // namespace vexo
