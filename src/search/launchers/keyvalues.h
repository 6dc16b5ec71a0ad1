#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

// One pair of a KeyValues text, the format of Steam's .vdf files: a key
// followed by a text or by a block of pairs in braces.
struct KeyValues {
  std::string key;
  std::string value;                // the text, for a pair without a block
  std::vector<KeyValues> children;  // the block's pairs, in the file's order
  bool block = false;

  // The first pair of the block with that key (letter case of A to Z aside), or null.
  const KeyValues* Child(std::string_view name) const;
};

// The top-level pairs of a KeyValues text: quoted texts with their escapes (\\,
// \", \n, \t) or bare words, "//" comments, and conditions in brackets
// ("[$WIN32]"), which are skipped. Nothing when the text is not well formed.
std::optional<std::vector<KeyValues>> ParseKeyValues(std::string_view text);

// The library folders a steamapps/libraryfolders.vdf names, in its order: the
// "path" of each numbered block, or the numbered texts of the older form.
// Nothing when the text is malformed or holds no "libraryfolders" block.
std::optional<std::vector<std::string>> SteamLibraryPaths(std::string_view text);

}  // namespace quillfen
