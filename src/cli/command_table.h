#pragma once

#include <string>

#include "cli/commands.h"

namespace quillfen {

// A command of quillfen-cli: how many operands it takes, how the usage and
// the help show it, and what runs it.
struct CommandSpec {
  const char* name;
  int least;             // operands, at least
  int most;              // operands, at most; -1: any number
  const char* synopsis;  // the usage line after the program's name
  const char* summary;   // the help's text beside the name, lines after the first indented
  int (*run)(CliEnvironment& env, const Invocation& call);
};

// The command of that name, or nullptr.
const CommandSpec* FindCommand(const std::string& name);

// What --help prints: the usage lines, the commands and the options.
std::string HelpText();

}  // namespace quillfen
