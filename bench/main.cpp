#include <cstdio>
#include <cstring>

#include "bench/bench_command.h"

namespace vexo::bench {

std::map<std::string, Command>& Commands() {
  static std::map<std::string, Command> commands;
  return commands;
}

}  // namespace vexo::bench

int main(int argc, char** argv) {
  using vexo::bench::Commands;
  const bool help =
      argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
  if (argc >= 2 && !help) {
    auto it = Commands().find(argv[1]);
    if (it != Commands().end()) return it->second.run(argc - 1, argv + 1);
  }
  // Asked for, the usage goes to the output; after a wrong command, to errors.
  FILE* out = help ? stdout : stderr;
  std::fprintf(out, "usage: vexo-bench COMMAND [ARGS]\n");
  for (const auto& [name, command] : Commands())
    std::fprintf(out, "  %-10s %s\n", name.c_str(), command.help.c_str());
  return argc >= 2 && !help ? 2 : 0;
}
