#include "cli/definition_places.h"

#include "base/text.h"
#include "platform/system.h"

namespace quillfen {

DefinitionPlaces FindDefinitionPlaces(System& system, const std::string& config_home) {
  DefinitionPlaces places;
  const char separator = system.Separator();
  std::string config;
  if (!config_home.empty() && config_home[0] == separator) {
    config = AsFolder(config_home, separator);
  } else if (const std::string home = system.HomeFolder(); !home.empty()) {
    config = home + ".config" + separator;
  }
  if (!config.empty()) {
    const std::string user = config + "quillfen" + separator + "patches.ini";
    places.looked.push_back(user);
    if (system.FileExists(user)) places.user = user;
  }

  const std::string folder = system.ExecutableFolder();
  std::vector<std::string> shipped;
  if (folder.empty()) {
    // Without the program's own path (no /proc in an empty root), the working
    // folder stands for the program's folder.
    shipped.push_back("patches.ini");
    places.looked.push_back("patches.ini in the working folder (the program's is unknown)");
  } else {
    shipped.push_back(folder + "patches.ini");
    // An installed program, bin/quillfen-cli, reads share/quillfen/ beside bin.
    const std::string parent = FolderOfPath(folder.substr(0, folder.size() - 1), separator);
    shipped.push_back((parent.empty() ? folder + ".." + separator : parent) + "share" + separator +
                      "quillfen" + separator + "patches.ini");
    places.looked.insert(places.looked.end(), shipped.begin(), shipped.end());
  }
  for (const std::string& path : shipped) {
    if (system.FileExists(path)) {
      places.shipped = path;
      break;
    }
  }
  return places;
}

std::string NoDefinitionFileMessage(const std::vector<std::string>& looked) {
  std::string message = "no definition file: looked for ";
  for (std::size_t i = 0; i < looked.size(); ++i) {
    if (i > 0) message += i + 1 == looked.size() ? " and " : ", ";
    message += looked[i];
  }
  return message + " (give one with --ini)";
}

}  // namespace quillfen
