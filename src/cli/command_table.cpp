#include "cli/command_table.h"

#include "cli/suggest.h"

namespace quillfen {

// Where find looks last, and the definition files read without --ini: the
// user's own only where there is a home folder.
#if defined(_WIN32)
#define QUILLFEN_LAST_ROOTS "fixed disks)"
#define QUILLFEN_DEFAULT_INI "; without it, patches.ini beside the program"
#else
#define QUILLFEN_LAST_ROOTS "home folder)"
#define QUILLFEN_DEFAULT_INI                                                    \
  "; without it,\n"                                                             \
  "                 ~/.config/quillfen/patches.ini (or in $XDG_CONFIG_HOME),\n" \
  "                 whose games win, then patches.ini beside the program or\n"  \
  "                 ../share/quillfen/patches.ini beside its folder"
#endif

namespace {

// Every command, in the order the help lists them. Parsing, running and the
// help read this table, and a test holds the shells' completions to the help.
constexpr CommandSpec kCommands[] = {
    {"games", 0, 0, "[--ini FILE] [--verbose] games",
     "list the games of the definition files, one per line", RunGames},
    {"check", 0, -1, "[--ini FILE] check [FILE...]",
     "report the problems of each definition FILE (default: the definition\n"
     "files; - for standard input) as FILE:LINE: error|warning: TEXT",
     RunCheck},
    {"locate", 2, 2, "[--ini FILE] locate GAME FOLDER",
     "show where each patch of GAME lies in FOLDER, its values and undo record", RunLocate},
    {"patch", 4, 4, "[--ini FILE] patch GAME FOLDER WIDTH HEIGHT",
     "write WIDTH and HEIGHT into the game's files, as the Patch button does", RunPatch},
    {"undo", 2, 2, "[--ini FILE] undo GAME FOLDER",
     "restore the game's files from their undo records, as Undo Patch does", RunUndo},
    {"find", 1, -1, "[--ini FILE] [--verbose] find GAME [ROOT...]",
     "print every folder under the ROOTs that holds the game's check file\n"
     "(without ROOTs: the launchers' libraries, the Wine prefixes, then the\n" QUILLFEN_LAST_ROOTS,
     RunFind},
    {"suggest", 3, -1,
     "suggest [--top N] [--size 2|4] [--section NAME] WIDTH HEIGHT\n"
     "FILE [FILE...]",
     "propose a patch's keys that find WIDTH and HEIGHT, the values the game\n"
     "uses now, in every FILE: editions of one game file, the first the modfile",
     RunSuggest},
};

// An option, as the help shows it.
struct OptionSpec {
  const char* spelling;  // with its value's name: "--ini FILE", "-v, --verbose"
  const char* summary;
};

constexpr OptionSpec kOptions[] = {
    {"--ini FILE", "the definition file" QUILLFEN_DEFAULT_INI},
    {"-v, --verbose",
     "find: tell which launcher files were skipped, and why;\ngames: the file each game comes "
     "from"},
    {"--top N", "suggest: print the best N candidates (default 10)"},
    {"--size 2|4", "suggest: only values of 2 or of 4 bytes"},
    {"--section NAME", "suggest: only places in the executable's section NAME (.text, .rdata)"},
};

// The text with each line after the first indented by `indent` blanks (lines
// that are indented already, as the default definition files, stay so).
std::string Indented(const char* text, std::size_t indent) {
  std::string out;
  for (const char* c = text; *c != '\0'; ++c) {
    out += *c;
    if (*c == '\n' && c[1] != ' ') out.append(indent, ' ');
  }
  return out;
}

std::string Column(const char* text, std::size_t width) {
  std::string out = text;
  out.append(out.size() < width ? width - out.size() : 1, ' ');
  return out;
}

}  // namespace

const CommandSpec* FindCommand(const std::string& name) {
  for (const CommandSpec& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

std::string HelpText() {
  const std::string program = "quillfen-cli ";
  std::string text;
  for (const CommandSpec& command : kCommands) {
    // A synopsis that goes on to a second line continues under its command's operands.
    const std::string synopsis = command.synopsis;
    const std::size_t operands = synopsis.find(command.name) + std::string(command.name).size() + 1;
    text += (text.empty() ? "usage: " : "       ") + program +
            Indented(command.synopsis, 7 + program.size() + operands) + "\n";
  }
  text += "       " + program + "--help | --version\n\ncommands:\n";
  for (const CommandSpec& command : kCommands) {
    text += "  " + Column(command.name, 9) + Indented(command.summary, 11) + "\n";
  }
  text += "\noptions:\n";
  for (const OptionSpec& option : kOptions) {
    text += "  " + Column(option.spelling, 15) + Indented(option.summary, 17) + "\n";
  }
  text +=
      "\nGAME is a name of the game list, in any letter case. Exit status: 0 done,\n"
      "1 failed, 2 usage error.\n";
  return text;
}

}  // namespace quillfen
