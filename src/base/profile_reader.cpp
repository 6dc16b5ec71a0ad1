#include "base/profile_reader.h"

#include "base/ascii_case.h"
#include "base/profile_text.h"

namespace quillfen {

namespace {

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The value as a lookup reports it before the cut: up to a NUL, and without
// one pair of enclosing quotes.
std::string ValueOf(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    text = text.substr(1, text.size() - 2);
  }
  return std::string(text);
}

}  // namespace

std::string ProfileName(std::string_view name) {
  return UpperAscii(Trim(name));
}

Profile Profile::Parse(std::string_view bytes) {
  Profile profile;
  const std::string decoded = DecodeProfileText(bytes).text;
  const std::string_view text = decoded;
  Index* current = nullptr;  // the section being read; nullptr for a repeated one
  int line_number = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;
    ++line_number;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const auto close = line.find(']');
      ProfileSection section;
      section.name = std::string(Trim(
          line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
      section.line = line_number;
      profile.sections_.push_back(std::move(section));
      const auto [it, added] = profile.index_.try_emplace(
          ProfileName(profile.sections_.back().name), Index{profile.sections_.size() - 1, {}});
      current = added ? &it->second : nullptr;
      continue;
    }
    if (profile.sections_.empty()) continue;
    const auto eq = line.find('=');
    ProfileEntry entry;
    entry.key = std::string(Trim(line.substr(0, eq)));
    entry.value = eq == std::string_view::npos ? std::string() : ValueOf(Trim(line.substr(eq + 1)));
    entry.line = line_number;
    std::vector<ProfileEntry>& entries = profile.sections_.back().entries;
    entries.push_back(std::move(entry));
    if (current) current->keys.try_emplace(ProfileName(entries.back().key), entries.size() - 1);
  }
  return profile;
}

const ProfileSection* Profile::FindSection(std::string_view name) const {
  const auto it = index_.find(ProfileName(name));
  return it == index_.end() ? nullptr : &sections_[it->second.section];
}

const ProfileEntry* Profile::Find(std::string_view section, std::string_view key) const {
  const auto s = index_.find(ProfileName(section));
  if (s == index_.end()) return nullptr;
  const auto k = s->second.keys.find(ProfileName(key));
  if (k == s->second.keys.end()) return nullptr;
  return &sections_[s->second.section].entries[k->second];
}

std::string Profile::Value(std::string_view section, std::string_view key) const {
  const ProfileEntry* entry = Find(section, key);
  if (!entry) return {};
  return entry->value;
}

}  // namespace quillfen
