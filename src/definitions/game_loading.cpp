#include "definitions/game_loading.h"

#include "base/profile_reader.h"
#include "base/text.h"
#include "definitions/ini.h"
#include "platform/system.h"

namespace quillfen {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::vector<std::uint8_t> ParseSignature(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.size() / 2);
  for (std::size_t j = 0; j < bytes.size(); ++j) {
    std::string pair = "$";
    pair.append(text, 2 * j, 2);
    bytes[j] = static_cast<std::uint8_t>(IntOrDefault(pair, 0));
  }
  return bytes;
}

// One flag per signature byte. A digit gives its value; any other character,
// and every place the text does not reach, gives 0: the byte must match.
std::vector<std::uint8_t> ParseWildcards(const std::string& text, std::size_t count) {
  std::vector<std::uint8_t> flags(count, 0);
  for (std::size_t j = 0; j < count && j < text.size(); ++j) {
    if (IsDigit(text[j])) flags[j] = static_cast<std::uint8_t>(text[j] - '0');
  }
  return flags;
}

}  // namespace

std::string NumberedKey(char letter, std::int64_t number) {
  std::string name(1, letter);
  name.append(std::to_string(number));
  return name;
}

AppList LoadAppList(System& system) {
  return LoadAppList(system, DefinitionFilePath(system));
}

AppList LoadAppList(System& system, const std::string& path) {
  AppList list;
  if (ReadIniValue(system, "apps", "version", path) != kDefinitionVersion) return list;
  list.accepted = true;
  for (int n = 0;; ++n) {
    std::string name = ReadIniValue(system, "Apps", NumberedKey('a', n), path);
    if (name.empty()) break;
    list.games.push_back(std::move(name));
  }
  return list;
}

GameSection LoadGamePatches(System& system, const std::string& game, PatchList& list) {
  return LoadGamePatches(system, DefinitionFilePath(system), game, list);
}

GameSection LoadGamePatches(System& system, const std::string& path, const std::string& game,
                            PatchList& list) {
  ClearPatchList(list);
  auto value = [&](const std::string& key) { return ReadIniValue(system, game, key, path); };

  GameSection section{value("details"), value("checkfile")};

  for (int k = 0;; ++k) {
    const std::string prefix = k == 0 ? std::string() : NumberedKey('p', k);
    const std::string modfile = value(prefix + "modfile");
    if (modfile.empty()) break;
    PatchEntry entry;
    // Each value of the patch, noting the first that may have been cut.
    const auto patch_value = [&](const char* key) {
      std::string text = value(prefix + key);
      if (text.size() >= kMaxProfileValue && entry.cut.empty()) entry.cut = prefix + key;
      return text;
    };
    entry.modfile = patch_value("modfile");
    entry.undofile = DefaultIfEmpty(patch_value("undofile"), DefaultUndoFileName(modfile));
    entry.sig = ParseSignature(patch_value("sig"));
    entry.sigwild = ParseWildcards(patch_value("sigwild"), entry.sig.size());
    entry.xoffset = IntOrDefault(patch_value("xoffset"), NotSet);
    entry.yoffset = IntOrDefault(patch_value("yoffset"), NotSet);
    entry.setx = IntOrDefault(patch_value("setx"), NotSet);
    entry.sety = IntOrDefault(patch_value("sety"), NotSet);
    entry.setxlen = IntOrDefault(patch_value("setxlen"), 4);
    entry.setylen = IntOrDefault(patch_value("setylen"), 4);
    entry.hasx = entry.xoffset != NotSet;
    entry.hasy = entry.yoffset != NotSet;
    entry.occur = IntOrDefault(patch_value("occur"), 0);
    list.Append(std::move(entry));
  }
  return section;
}

std::string DecodeEscapes(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\\' && i + 3 < text.size() && IsDigit(text[i + 1]) && IsDigit(text[i + 2]) &&
        IsDigit(text[i + 3])) {
      const int code = (text[i + 1] - '0') * 100 + (text[i + 2] - '0') * 10 + (text[i + 3] - '0');
      result.push_back(static_cast<char>(code % 256));
      i += 4;
    } else {
      result.push_back(text[i]);
      ++i;
    }
  }
  return result;
}

std::string DefaultUndoFileName(std::string_view modfile) {
  const std::size_t sep = modfile.find_last_of("\\:");
  const std::size_t name_start = sep == std::string_view::npos ? 0 : sep + 1;
  const std::size_t dot = modfile.rfind('.');
  if (dot != std::string_view::npos && dot >= name_start) {
    return std::string(modfile.substr(0, dot)) + ".undo";
  }
  return std::string(modfile) + ".undo";
}

}  // namespace quillfen
