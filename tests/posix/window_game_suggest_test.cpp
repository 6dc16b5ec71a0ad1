// suggest on a game compiled from source in several editions (see
// tests/window_game): the first candidate holds the values the window is made
// with (two patches where the code holds them apart), in every edition of a set, or, where no one
// signature finds them in both editions, in each edition's own candidates. The right places are the
// bytes that differ from the same edition built for another window size.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "engine/suggest.h"

namespace quillfen {
namespace {

namespace fs = std::filesystem;

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::int64_t> Differences(const Bytes& a, const Bytes& b) {
  std::set<std::int64_t> at;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    if (a[i] != b[i]) at.insert(static_cast<std::int64_t>(i));
  }
  return at;
}

TEST(WindowGameSuggest, TheFirstCandidateHoldsTheSizeTheWindowIsMadeWith) {
  const fs::path folder = QUILLFEN_WINDOW_GAME_DIR;
  int sets = 0;
  for (const std::string set : {"O2", "Os", "O1", "fp", "x86", "apart"}) {
    const fs::path first = folder / (set + "-1.0"), second = folder / (set + "-1.1");
    if (!fs::exists(first / "game.exe") || !fs::exists(second / "game.exe")) continue;
    ++sets;
    std::vector<Bytes> games, resized;
    for (const fs::path& edition : {first, second}) {
      games.push_back(ReadAll(edition / "game.exe"));
      resized.push_back(ReadAll(edition / "game-resized.exe"));
    }
    const auto expect_right = [&](const SuggestResult& result, std::vector<std::size_t> editions) {
      ASSERT_FALSE(result.suggestions.empty()) << set;
      const Suggestion& best = result.suggestions[0];
      // The values apart pass through memory to the window call, out of sight.
      EXPECT_EQ(best.apart.has_value(), set == "apart") << set;
      EXPECT_TRUE(best.apart || !best.evidence.call.empty()) << set << ": no window call";
      for (std::size_t e = 0; e < editions.size(); ++e) {
        const std::set<std::int64_t> right = Differences(games[editions[e]], resized[editions[e]]);
        EXPECT_TRUE(right.contains(best.xpos[e]) && right.contains(best.ypos[e]))
            << set << " edition " << editions[e] << ": first candidate at " << best.xpos[e];
      }
    };
    const SuggestResult both = SuggestSignatures({games[0], games[1]}, 1280, 720);
    if (!both.suggestions.empty()) {
      expect_right(both, {0, 1});
      continue;
    }
    // Each edition alone, as the command offers when none finds both.
    for (std::size_t e = 0; e < 2; ++e) {
      expect_right(SuggestSignatures({games[e]}, 1280, 720), {e});
    }
  }
  if (sets == 0) GTEST_SKIP() << "no MinGW-w64 compiler built the window game";
}

}  // namespace
}  // namespace quillfen
