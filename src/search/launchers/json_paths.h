#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

// Every text value named `key` anywhere in a JSON document, in document order:
// the "install_path" of each game in Heroic's gog_store/installed.json (an
// "installed" array) and in legendary's installed.json (an object by game),
// the "InstallLocation" of an Epic manifest. Nothing when the text is not JSON.
std::optional<std::vector<std::string>> JsonTextsNamed(std::string_view json, std::string_view key);

}  // namespace quillfen
