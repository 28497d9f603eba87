#pragma once
// The settings file: an ini file through QSettings with typed reads that never
// throw and fall back to the caller's default, decimal numbers read whatever
// the decimal separator, and line breaks kept inside one value.
#include <QSettings>
#include <QString>

namespace vexo {

// Reads a decimal number written with either '.' or ',' as the separator:
// when the text lacks systemSep but has the other one, that one is taken.
// A text that does not convert gives def.
double TolerantStrToFloat(const QString& text, double def, QChar systemSep);
// The same with the separator of the default locale.
double TolerantStrToFloat(const QString& text, double def);

// An ini value holds one line: CR becomes character 127 and LF is dropped.
QString EncodeMultiLine(const QString& text);
QString DecodeMultiLine(const QString& text);

class TSIniFile {
 public:
  explicit TSIniFile(const QString& fileName);
  TSIniFile(const TSIniFile&) = delete;
  TSIniFile& operator=(const TSIniFile&) = delete;

  QString FileName() const { return FSettings.fileName(); }
  // The file could not be parsed completely; what was readable is kept.
  bool HadFormatError() const { return FSettings.status() == QSettings::FormatError; }

  bool ValueExists(const QString& section, const QString& key) const;
  QString ReadString(const QString& section, const QString& key, const QString& def) const;
  // ok (when given) is false when a value is present but is no 32-bit integer;
  // the result is def then.
  int ReadInteger(const QString& section, const QString& key, int def, bool* ok = nullptr) const;
  bool ReadBool(const QString& section, const QString& key, bool def) const;
  double ReadFloat(const QString& section, const QString& key, double def) const;

  void WriteString(const QString& section, const QString& key, const QString& value);
  void WriteInteger(const QString& section, const QString& key, int value);
  void WriteBool(const QString& section, const QString& key, bool value);
  void WriteFloat(const QString& section, const QString& key, double value);

  // Writes pending changes to disk. On failure returns false and sets error
  // to the system's reason.
  bool Flush(QString* error);

 private:
  static QString Path(const QString& section, const QString& key) { return section + u'/' + key; }
  QSettings FSettings;
};

}  // namespace vexo
