#pragma once
// What a later start of the program tells the running one. The first line is
// always the bare greeting, so a running program of an older build still
// comes to the front; files follow under a versioned header, one file URL a
// line (percent-encoded, so a name may hold line breaks or any byte).
#include <QByteArray>
#include <QStringList>

namespace vexo {

inline constexpr const char* kHandOverGreeting = "Vexo Player Second";
inline constexpr const char* kHandOverFiles = "Files 1";
// A message larger than this is not from a start of this program.
inline constexpr qsizetype kHandOverLimit = 4 * 1024 * 1024;

// paths are absolute; none gives the bare greeting.
QByteArray EncodeHandOver(const QStringList& paths);

struct THandOver {
  bool Valid = false;  // the greeting came first
  QStringList Files;   // local files, in the order sent
};

// Lines that are no local file URL, and files under a header of another
// version, are left out; the greeting alone still counts.
THandOver DecodeHandOver(const QByteArray& message);

}  // namespace vexo
