#pragma once
// The text the player draws on its surface for an error code: the language
// file's text for the code, naming the file, with the library's detail below.
#include <QString>

namespace vexo {

QString ComposePlayerErrorText(int code, const QString& argument, const QString& detail);

}  // namespace vexo
