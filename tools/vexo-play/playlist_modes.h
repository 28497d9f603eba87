#pragma once
// vexo-play's two modes without a window: writing and printing playlist files.
#include <string>
#include <vector>

namespace vexo::play {

// Writes the entries, as given, to `path`; the exit status.
int SaveAsx(const std::string& path, const std::vector<std::string>& entries);
// Prints "name <Name>" and one "entry <path>" line per entry, or
// "error <message>" with exit status 1.
int PrintAsx(const std::string& path);

}  // namespace vexo::play
