#include "definitions/definition_check.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>

#include "base/ascii_case.h"
#include "base/profile_reader.h"
#include "base/profile_text.h"
#include "base/text.h"
#include "definitions/game_loading.h"
#include "definitions/ini.h"
#include "definitions/patch_entry.h"
#include "words/fault_words.h"

namespace quillfen {

namespace {

// The keys of one patch, without the "p<k>" prefix, as game loading reads them.
constexpr std::array<const char*, 11> kPatchKeys = {"modfile", "undofile", "sig",  "sigwild",
                                                    "xoffset", "yoffset",  "setx", "sety",
                                                    "setxlen", "setylen",  "occur"};
constexpr std::array<const char*, 2> kGameKeys = {"details", "checkfile"};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The number after a one-letter prefix ("a12", "p3sig"): its value and where the
// digits end; nothing when no digits follow or they do not fit.
struct Numbered {
  std::int64_t number;
  std::size_t end;
  bool canonical;  // no leading zero: the spelling the program forms
};

std::optional<Numbered> NumberAfterLetter(std::string_view key, char letter) {
  if (key.size() < 2 || (key[0] != letter && key[0] != letter - 'a' + 'A') || !IsDigit(key[1])) {
    return std::nullopt;
  }
  std::size_t end = 1;
  std::int64_t number = 0;
  while (end < key.size() && IsDigit(key[end])) {
    number = number * 10 + (key[end] - '0');
    if (number > INT32_MAX) return std::nullopt;
    ++end;
  }
  return Numbered{number, end, key[1] != '0' || end == 2};
}

// The prefix game loading puts before the keys of patch k.
std::string PatchPrefix(std::int64_t k) {
  return k == 0 ? std::string() : NumberedKey('p', k);
}

// Which patch a key of a game section belongs to, as game loading forms the
// keys; -1 for "details" and "checkfile"; nothing for an unknown key.
std::optional<std::int64_t> PatchOfKey(std::string_view key) {
  const std::string lower = LowerAscii(key);
  for (const char* known : kGameKeys) {
    if (lower == known) return -1;
  }
  std::int64_t k = 0;
  std::string_view base = lower;
  if (const auto numbered = NumberAfterLetter(lower, 'p')) {
    if (!numbered->canonical || numbered->number == 0) return std::nullopt;
    k = numbered->number;
    base = std::string_view(lower).substr(numbered->end);
  }
  for (const char* known : kPatchKeys) {
    if (base == known) return k;
  }
  return std::nullopt;
}

// The keys an unknown key of a game section may have been meant as.
std::vector<std::string> GameKeyCandidates(std::string_view key) {
  std::vector<std::string> known(kGameKeys.begin(), kGameKeys.end());
  std::string prefix;
  if (const auto numbered = NumberAfterLetter(key, 'p')) prefix = PatchPrefix(numbered->number);
  for (const char* base : kPatchKeys) {
    known.push_back(base);
    if (!prefix.empty()) known.push_back(prefix + base);
  }
  return known;
}

}  // namespace

std::size_t TextDistance(std::string_view a, std::string_view b) {
  const std::string x = LowerAscii(a);
  const std::string y = LowerAscii(b);
  std::vector<std::vector<std::size_t>> d(x.size() + 1, std::vector<std::size_t>(y.size() + 1));
  for (std::size_t i = 0; i <= x.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= y.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= x.size(); ++i) {
    for (std::size_t j = 1; j <= y.size(); ++j) {
      const std::size_t cost = x[i - 1] == y[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[x.size()][y.size()];
}

namespace {

class Checker {
 public:
  Checker(std::string_view bytes, const ValueJudged& onJudged)
      : decoded_(DecodeProfileText(bytes)),
        profile_(Profile::Parse(decoded_.text)),
        onJudged_(onJudged) {}

  DefinitionCheck Run() {
    if (decoded_.encoding == TextEncoding::kWindows1252) {
      // Read so on every system only where the ANSI code page is Windows-1252.
      Warning(decoded_.foreign_line,
              "not UTF-8: read as Windows-1252, as Western Windows reads it; save it as UTF-16 to "
              "be read alike everywhere");
    }
    CheckRepeatedSections();
    CheckAppsSection();
    for (const ProfileSection& section : profile_.Sections()) {
      if (profile_.FindSection(section.name) != &section) continue;  // repeated: reported
      if (ProfileName(section.name) == "APPS") continue;
      CheckGameSection(section);
    }
    CheckRecords();
    std::stable_sort(result_.diagnostics.begin(), result_.diagnostics.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
    return std::move(result_);
  }

 private:
  void Error(int line, std::string text) {
    result_.diagnostics.push_back({line, Severity::kError, std::move(text)});
  }
  void Warning(int line, std::string text) {
    result_.diagnostics.push_back({line, Severity::kWarning, std::move(text)});
  }

  // The value a lookup gives and the entry it comes from (nullptr when absent).
  std::pair<std::string, const ProfileEntry*> Read(const std::string& section,
                                                   const std::string& key) {
    const ProfileEntry* entry = profile_.Find(section, key);
    std::string value = CutValue(profile_.Value(section, key));
    if (entry && onJudged_) onJudged_({section, key, value, entry->line});
    return {std::move(value), entry};
  }

  void CheckRepeatedSections() {
    for (const ProfileSection& section : profile_.Sections()) {
      const ProfileSection* first = profile_.FindSection(section.name);
      if (first == &section) continue;
      Warning(section.line, "section [" + section.name + "] repeats line " +
                                std::to_string(first->line) + ": its keys are never read");
    }
  }

  // Unknown keys, with the known key most like each, and repeated keys.
  template <typename IsKnown, typename Candidates>
  void CheckKeys(const ProfileSection& section, IsKnown is_known, Candidates candidates) {
    std::map<std::string, int> seen;
    for (const ProfileEntry& entry : section.entries) {
      const auto [first, added] = seen.try_emplace(ProfileName(entry.key), entry.line);
      if (!added) {
        Warning(entry.line, Quoted(entry.key) + " repeats line " + std::to_string(first->second) +
                                ": this value is never read");
        continue;
      }
      if (is_known(entry.key)) continue;
      std::string text = "unknown key " + Quoted(entry.key);
      const std::string nearest = NearestKey(entry.key, candidates(entry.key));
      if (!nearest.empty()) text += "; did you mean " + Quoted(nearest) + "?";
      Error(entry.line, std::move(text));
    }
  }

  void CheckAppsSection() {
    const ProfileSection* apps = profile_.FindSection("apps");
    if (!apps) {
      Error(1, "no [apps] section: no version stamp and no game list");
      return;
    }
    const auto [version, version_entry] = Read("apps", "version");
    if (!version_entry) {
      Error(apps->line, std::string("no version stamp: the program refuses this file without "
                                    "\"version=") +
                            kDefinitionVersion + "\"");
    } else if (version != kDefinitionVersion) {
      Error(version_entry->line, "version stamp " + Quoted(version) + " is not " +
                                     Quoted(kDefinitionVersion) +
                                     ": the program refuses this file");
    }

    CheckKeys(
        *apps,
        [](const std::string& key) {
          if (ProfileName(key) == "VERSION") return true;
          const auto numbered = NumberAfterLetter(key, 'a');
          return numbered && numbered->canonical && numbered->end == key.size();
        },
        [](const std::string& key) {
          std::vector<std::string> known = {"version"};
          if (const auto numbered = NumberAfterLetter(key, 'a')) {
            known.push_back(NumberedKey('a', numbered->number));
          }
          return known;
        });

    // The list as LoadAppList reads it: a0 upward to the first empty value.
    std::vector<int> lines;
    std::int64_t count = 0;
    for (;; ++count) {
      const std::string key = NumberedKey('a', count);
      const auto [name, entry] = Read("Apps", key);
      if (name.empty()) break;
      result_.games.push_back({name, 0});
      lines.push_back(entry->line);
    }
    const std::string stop = NumberedKey('a', count);
    const std::string why = profile_.Find("apps", stop) ? " is empty" : " is missing";
    for (const ProfileEntry& entry : apps->entries) {
      const auto numbered = NumberAfterLetter(entry.key, 'a');
      if (!numbered || !numbered->canonical || numbered->end != entry.key.size()) continue;
      if (numbered->number <= count || profile_.Find("apps", entry.key) != &entry) continue;
      Error(entry.line,
            LowerAscii(entry.key) + " is never read: " + stop + why + " and ends the game list");
    }

    // Each name is looked up once: a list of thousands of games is checked in
    // time proportional to its length.
    std::map<std::string, std::vector<std::size_t>> spellings;  // ProfileName -> games
    for (std::size_t i = 0; i < result_.games.size(); ++i) {
      const std::string& name = result_.games[i].name;
      const ProfileSection* section = profile_.FindSection(name);
      if (!section) {
        Error(lines[i], "game " + Quoted(name) + " has no section [" + name + "]");
      }
      std::vector<std::size_t>& same = spellings[ProfileName(name)];
      for (const std::size_t j : same) {
        const std::string& other = result_.games[j].name;
        if (other == name) continue;
        Warning(lines[i], Quoted(name) + " (" + NumberedKey('a', i) + ") and " + Quoted(other) +
                              " (" + NumberedKey('a', j) +
                              ") differ only in case: both read one section");
        break;
      }
      // One game of each spelling is enough to compare a later one with.
      if (std::none_of(same.begin(), same.end(),
                       [&](std::size_t j) { return result_.games[j].name == name; })) {
        same.push_back(i);
      }
      listed_[ProfileName(name)].push_back(i);
    }
  }

  // A number the number rule does not read takes its default.
  void CheckNumber(const std::string& section, const std::string& key, const char* default_text) {
    const auto [value, entry] = Read(section, key);
    if (!entry || value.empty()) return;
    if (IntOrDefault(value, 0) == 0 && IntOrDefault(value, 1) == 1) {
      Error(entry->line, LowerAscii(entry->key) + " " + Quoted(value) +
                             " is not a number: read as " + default_text);
    }
  }

  void CheckSignature(const std::string& section, const std::string& prefix, int patch_line,
                      const std::string& number) {
    const auto [sig, sig_entry] = Read(section, prefix + "sig");
    const auto [wild, wild_entry] = Read(section, prefix + "sigwild");
    const std::size_t bytes = sig.size() / 2;
    if (sig_entry && sig.size() % 2 != 0) {
      Error(sig_entry->line, prefix + "sig has an odd number of digits (" +
                                 std::to_string(sig.size()) + "): the last one is ignored");
    }
    std::size_t bad = 0;
    std::size_t first_bad = 0;
    for (std::size_t j = 0; j < bytes; ++j) {
      if (IsHexDigit(sig[2 * j]) && IsHexDigit(sig[2 * j + 1])) continue;
      if (bad++ == 0) first_bad = j;
    }
    if (bad > 0) {
      std::string text = prefix + "sig byte " + std::to_string(first_bad + 1) + " " +
                         Quoted(sig.substr(2 * first_bad, 2)) + " is not hexadecimal: read as 00";
      if (bad > 1) text += " (" + std::to_string(bad) + " such bytes)";
      Error(sig_entry->line, std::move(text));
    }

    if (bytes > 0 && !wild_entry) {
      Error(sig_entry->line, "no " + prefix + "sigwild for " + std::to_string(bytes) +
                                 " signature bytes: every byte must match");
    } else if (wild_entry && wild.size() != bytes) {
      Error(wild_entry->line, prefix + "sigwild has " + std::to_string(wild.size()) +
                                  " characters for " + std::to_string(bytes) +
                                  " signature bytes: " +
                                  (wild.size() < bytes ? "the bytes it misses must match"
                                                       : "the extra characters are ignored"));
    }
    for (std::size_t j = 0; j < std::min(bytes, wild.size()); ++j) {
      if (IsDigit(wild[j])) continue;
      Error(wild_entry->line, prefix + "sigwild character " + std::to_string(j + 1) + " " +
                                  Quoted(wild.substr(j, 1)) +
                                  " is not a digit: read as 0 (must match)");
      break;
    }
    if (bytes == 0) {
      Warning(sig_entry ? sig_entry->line : patch_line,
              "patch " + number + " has no signature: occurrence N lies at position N - 1");
    }
  }

  void CheckPatch(const std::string& section, std::int64_t k, int patch_line) {
    const std::string prefix = PatchPrefix(k);
    const std::string number = std::to_string(k + 1);
    for (const char* key : {"xoffset", "yoffset", "setx", "sety"}) {
      CheckNumber(section, prefix + key, "not set");
    }
    CheckNumber(section, prefix + "setxlen", "4");
    CheckNumber(section, prefix + "setylen", "4");
    CheckNumber(section, prefix + "occur", "0");

    const auto number_of = [&](const std::string& key, std::int32_t default_value) {
      return IntOrDefault(CutValue(profile_.Value(section, prefix + key)), default_value);
    };
    const bool hasx = number_of("xoffset", NotSet) != NotSet;
    const bool hasy = number_of("yoffset", NotSet) != NotSet;
    if (!hasx && !hasy) {
      Warning(patch_line, "patch " + number + " changes neither width nor height (no " + prefix +
                              "xoffset or " + prefix + "yoffset)");
      return;
    }
    CheckSignature(section, prefix, patch_line, number);
    for (const auto& [axis, used] : {std::pair{"xlen", hasx}, std::pair{"ylen", hasy}}) {
      const std::string key = prefix + "set" + axis;
      const std::int32_t length = number_of(std::string("set") + axis, 4);
      if (used && (length < 1 || length > 4)) {
        const ProfileEntry* entry = profile_.Find(section, key);
        Error(entry ? entry->line : patch_line, key + " " + std::to_string(length) +
                                                    " is outside 1 to 4: patch " + number +
                                                    " can never be written");
      }
    }
    CheckFixedValues(section, prefix, number, hasx, hasy);
    if (hasx && hasy) {
      // The width and height lie on each other's bytes wherever the signature is found.
      const std::int32_t x = number_of("xoffset", NotSet);
      const std::int32_t y = number_of("yoffset", NotSet);
      const std::int64_t first = std::min(x, y);
      const std::int64_t length = number_of(x <= y ? "setxlen" : "setylen", 4);
      if (std::max<std::int64_t>(x, y) < first + length) {
        const ProfileEntry* entry = profile_.Find(section, prefix + "yoffset");
        Error(entry ? entry->line : patch_line, "the width and height of patch " + number +
                                                    " lie on the same bytes (" + prefix +
                                                    "xoffset " + std::to_string(x) + ", " + prefix +
                                                    "yoffset " + std::to_string(y) + ")");
      }
    }
    CheckRecordName(section, prefix, number, patch_line, hasx, hasy);
    const std::int32_t occur = number_of("occur", 0);
    if (occur <= 0) {
      const ProfileEntry* entry = profile_.Find(section, prefix + "occur");
      Error(entry ? entry->line : patch_line,
            entry ? prefix + "occur " + std::to_string(occur) + " is not 1 or more: patch " +
                        number + " can never be located"
                  : "no " + prefix + "occur: patch " + number + " can never be located");
    }
  }

  // A fixed value must read back as itself: one to three bytes hold 0 up to
  // 255, 65535 or 16777215.
  void CheckFixedValues(const std::string& section, const std::string& prefix,
                        const std::string& number, bool hasx, bool hasy) {
    for (const auto& [axis, used] : {std::pair{'x', hasx}, std::pair{'y', hasy}}) {
      const std::string set_key = prefix + "set" + axis;
      const std::int32_t value = IntOrDefault(CutValue(profile_.Value(section, set_key)), NotSet);
      const std::int32_t length =
          IntOrDefault(CutValue(profile_.Value(section, prefix + "set" + axis + "len")), 4);
      if (!used || value == NotSet || length < 1 || length > 3) continue;
      const std::int64_t largest = (std::int64_t{1} << (8 * length)) - 1;
      if (value >= 0 && value <= largest) continue;
      Error(profile_.Find(section, set_key)->line,
            set_key + " " + std::to_string(value) + " does not fit " + prefix + "set" + axis +
                "len " + std::to_string(length) + " (0 to " + std::to_string(largest) +
                "): patch " + number + " would write another number");
    }
  }

  // The file names of a patch must name files of the game folder, and no two
  // patches may keep their old values in one record unless they locate the
  // very same places of one file.
  void CheckRecordName(const std::string& section, const std::string& prefix,
                       const std::string& number, int patch_line, bool hasx, bool hasy) {
    const auto [modfile, modfile_entry] = Read(section, prefix + "modfile");
    const auto [undofile, undofile_entry] = Read(section, prefix + "undofile");
    for (const auto& [key, value] :
         {std::pair{prefix + "modfile", modfile}, std::pair{prefix + "undofile", undofile}}) {
      if (value.empty() && key != prefix + "modfile") continue;
      if (const auto fault = ForeignNameReason(FileNamePart(value))) {
        const ProfileEntry* entry = profile_.Find(section, key);
        Error(entry ? entry->line : patch_line, key + " " + Quoted(value) +
                                                    " names no file of the game folder: " +
                                                    NameFaultText(*fault));
      }
    }
    PatchRecord record;
    record.game = section;
    record.number = number;
    record.line = undofile_entry ? undofile_entry->line : patch_line;
    record.game_file = ProfileName(FileNamePart(modfile));
    record.record =
        ProfileName(FileNamePart(DefaultIfEmpty(undofile, DefaultUndoFileName(modfile))));
    for (const char* key :
         {"sig", "sigwild", "occur", "xoffset", "yoffset", "setxlen", "setylen"}) {
      record.places += CutValue(profile_.Value(section, prefix + key)) + "\n";
    }
    record.places += std::string(hasx ? "x" : "") + (hasy ? "y" : "");
    records_.push_back(std::move(record));
  }

  // The records of every game together: games of one file may share a folder
  // (a game and its expansion), so a record name may be used by one patch
  // only, unless the patches locate the very same places of one file; and no
  // record may be a game file of any patch. Each name is looked up in a map,
  // so that the check takes time in proportion to the number of patches.
  void CheckRecords() {
    std::map<std::string, std::size_t> game_files;  // name -> the first patch with it
    for (std::size_t i = 0; i < records_.size(); ++i) {
      game_files.try_emplace(records_[i].game_file, i);
    }
    // For each record name, the first patch that keeps values in it, and the
    // first one after it that locates other places: any later patch that
    // locates other places differs from one of the two.
    std::map<std::string, std::vector<std::size_t>> keepers;
    const auto differ = [&](std::size_t a, std::size_t b) {
      return records_[a].game_file != records_[b].game_file ||
             records_[a].places != records_[b].places;
    };
    const auto name_of = [&](std::size_t i) {
      const PatchRecord& r = records_[i];
      return "patch " + r.number + " of [" + r.game + "]";
    };
    for (std::size_t i = 0; i < records_.size(); ++i) {
      const PatchRecord& record = records_[i];
      if (record.record == record.game_file) {
        Error(record.line, "the undo record of patch " + record.number + " (" + record.record +
                               ") is its game file itself: Patch would overwrite the game "
                               "file's values with the record; give it an undofile of its own");
        continue;
      }
      const auto game_file = game_files.find(record.record);
      if (game_file != game_files.end()) {
        Error(record.line, "the undo record of patch " + record.number + " (" + record.record +
                               ") is the game file of " + name_of(game_file->second) +
                               ": give it an undofile of its own");
        continue;
      }
      std::optional<std::size_t> clash;
      const auto find_clash = [&](const std::string& name, bool any) {
        const auto found = keepers.find(name);
        if (clash || found == keepers.end()) return;
        for (const std::size_t j : found->second) {
          if (any || differ(i, j)) {
            clash = j;
            return;
          }
        }
      };
      find_clash(record.record, false);
      find_clash(record.record + ".NEW", true);
      if (record.record.ends_with(".NEW")) {
        find_clash(record.record.substr(0, record.record.size() - 4), true);
      }
      if (clash) {
        const PatchRecord& earlier = records_[*clash];
        const std::string other =
            earlier.game == record.game ? "patch " + earlier.number : name_of(*clash);
        Error(record.line, "patch " + record.number +
                               " would keep its old values in the undo record of " + other + " (" +
                               record.record + "): give each an undofile of its own");
      }
      std::vector<std::size_t>& kept = keepers[record.record];
      if (kept.empty() || (kept.size() == 1 && differ(kept[0], i))) kept.push_back(i);
    }
  }

  void CheckGameSection(const ProfileSection& section) {
    const std::string& name = section.name;
    const auto listed = listed_.find(ProfileName(name));
    if (listed == listed_.end()) {
      Warning(section.line, "section [" + name + "] is not in the game list");
    }
    CheckKeys(
        section, [](const std::string& key) { return PatchOfKey(key).has_value(); },
        GameKeyCandidates);

    // The patches as LoadGamePatches reads them: up to the first empty modfile.
    std::int64_t count = 0;
    for (;; ++count) {
      const auto [modfile, entry] = Read(name, PatchPrefix(count) + "modfile");
      if (modfile.empty()) break;
      CheckPatch(name, count, entry->line);
    }
    if (listed != listed_.end()) {
      for (const std::size_t i : listed->second) {
        result_.games[i].patches = static_cast<std::size_t>(count);
      }
    }

    // A lookup gives at most kMaxProfileValue characters: a value that long
    // may have been cut, and the program refuses the patch that holds it.
    for (const ProfileEntry& entry : section.entries) {
      const auto patch = PatchOfKey(entry.key);
      if (!patch || *patch < 0 || *patch >= count || profile_.Find(name, entry.key) != &entry ||
          entry.value.size() < kMaxProfileValue) {
        continue;
      }
      Error(entry.line, LowerAscii(entry.key) + " holds " + std::to_string(entry.value.size()) +
                            " characters: only the first " + std::to_string(kMaxProfileValue) +
                            " are read, so the program refuses patch " +
                            std::to_string(*patch + 1));
    }

    // Keys of patches that are never read, once per patch at its first key.
    std::map<std::int64_t, const ProfileEntry*> unread;
    for (const ProfileEntry& entry : section.entries) {
      const auto patch = PatchOfKey(entry.key);
      if (patch && *patch >= count) unread.try_emplace(*patch, &entry);
    }
    const std::string gap = PatchPrefix(count) + "modfile";
    for (const auto& [k, entry] : unread) {
      Error(entry->line, k == count ? "patch " + std::to_string(k + 1) + " has no " + gap +
                                          ": its keys are never read"
                                    : "patch " + std::to_string(k + 1) + " is never read: patch " +
                                          std::to_string(count + 1) + " has no " + gap);
    }

    const auto [checkfile, checkfile_entry] = Read(name, "checkfile");
    if (checkfile.empty()) {
      Warning(checkfile_entry ? checkfile_entry->line : section.line,
              "no checkfile: Find it for me cannot find the game");
    } else if (const auto fault = ForeignNameReason(FileNamePart(checkfile))) {
      Error(checkfile_entry->line, "checkfile " + Quoted(checkfile) +
                                       " names no file of the game folder: " +
                                       NameFaultText(*fault));
    }
  }

  // What a patch keeps in which record.
  struct PatchRecord {
    std::string game;  // its section
    std::string number;
    int line = 0;           // where its undofile is given, or its first key
    std::string game_file;  // the file-name parts, as names are compared
    std::string record;
    std::string places;  // the keys that decide where the values are found
  };

  ProfileText decoded_;
  Profile profile_;
  const ValueJudged& onJudged_;
  DefinitionCheck result_;
  std::vector<PatchRecord> records_;  // every patch of every game, in file order
  std::map<std::string, std::vector<std::size_t>> listed_;  // ProfileName -> games of the list
};

}  // namespace

DefinitionCheck CheckDefinitions(std::string_view text, const ValueJudged& onJudged) {
  return Checker(text, onJudged).Run();
}

std::string NearestKey(std::string_view key, const std::vector<std::string>& known) {
  std::string best;
  std::size_t best_distance = 0;
  for (const std::string& candidate : known) {
    // The distance is at least the difference in length.
    const std::size_t gap = key.size() > candidate.size() ? key.size() - candidate.size()
                                                          : candidate.size() - key.size();
    if (gap > 2) continue;
    const std::size_t d = TextDistance(key, candidate);
    if (d == 0) continue;
    if (best.empty() || d < best_distance) {
      best = candidate;
      best_distance = d;
    }
  }
  // Close enough to be a slip: at most two edits, and fewer than half the letters.
  const std::size_t longest = std::max(key.size(), best.size());
  if (best.empty() || best_distance > 2 || 2 * best_distance >= longest) return {};
  return best;
}

}  // namespace quillfen
