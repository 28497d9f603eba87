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
  if (argc >= 2) {
    auto it = Commands().find(argv[1]);
    if (it != Commands().end()) return it->second.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "usage: vexo-bench COMMAND [ARGS]\n");
  for (const auto& [name, command] : Commands())
    std::fprintf(stderr, "  %-10s %s\n", name.c_str(), command.help.c_str());
  return argc >= 2 ? 2 : 0;
}
