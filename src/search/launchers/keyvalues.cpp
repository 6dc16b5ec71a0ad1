#include "search/launchers/keyvalues.h"

#include <algorithm>
#include <cctype>

#include "base/ascii_case.h"

namespace quillfen {

namespace {

// Reads the text token by token: texts, "{" and "}".
class Tokens {
 public:
  explicit Tokens(std::string_view text) : text_(text) {}

  enum class Kind { kText, kOpen, kClose, kEnd, kError };

  Kind Next(std::string& token) {
    SkipSpaceAndComments();
    if (pos_ >= text_.size()) return Kind::kEnd;
    const char c = text_[pos_];
    if (c == '{' || c == '}') {
      ++pos_;
      return c == '{' ? Kind::kOpen : Kind::kClose;
    }
    token.clear();
    if (c == '"') return Quoted(token);
    while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != '"' &&
           text_[pos_] != '{' && text_[pos_] != '}') {
      token.push_back(text_[pos_++]);
    }
    return Kind::kText;
  }

 private:
  static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

  void SkipSpaceAndComments() {
    for (;;) {
      while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
      if (text_.substr(pos_, 2) == "//") {
        pos_ = text_.find('\n', pos_);
        if (pos_ == std::string_view::npos) pos_ = text_.size();
      } else if (pos_ < text_.size() && text_[pos_] == '[') {
        // A platform condition after a key or a value: "[$WIN32]", "[!$OSX]".
        const std::size_t end = text_.find(']', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else {
        return;
      }
    }
  }

  Kind Quoted(std::string& token) {
    ++pos_;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return Kind::kText;
      if (c == '\\' && pos_ < text_.size()) {
        const char escaped = text_[pos_++];
        token.push_back(escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped);
      } else {
        token.push_back(c);
      }
    }
    return Kind::kError;  // no closing quote
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// Reads pairs up to the end of a block (inner) or of the text; false when malformed.
bool ReadPairs(Tokens& tokens, std::vector<KeyValues>& pairs, bool inner, int depth) {
  if (depth > 64) return false;
  std::string token;
  for (;;) {
    const Tokens::Kind kind = tokens.Next(token);
    if (kind == Tokens::Kind::kEnd) return !inner;
    if (kind == Tokens::Kind::kClose) return inner;
    if (kind != Tokens::Kind::kText) return false;
    KeyValues pair;
    pair.key = token;
    const Tokens::Kind value = tokens.Next(token);
    if (value == Tokens::Kind::kText) {
      pair.value = token;
    } else if (value == Tokens::Kind::kOpen) {
      pair.block = true;
      if (!ReadPairs(tokens, pair.children, true, depth + 1)) return false;
    } else {
      return false;
    }
    pairs.push_back(std::move(pair));
  }
}

bool IsNumber(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
}

}  // namespace

const KeyValues* KeyValues::Child(std::string_view name) const {
  for (const KeyValues& child : children) {
    if (SameAsciiNoCase(child.key, name)) return &child;
  }
  return nullptr;
}

std::optional<std::vector<KeyValues>> ParseKeyValues(std::string_view text) {
  // A byte-order mark, which an editor may have added.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Tokens tokens(text);
  std::vector<KeyValues> pairs;
  if (!ReadPairs(tokens, pairs, false, 0)) return std::nullopt;
  return pairs;
}

std::optional<std::vector<std::string>> SteamLibraryPaths(std::string_view text) {
  const std::optional<std::vector<KeyValues>> pairs = ParseKeyValues(text);
  if (!pairs) return std::nullopt;
  const auto root = std::find_if(pairs->begin(), pairs->end(), [](const KeyValues& pair) {
    return pair.block && SameAsciiNoCase(pair.key, "libraryfolders");
  });
  if (root == pairs->end()) return std::nullopt;
  std::vector<std::string> paths;
  for (const KeyValues& library : root->children) {
    if (!IsNumber(library.key)) continue;  // "contentstatsid" and the like
    if (!library.block) {
      if (!library.value.empty()) paths.push_back(library.value);
    } else if (const KeyValues* path = library.Child("path"); path && !path->block) {
      if (!path->value.empty()) paths.push_back(path->value);
    }
  }
  return paths;
}

}  // namespace quillfen
