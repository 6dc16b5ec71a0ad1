#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace quillfen {

class System;

// Exit statuses of quillfen-cli.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The line after a usage error's one-line reason.
extern const char* const kCliTryHelp;

// What the command line runs against: the system, the two output streams, and
// what differs between the platforms.
struct CliEnvironment {
  CliEnvironment(System& system_in, std::ostream& out_in, std::ostream& err_in)
      : system(system_in), out(out_in), err(err_in) {}

  System& system;
  std::ostream& out;
  std::ostream& err;
  // Standard input, read by check for the file "-"; nullptr for none.
  std::istream* in = nullptr;
  // A progress line is drawn on err only when it is a terminal.
  bool err_is_terminal = false;
  // Whether the reader of out has gone (the end of a pipe closed, as `| head -n 1`
  // does once it has its line): find then stops walking. Never, where not told.
  std::function<bool()> out_closed = [] { return false; };
  // The definition file without --ini; empty when none was found.
  std::string default_ini;
  // The user's own definition file without --ini, read before default_ini,
  // whose games win over those of the same name there; empty for none.
  std::string user_ini;
  // Where the definition files were looked for, named when none was found.
  std::vector<std::string> looked;
};

// Runs one command line (without the program name) and returns the exit status.
// Results go to out; messages, problems and usage errors to err.
int RunCli(const std::vector<std::string>& args, CliEnvironment& env);

}  // namespace quillfen
