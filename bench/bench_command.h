#pragma once
// vexo-bench subcommands register themselves here; main() dispatches by name.
#include <map>
#include <string>

namespace vexo::bench {

using CommandMain = int (*)(int argc, char** argv);

struct Command {
  std::string help;
  CommandMain run;
};

std::map<std::string, Command>& Commands();

// Declare one at namespace scope in the subcommand's source file.
struct RegisterCommand {
  RegisterCommand(const std::string& name, const std::string& help, CommandMain run) {
    Commands()[name] = Command{help, run};
  }
};

}  // namespace vexo::bench
