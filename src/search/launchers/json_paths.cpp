#include "search/launchers/json_paths.h"

#include <nlohmann/json.hpp>

namespace quillfen {

namespace {

void Collect(const nlohmann::ordered_json& value, std::string_view key,
             std::vector<std::string>& found, int depth) {
  if (depth > 64) return;
  if (value.is_object()) {
    for (const auto& [name, item] : value.items()) {
      if (name == key && item.is_string()) {
        found.push_back(item.get<std::string>());
      } else {
        Collect(item, key, found, depth + 1);
      }
    }
  } else if (value.is_array()) {
    for (const nlohmann::ordered_json& item : value) Collect(item, key, found, depth + 1);
  }
}

}  // namespace

std::optional<std::vector<std::string>> JsonTextsNamed(std::string_view json,
                                                       std::string_view key) {
  // Ordered, so that objects keep the order of the file; not the throwing parse,
  // since a malformed file is an ordinary case here.
  const nlohmann::ordered_json document = nlohmann::ordered_json::parse(json, nullptr, false);
  if (document.is_discarded()) return std::nullopt;
  std::vector<std::string> found;
  Collect(document, key, found, 0);
  return found;
}

}  // namespace quillfen
