#include "app/shell/autorun_inf.h"

namespace vexo {
namespace {

const QByteArray kPlayerExecutable = "vexoplayer";

// The name between the brackets of a section line, null for other lines.
QByteArray SectionName(const QByteArray& line) {
  QByteArray text = line.trimmed();
  if (text.startsWith("\xEF\xBB\xBF")) text = text.mid(3);
  if (!text.startsWith('[')) return {};
  const qsizetype close = text.indexOf(']');
  if (close < 0) return {};
  return text.mid(1, close - 1).trimmed();
}

bool IsAutorunSection(const QByteArray& line) {
  return SectionName(line).compare("autorun", Qt::CaseInsensitive) == 0;
}

bool IsBlankLine(const QByteArray& line) {
  return line.trimmed().isEmpty();
}

}  // namespace

TAutorunInf::TAutorunInf(const QByteArray& bytes) {
  qsizetype start = 0;
  while (start < bytes.size()) {
    const qsizetype end = bytes.indexOf('\n', start);
    const qsizetype next = end < 0 ? bytes.size() : end + 1;
    FLines.push_back(bytes.mid(start, next - start));
    start = next;
  }
}

QByteArray TAutorunInf::OpenValue() const {
  bool inside = false;
  for (const QByteArray& line : FLines) {
    if (!SectionName(line).isNull()) {
      inside = IsAutorunSection(line);
      continue;
    }
    if (!inside) continue;
    const qsizetype equals = line.indexOf('=');
    if (equals < 0) continue;
    // Windows reads key names without regard to case.
    if (line.left(equals).trimmed().compare("open", Qt::CaseInsensitive) == 0)
      return line.mid(equals + 1).trimmed();
  }
  return {};
}

bool TAutorunInf::StartsPlayer() const {
  return OpenValue().contains(kPlayerExecutable);
}

void TAutorunInf::RemoveAutorun() {
  std::vector<QByteArray> kept;
  bool inside = false;
  for (const QByteArray& line : FLines) {
    if (!SectionName(line).isNull()) {
      inside = IsAutorunSection(line);
      if (inside && !kept.empty() && IsBlankLine(kept.back())) kept.pop_back();
    }
    if (!inside) kept.push_back(line);
  }
  FLines = std::move(kept);
}

void TAutorunInf::SetPlayer(const QString& relativeFolder) {
  const QByteArray eol = LineBreak();
  RemoveAutorun();
  if (!FLines.empty() && !FLines.back().endsWith('\n')) FLines.back() += eol;
  if (!IsBlank() && !IsBlankLine(FLines.back())) FLines.push_back(eol);
  const QByteArray program = relativeFolder.toUtf8() + '\\' + kPlayerExecutable;
  for (const QByteArray& line :
       {QByteArray("[autorun]"), "open=" + program, "icon=" + program,
        QByteArray("action=Open Vexo Player"), "shell\\open\\command=" + program})
    FLines.push_back(line + eol);
}

bool TAutorunInf::IsBlank() const {
  for (const QByteArray& line : FLines)
    if (!IsBlankLine(line)) return false;
  return true;
}

QByteArray TAutorunInf::Bytes() const {
  QByteArray bytes;
  for (const QByteArray& line : FLines) bytes += line;
  return bytes;
}

QByteArray TAutorunInf::LineBreak() const {
  // The file's own line breaks; a new file gets those of its home system.
  for (const QByteArray& line : FLines)
    if (line.endsWith('\n')) return line.endsWith("\r\n") ? "\r\n" : "\n";
  return "\r\n";
}

}  // namespace vexo
