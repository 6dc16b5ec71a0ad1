#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillfen {

enum class Severity { kWarning, kError };

// One problem of a definition file, at a line of the file (counting from 1).
struct Diagnostic {
  int line = 0;
  Severity severity = Severity::kError;
  std::string text;
};

// A value the check judged, exactly as a lookup gives it, with its line.
struct JudgedValue {
  std::string section;
  std::string key;
  std::string value;
  int line = 0;
};

struct CheckedGame {
  std::string name;
  std::size_t patches = 0;  // how many patches game loading reads
};

struct DefinitionCheck {
  std::vector<Diagnostic> diagnostics;  // in line order
  std::vector<CheckedGame> games;       // the game list as the program reads it
};

// Told each value the check judges, as it reads it.
using ValueJudged = std::function<void(const JudgedValue&)>;

// Reads a definition file by the program's own rules (the profile reader, the
// number rule, game loading) and reports what would make a game misbehave:
// errors for what the program reads otherwise than its author meant, warnings
// for what is suspect but harmless. `onJudged`, when given, is told each
// value the verdicts rest on.
DefinitionCheck CheckDefinitions(std::string_view text, const ValueJudged& onJudged = {});

// How many edits (a character inserted, removed or replaced, or two neighbours
// swapped) turn one text into the other, A to Z compared without regard to case.
std::size_t TextDistance(std::string_view a, std::string_view b);

// The known key most like an unknown one, or empty when none is close.
std::string NearestKey(std::string_view key, const std::vector<std::string>& known);

}  // namespace quillfen
