#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace quillfen {

// One command line, parsed and checked for form.
struct Invocation {
  std::string command;
  std::string ini;        // the definition file, as a path of the portable code
  std::string ini_shown;  // the same as the user sees it
  std::string user_ini;   // the user's own definitions, read first; empty for none
  std::vector<std::string> looked;  // where they were looked for, when there are none
  std::string game;
  std::string folder;              // as typed
  std::vector<std::string> roots;  // as typed
  std::vector<std::string> files;  // check: the definition files ("-": standard input);
                                   // suggest: the game files; as typed
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool verbose = false;  // find: tells which launcher files it skipped and why;
                         // games: the file each game comes from
  // suggest: how many candidates at most, only values of this many bytes (0:
  // 2 or 4), only places in the section of this name (empty: any).
  std::size_t top = 10;
  std::int32_t value_size = 0;
  std::string section;
};

int RunGames(CliEnvironment& env, const Invocation& call);
int RunCheck(CliEnvironment& env, const Invocation& call);
int RunLocate(CliEnvironment& env, const Invocation& call);
int RunPatch(CliEnvironment& env, const Invocation& call);
int RunUndo(CliEnvironment& env, const Invocation& call);
int RunFind(CliEnvironment& env, const Invocation& call);

}  // namespace quillfen
