#include "cli/cli.h"

#include <cstdint>
#include <optional>

#include "base/text.h"
#include "cli/commands.h"
#include "cli/file_error_lines.h"
#include "cli/suggest.h"
#include "platform/file_error.h"
#include "platform/system.h"
#include "words/fault_words.h"

#ifndef QUILLFEN_VERSION
#error "The build defines QUILLFEN_VERSION, the project's version."
#endif

namespace quillfen {

// Where find looks last, and the definition files read without --ini: the
// user's own only where there is a home folder.
#if defined(_WIN32)
#define QUILLFEN_LAST_ROOTS "fixed disks)\n"
#define QUILLFEN_DEFAULT_INI "; without it, patches.ini beside the program\n"
#else
#define QUILLFEN_LAST_ROOTS "home folder)\n"
#define QUILLFEN_DEFAULT_INI                                                    \
  "; without it,\n"                                                             \
  "                 ~/.config/quillfen/patches.ini (or in $XDG_CONFIG_HOME),\n" \
  "                 whose games win, then patches.ini beside the program or\n"  \
  "                 ../share/quillfen/patches.ini beside its folder\n"
#endif

const char* const kCliTryHelp = "Try 'quillfen-cli --help'.";

const char* const kCliUsage =
    "usage: quillfen-cli [--ini FILE] [--verbose] games\n"
    "       quillfen-cli [--ini FILE] check [FILE...]\n"
    "       quillfen-cli [--ini FILE] locate GAME FOLDER\n"
    "       quillfen-cli [--ini FILE] patch GAME FOLDER WIDTH HEIGHT\n"
    "       quillfen-cli [--ini FILE] undo GAME FOLDER\n"
    "       quillfen-cli [--ini FILE] [--verbose] find GAME [ROOT...]\n"
    "       quillfen-cli suggest [--top N] [--size 2|4] [--section NAME] WIDTH HEIGHT\n"
    "                            FILE [FILE...]\n"
    "       quillfen-cli --help | --version\n"
    "\n"
    "commands:\n"
    "  games    list the games of the definition files, one per line\n"
    "  check    report the problems of each definition FILE (default: the definition\n"
    "           files; - for standard input) as FILE:LINE: error|warning: TEXT\n"
    "  locate   show where each patch of GAME lies in FOLDER, its values and undo record\n"
    "  patch    write WIDTH and HEIGHT into the game's files, as the Patch button does\n"
    "  undo     restore the game's files from their undo records, as Undo Patch does\n"
    "  find     print every folder under the ROOTs that holds the game's check file\n"
    "           (without ROOTs: the launchers' libraries, the Wine prefixes, then the\n"
    "           " QUILLFEN_LAST_ROOTS
    "  suggest  propose a patch's keys that find WIDTH and HEIGHT, the values the game\n"
    "           uses now, in every FILE: editions of one game file, the first the modfile\n"
    "\n"
    "options:\n"
    "  --ini FILE     the definition file" QUILLFEN_DEFAULT_INI
    "  -v, --verbose  find: tell which launcher files were skipped, and why;\n"
    "                 games: the file each game comes from\n"
    "  --top N        suggest: print the best N candidates (default 10)\n"
    "  --size 2|4     suggest: only values of 2 or of 4 bytes\n"
    "  --section NAME suggest: only places in the executable's section NAME (.text, .rdata)\n"
    "\n"
    "GAME is a name of the game list, in any letter case. Exit status: 0 done,\n"
    "1 failed, 2 usage error.\n";

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

// How many operands each command takes: at least, at most (-1: any number).
struct CommandShape {
  const char* name;
  int least;
  int most;
};
constexpr CommandShape kCommands[] = {
    {"games", 0, 0}, {"check", 0, -1}, {"locate", 2, 2},   {"patch", 4, 4},
    {"undo", 2, 2},  {"find", 1, -1},  {"suggest", 3, -1},
};

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
  const CommandShape* shape = nullptr;
  for (const CommandShape& known : kCommands) {
    if (call.command == known.name) shape = &known;
  }
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
    env.out << kCliUsage;
    return kExitSuccess;
  }
  if (version) {
    env.out << "quillfen-cli " << QUILLFEN_VERSION << "\n";
    return kExitSuccess;
  }

  try {
    if (call.command == "games") return RunGames(env, call);
    if (call.command == "check") return RunCheck(env, call);
    if (call.command == "locate") return RunLocate(env, call);
    if (call.command == "patch") return RunPatch(env, call);
    if (call.command == "undo") return RunUndo(env, call);
    if (call.command == "suggest") return RunSuggest(env, call);
    return RunFind(env, call);
  } catch (const FileError& error) {
    env.err << "quillfen-cli: " << FileErrorText(error) << "\n";
    return kExitFailure;
  }
}

}  // namespace quillfen
