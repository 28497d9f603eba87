#pragma once
// The text the player draws on its surface for an error code: the language
// file's text for the code, naming the file, with the problem in plain words
// below; the technical detail goes to the log.
#include <QString>

namespace vexo {

QString ComposePlayerErrorText(int code, const QString& argument, const QString& detail);

}  // namespace vexo
