#pragma once

#include <string>
#include <vector>

namespace quillfen {

class System;

// The definition files quillfen-cli reads without --ini: the user's own, whose
// games win over shipped ones of the same name, and the shipped one, beside
// the program or in share/quillfen/ beside its bin folder.
struct DefinitionPlaces {
  std::string user;     // the user's own file, when it exists
  std::string shipped;  // the first shipped file that exists, or empty
  // Every place looked at, in order, as a message names them.
  std::vector<std::string> looked;
};

// The user's file lies in the configuration folder: config_home (the value of
// XDG_CONFIG_HOME, used when it is an absolute path) or else .config/ in the
// system's home folder. The user's file is looked for only on systems with a
// home folder.
DefinitionPlaces FindDefinitionPlaces(System& system, const std::string& config_home);

// "no definition file: looked for A, B and C (give one with --ini)".
std::string NoDefinitionFileMessage(const std::vector<std::string>& looked);

}  // namespace quillfen
