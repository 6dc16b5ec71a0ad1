#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

// One "key=value" line. A line without "=" is a key with an empty value.
struct ProfileEntry {
  std::string key;    // as written, blanks trimmed
  std::string value;  // blanks trimmed, one pair of enclosing quotes removed, not cut
  int line = 0;       // counting from 1
};

struct ProfileSection {
  std::string name;  // as written between the brackets, blanks trimmed
  int line = 0;
  std::vector<ProfileEntry> entries;  // in file order, repeated keys included
};

// A profile (INI) file read by the rules the program relies on of the system's
// profile reader:
// - a line ends at CR LF, a lone LF or a lone CR; blanks around a line are trimmed;
// - a line starting with "[" opens a section named by what lies up to the first "]";
// - a line starting with ";" is a comment, and lines before the first section are not read;
// - section and key names are matched without regard to the case of A to Z,
//   with the blanks around them trimmed;
// - the first of repeated sections, and within it the first of repeated keys,
//   is the one a lookup finds;
// - a value enclosed in a pair of the same quotes (' or ") loses them;
// - a value ends at a NUL character;
// - the bytes are read as DecodeProfileText reads them: UTF-16 after a byte
//   order mark, UTF-8 (a byte order mark skipped), or else Windows-1252.
// Every section and entry keeps its line number, so that a check of the file
// reports problems where they stand and judges exactly the values a lookup gives.
class Profile {
 public:
  static Profile Parse(std::string_view bytes);

  // Every section in file order, repeated ones included.
  const std::vector<ProfileSection>& Sections() const { return sections_; }

  // The section a lookup reads, or nullptr.
  const ProfileSection* FindSection(std::string_view name) const;
  // The entry a lookup reads, or nullptr.
  const ProfileEntry* Find(std::string_view section, std::string_view key) const;
  // What a lookup gives: the whole value; empty for anything absent.
  std::string Value(std::string_view section, std::string_view key) const;

 private:
  struct Index {
    std::size_t section;
    std::map<std::string, std::size_t> keys;  // upper-case key -> first entry
  };
  std::vector<ProfileSection> sections_;
  std::map<std::string, Index> index_;  // upper-case section name -> first section
};

// A name as a lookup compares it: blanks trimmed, a to z made upper case.
std::string ProfileName(std::string_view name);

}  // namespace quillfen
