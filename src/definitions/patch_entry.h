#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillfen {

// The value of a numeric key that is absent, empty or not a number.
constexpr std::int32_t NotSet = -999;

// One patch of the selected game: which file, how to find the width and height
// in it, what to write there and, once located, where the values lie and what
// they were before.
struct PatchEntry {
  std::string modfile;   // raw key value at load; folder + file-name part once bound
  std::string undofile;  // likewise, for the undo record
  std::vector<std::uint8_t> sig;
  std::vector<std::uint8_t> sigwild;  // same length as sig; non-zero = any byte matches
  bool hasx = false;                  // xoffset != NotSet
  bool hasy = false;                  // yoffset != NotSet
  std::int32_t xoffset = NotSet;
  std::int32_t yoffset = NotSet;
  std::int32_t occur = 0;
  std::int32_t xpos = 0;  // 0 = not located
  std::int32_t ypos = 0;
  std::int32_t oldx = 0;
  std::int32_t oldy = 0;
  std::int32_t setx = NotSet;
  std::int32_t sety = NotSet;
  std::int32_t setxlen = 4;
  std::int32_t setylen = 4;
  // The key of a value that reached the length a lookup cuts values at, so
  // that its end may be lost (a signature cut short finds other places);
  // empty when none did. Such an entry is never located nor patched.
  std::string cut;
};

// The entries of the selected game, in definition-file order. Entry k is patch
// number k + 1 in messages. Only ClearPatchList empties it.
class PatchList {
 public:
  std::size_t Count() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  PatchEntry& At(std::size_t index) { return entries_.at(index); }
  const PatchEntry& At(std::size_t index) const { return entries_.at(index); }
  void Append(PatchEntry entry) { entries_.push_back(std::move(entry)); }

 private:
  friend void ClearPatchList(PatchList& list);
  std::vector<PatchEntry> entries_;
};

// Releases every entry, then empties the list.
void ClearPatchList(PatchList& list);

}  // namespace quillfen
