#pragma once
// The autorun.inf in the root of a drive. Only its [autorun] section belongs
// to the player's copy; every other byte of the file is someone else's and is
// kept exactly as it was found.
#include <QByteArray>
#include <QString>
#include <vector>

namespace vexo {

class TAutorunInf {
 public:
  explicit TAutorunInf(const QByteArray& bytes = {});

  // The value of "open" in the [autorun] section; empty when there is none.
  QByteArray OpenValue() const;
  // The section starts a copy of the player.
  bool StartsPlayer() const;
  // Replaces every [autorun] section by one that starts the executable in
  // relativeFolder (written with '\' between its folders), after all else.
  void SetPlayer(const QString& relativeFolder);
  // Drops every [autorun] section, and the blank line that set it apart.
  void RemoveAutorun();
  // Nothing is left but blank lines.
  bool IsBlank() const;
  QByteArray Bytes() const;

 private:
  QByteArray LineBreak() const;

  // Each line with its own line break, the last one perhaps without.
  std::vector<QByteArray> FLines;
};

}  // namespace vexo
