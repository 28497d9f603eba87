#pragma once
// Failures in the user's words. The libraries and the system report numbers
// ("ErrorCode -13 on av_open_input_file", errno 24); the user reads what they
// mean, from the language file, while the technical text goes to the log.
#include <QString>

namespace vexo {

// Words for a system error number (errno), e.g. "permission denied".
QString SystemErrorWords(int error);

// A media error text as the user reads it: "ErrorCode <n> on <step>" becomes
// the words for that code, the input file's own failure texts say whether the
// file is damaged or its format not supported (naming the codec, or the file
// `fileName` when the codec has no name); any other text is returned unchanged.
QString MediaErrorWords(const QString& detail, const QString& fileName = {});

}  // namespace vexo
