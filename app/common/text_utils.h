#pragma once
// Text routines shared by the shell.
#include <QString>
#include <QStringList>
#include <cstdint>

namespace vexo {

// The n-th part (from 1) of text split at sep; empty when there are fewer.
QString GetToken(int n, const QString& text, QChar sep);
// Appends part after sep; an empty part changes nothing, an empty text
// becomes part.
void AppendSep(QString& text, const QString& part, const QString& sep);
inline void AppendComma(QString& text, const QString& part) {
  AppendSep(text, part, ", ");
}
inline void AppendSpace(QString& text, const QString& part) {
  AppendSep(text, part, " ");
}

// Time as mm:ss after rounding to whole seconds (halves to even); minutes
// grow past 59, negative times count as 0.
QString SecondsText(float seconds);
// Time as hh:mm:ss with the seconds cut (not rounded), as a clock shows a
// running time; hours grow past 23, negative times count as 0.
QString ClockText(int64_t ms);

// Puts a second '&' before every '&' that is not the first character and not
// already doubled, so that a widget treating '&' as an access key shows it.
QString DoubleAmpersands(const QString& text);

// Replaces the "%s" placeholders of a language text one after the other.
QString FormatText(const QString& pattern, const QStringList& args);

template <typename T>
int CompareValues(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}
inline int CompareInt(int a, int b) {
  return CompareValues(a, b);
}
inline int CompareFloat(double a, double b) {
  return CompareValues(a, b);
}
inline QChar UpCaseChar(QChar c) {
  return c.toUpper();
}

}  // namespace vexo
