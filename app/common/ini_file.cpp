#include "app/common/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <cerrno>
#include <cstring>

namespace vexo {

double TolerantStrToFloat(const QString& text, double def, QChar systemSep) {
  const QChar other = systemSep == u',' ? u'.' : u',';
  QChar sep = systemSep;
  if (!text.contains(systemSep) && text.contains(other)) sep = other;
  QString plain = text.trimmed();
  if (sep != u'.') {
    if (plain.contains(u'.')) return def;  // a point is no separator here
    plain.replace(sep, u'.');
  }
  bool ok = false;
  const double value = plain.toDouble(&ok);
  return ok ? value : def;
}

double TolerantStrToFloat(const QString& text, double def) {
  const QString point = QLocale().decimalPoint();
  return TolerantStrToFloat(text, def, point.isEmpty() ? QChar(u'.') : point[0]);
}

QString EncodeMultiLine(const QString& text) {
  QString out = text;
  out.remove(u'\n');
  out.replace(u'\r', QChar(127));
  return out;
}

QString DecodeMultiLine(const QString& text) {
  QString out = text;
  out.replace(QChar(127), QStringLiteral("\r\n"));
  return out;
}

TSIniFile::TSIniFile(const QString& fileName) : FSettings(fileName, QSettings::IniFormat) {}

bool TSIniFile::ValueExists(const QString& section, const QString& key) const {
  return FSettings.contains(Path(section, key));
}

QString TSIniFile::ReadString(const QString& section, const QString& key,
                              const QString& def) const {
  const QVariant value = FSettings.value(Path(section, key));
  if (!value.isValid()) return def;
  // An unquoted value with commas comes back split into a list.
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(u", ");
  if (!value.canConvert<QString>()) return def;
  return value.toString();
}

int TSIniFile::ReadInteger(const QString& section, const QString& key, int def, bool* ok) const {
  if (ok) *ok = true;
  if (!ValueExists(section, key)) return def;
  const QString text = ReadString(section, key, QString()).trimmed();
  bool converted = false;
  const int value = text.toInt(&converted);
  if (converted) return value;
  if (ok) *ok = false;
  return def;
}

bool TSIniFile::ReadBool(const QString& section, const QString& key, bool def) const {
  if (!ValueExists(section, key)) return def;
  const QString text = ReadString(section, key, QString()).trimmed();
  if (text.compare(u"true", Qt::CaseInsensitive) == 0) return true;
  if (text.compare(u"false", Qt::CaseInsensitive) == 0) return false;
  bool converted = false;
  const int value = text.toInt(&converted);
  return converted ? value != 0 : def;
}

double TSIniFile::ReadFloat(const QString& section, const QString& key, double def) const {
  if (!ValueExists(section, key)) return def;
  return TolerantStrToFloat(ReadString(section, key, QString()), def);
}

void TSIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  FSettings.setValue(Path(section, key), value);
}

void TSIniFile::WriteInteger(const QString& section, const QString& key, int value) {
  FSettings.setValue(Path(section, key), QString::number(value));
}

void TSIniFile::WriteBool(const QString& section, const QString& key, bool value) {
  FSettings.setValue(Path(section, key), value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TSIniFile::WriteFloat(const QString& section, const QString& key, double value) {
  FSettings.setValue(Path(section, key), QString::number(value, 'g', 17));
}

bool TSIniFile::Flush(QString* error) {
  FSettings.sync();
  if (FSettings.status() != QSettings::AccessError) return true;
  // QSettings keeps the reason to itself; ask the system the same question.
  const QFileInfo info(FSettings.fileName());
  QString reason;
  if (!QDir().mkpath(info.absolutePath())) {
    reason = QString::fromLocal8Bit(std::strerror(errno ? errno : EACCES));
  } else {
    QFile probe(info.absoluteFilePath());
    if (!probe.open(QIODevice::ReadWrite | QIODevice::Append))
      reason = probe.errorString();
    else
      reason = QString::fromLocal8Bit(std::strerror(EACCES));
  }
  if (error) *error = reason;
  return false;
}

}  // namespace vexo
