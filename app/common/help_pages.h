#pragma once
// The help context numbers the program opens and the page of the help folder
// that answers each. A number without a page of its own opens the contents.
#include <QString>
#include <vector>

namespace vexo {

inline constexpr int kHelpContents = 20;
inline constexpr int kHelpMainWindow = 50;
inline constexpr int kHelpPlaylistDialog = 70;
inline constexpr int kHelpPortableCopy = 90;
inline constexpr int kHelpOptions = 150;

struct THelpTopic {
  int Context;
  const char* Page;  // file name inside the help folder
};

// Every context with its page, contents first.
const std::vector<THelpTopic>& HelpTopics();
// The page for a context number; the contents page for an unknown number.
QString HelpPageFor(int context);
// The file to open for a context inside `helpFolder`: its page, or the
// contents when that page is missing; empty when neither is there.
QString HelpFileFor(int context, const QString& helpFolder);

}  // namespace vexo
