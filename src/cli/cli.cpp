#include "cli/cli.h"

#include <cstdint>
#include <optional>

#include "base/text.h"
#include "cli/command_table.h"
#include "cli/commands.h"
#include "cli/file_error_lines.h"
#include "platform/file_error.h"
#include "platform/system.h"
#include "words/fault_words.h"

#ifndef QUILLFEN_VERSION
#error "The build defines QUILLFEN_VERSION, the project's version."
#endif

namespace quillfen {

const char* const kCliTryHelp = "Try 'quillfen-cli --help'.";

namespace {

struct UsageError {
  std::string message;
};

// A width or height: a whole decimal number of 1 to 2147483647, digits only.
std::int32_t Dimension(const char* name, const std::string& text) {
  const std::string range = std::string(name) + " must be 1 to 2147483647";
  if (text.empty()) throw UsageError{range + ", not empty"};
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw UsageError{range + ", not " + Quoted(text)};
    if (value <= INT32_MAX) value = value * 10 + (c - '0');
  }
  if (value < 1 || value > INT32_MAX) throw UsageError{range + ", not " + text};
  return static_cast<std::int32_t>(value);
}

// Parses the command line; throws UsageError. Options may stand anywhere
// before "--", after which every word is an operand.
Invocation Parse(const std::vector<std::string>& args, CliEnvironment& env, bool& help,
                 bool& version) {
  Invocation call;
  std::vector<std::string> words;
  std::optional<std::string> ini;
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      help = true;
    } else if (options && arg == "--version") {
      version = true;
    } else if (options && arg == "--ini") {
      if (i + 1 >= args.size()) throw UsageError{"--ini needs a FILE"};
      ini = args[++i];
    } else if (options && arg.rfind("--ini=", 0) == 0) {
      ini = arg.substr(6);
    } else if (options && (arg == "--verbose" || arg == "-v")) {
      call.verbose = true;
    } else if (options && (arg == "--top" || arg == "--size" || arg == "--section")) {
      if (i + 1 >= args.size()) throw UsageError{arg + " needs a value"};
      const std::string& value = args[++i];
      if (arg == "--section") {
        if (value.empty()) throw UsageError{"--section needs a NAME"};
        call.section = value;
      } else if (arg == "--top") {
        call.top = static_cast<std::size_t>(Dimension("--top", value));
      } else if (value == "2" || value == "4") {
        call.value_size = value[0] - '0';
      } else {
        throw UsageError{"--size must be 2 or 4, not " + Quoted(value)};
      }
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option '" + arg + "'"};
    } else {
      words.push_back(arg);
    }
  }
  if (help || version) return call;
  if (ini && ini->empty()) throw UsageError{"--ini needs a FILE"};
  if (words.empty()) throw UsageError{"no command given"};

  call.command = words[0];
  const CommandSpec* shape = FindCommand(call.command);
  if (!shape) throw UsageError{"unknown command '" + call.command + "'"};
  const int operands = static_cast<int>(words.size()) - 1;
  if (operands < shape->least || (shape->most >= 0 && operands > shape->most)) {
    throw UsageError{call.command + (operands < shape->least ? ": too few" : ": too many") +
                     " arguments"};
  }

  if (ini) {
    call.ini = env.system.FullPath(*ini);
    call.ini_shown = *ini;
  } else {
    call.ini = env.default_ini;
    call.ini_shown = env.default_ini;
    call.user_ini = env.user_ini;
    call.looked = env.looked;
  }
  if (call.command == "check") {
    call.files.assign(words.begin() + 1, words.end());
    return call;
  }
  if (call.command == "suggest") {
    call.width = Dimension("WIDTH", words[1]);
    call.height = Dimension("HEIGHT", words[2]);
    call.files.assign(words.begin() + 3, words.end());
    return call;
  }
  if (operands >= 1) call.game = words[1];
  if (call.command == "find") {
    call.roots.assign(words.begin() + 2, words.end());
  } else if (operands >= 2) {
    call.folder = words[2];
  }
  if (call.command == "patch") {
    call.width = Dimension("WIDTH", words[3]);
    call.height = Dimension("HEIGHT", words[4]);
  }
  return call;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliEnvironment& env) {
  bool help = false;
  bool version = false;
  Invocation call;
  try {
    call = Parse(args, env, help, version);
  } catch (const UsageError& error) {
    env.err << "quillfen-cli: " << error.message << "\n" << kCliTryHelp << "\n";
    return kExitUsage;
  }
  if (help) {
    env.out << HelpText();
    return kExitSuccess;
  }
  if (version) {
    env.out << "quillfen-cli " << QUILLFEN_VERSION << "\n";
    return kExitSuccess;
  }

  try {
    return FindCommand(call.command)->run(env, call);
  } catch (const FileError& error) {
    env.err << "quillfen-cli: " << FileErrorText(error) << "\n";
    return kExitFailure;
  }
}

}  // namespace quillfen
