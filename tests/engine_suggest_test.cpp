#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/locate.h"
#include "engine/patching.h"
#include "engine/suggest.h"
#include "support/located_entry.h"
#include "support/memory_system.h"

namespace quillfen {
namespace {

using testing::MemorySystem;

void Put(Bytes& bytes, std::size_t at, std::int32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A made-up executable of random bytes holding 800 x 600 as 4-byte values
// (width at 1000, height right after), as 2-byte values (width at 3000, height
// 6 bytes before it), and 800 and 600 by chance 200 bytes apart.
Bytes Executable(std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(8192);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
  Put(bytes, 1000, 800, 4);
  Put(bytes, 1004, 600, 4);
  Put(bytes, 3000, 800, 2);
  Put(bytes, 2994, 600, 2);
  Put(bytes, 5000, 800, 4);
  Put(bytes, 5200, 600, 4);
  return bytes;
}

// The same game's other edition: 37 bytes inserted before both places, and a
// byte next to each changed.
Bytes OtherEdition(const Bytes& first) {
  Bytes bytes = first;
  bytes[998] ^= 0xFF;
  bytes[3002] ^= 0xFF;
  bytes.insert(bytes.begin() + 500, 37, 0x5A);
  return bytes;
}

PatchEntry EntryOf(const Suggestion& s) {
  PatchEntry entry;
  entry.modfile = "game.exe";
  entry.undofile = "game.undo";
  entry.sig = s.sig;
  entry.sigwild = s.sigwild;
  entry.occur = s.occur;
  entry.hasx = entry.hasy = true;
  entry.xoffset = s.xoffset;
  entry.yoffset = s.yoffset;
  entry.setxlen = entry.setylen = s.size;
  return entry;
}

// Locates, patches, locates again once the undo record is gone, and undoes,
// through the engine, in one edition; expects the file as it was at the end.
void RoundTrip(const Suggestion& s, std::size_t edition, const Bytes& content,
               std::int32_t width = 800, std::int32_t height = 600) {
  const std::string folder = "C:\\Game\\";
  MemorySystem system;
  system.AddFile(folder + "game.exe", content);
  PatchList list;
  list.Append(EntryOf(s));
  const LocatedPatch found = LocatePatch(system, folder, list.At(0));
  testing::TakeLocation(list.At(0), found);
  ASSERT_TRUE(found.located);
  EXPECT_EQ(list.At(0).xpos, s.xpos[edition]);
  EXPECT_EQ(list.At(0).ypos, s.ypos[edition]);
  EXPECT_EQ(found.width, width);
  EXPECT_EQ(found.height, height);

  // Patched values the signature might match are no threat either.
  for (const auto& [typed_x, typed_y] : {std::pair{1920, 1080}, {1, 1}, {65535, 65535}}) {
    ASSERT_TRUE(ApplyPatches(system, list, folder, typed_x, typed_y).done);
    const Bytes patched = system.Content(folder + "game.exe");
    MemorySystem fresh;
    fresh.AddFile(folder + "game.exe", patched);
    PatchList again;
    again.Append(EntryOf(s));
    const LocatedPatch relocated = LocatePatch(fresh, folder, again.At(0));
    testing::TakeLocation(again.At(0), relocated);
    EXPECT_TRUE(relocated.located);
    EXPECT_EQ(again.At(0).xpos, s.xpos[edition]) << typed_x;
    EXPECT_EQ(relocated.height, typed_y);
  }
  ASSERT_TRUE(RemovePatches(system, list, folder).done);
  EXPECT_EQ(system.Content(folder + "game.exe"), content);
}

TEST(SuggestSignatures, BothSizesAcrossEditionsLocatePatchAndUndo) {
  const Bytes first = Executable(1);
  const Bytes second = OtherEdition(first);
  const SuggestResult result = SuggestSignatures({first, second}, 800, 600);
  ASSERT_EQ(result.suggestions.size(), 2u);
  EXPECT_EQ(result.places, (std::vector<std::size_t>{2, 2}));  // not the pair 200 bytes apart

  const Suggestion& wide =
      result.suggestions[0].size == 4 ? result.suggestions[0] : result.suggestions[1];
  const Suggestion& narrow =
      &wide == &result.suggestions[0] ? result.suggestions[1] : result.suggestions[0];
  EXPECT_EQ(wide.xpos, (std::vector<std::int32_t>{1000, 1037}));
  EXPECT_EQ(wide.ypos, (std::vector<std::int32_t>{1004, 1041}));
  EXPECT_EQ(narrow.size, 2);
  EXPECT_EQ(narrow.xpos, (std::vector<std::int32_t>{3000, 3037}));
  EXPECT_EQ(narrow.ypos, (std::vector<std::int32_t>{2994, 3031}));

  for (const Suggestion& s : result.suggestions) {
    ASSERT_EQ(s.sig.size(), s.sigwild.size());
    EXPECT_GE(s.sig.size(), static_cast<std::size_t>(kSuggestAnchor));
    EXPECT_LE(s.sig.size(), static_cast<std::size_t>(kSuggestMaxLength));
    EXPECT_EQ(s.occur, 1);
    EXPECT_EQ(s.count, (std::vector<std::int64_t>{1, 1}));
    // The values and the changed bytes are wildcards wherever the signature reaches them.
    const std::int32_t start = s.xpos[0] - s.xoffset;
    const auto wild_at = [&](std::int32_t position) {
      const std::int32_t i = position - start;
      return i < 0 || i >= static_cast<std::int32_t>(s.sig.size()) || s.sigwild[i] != 0;
    };
    for (std::int32_t i = 0; i < s.size; ++i) {
      EXPECT_TRUE(wild_at(s.xpos[0] + i) && wild_at(s.ypos[0] + i));
    }
    EXPECT_TRUE(wild_at(998) && wild_at(3002));
    RoundTrip(s, 0, first);
    RoundTrip(s, 1, second);
  }
}

TEST(SuggestSignatures, APlaceMissingFromAnEditionOrFromTheFileIsNotProposed) {
  const Bytes first = Executable(2);
  Bytes second = OtherEdition(first);
  Put(second, 3037, 801, 2);  // the 2-byte place is gone from the second edition
  const SuggestResult result = SuggestSignatures({first, second}, 800, 600);
  ASSERT_EQ(result.suggestions.size(), 1u);
  EXPECT_EQ(result.suggestions[0].size, 4);
  // ... and is reported as dropped, with where the first edition holds it.
  ASSERT_EQ(result.dropped.size(), 1u);
  EXPECT_EQ(result.dropped[0].size, 2);
  EXPECT_EQ(result.dropped[0].xpos, (std::vector<std::int64_t>{3000, -1}));

  const SuggestResult none = SuggestSignatures({first}, 640, 480);
  EXPECT_TRUE(none.suggestions.empty());
  EXPECT_EQ(none.places, std::vector<std::size_t>{0});
}

// A place whose shortest unique run after it is what patching may write into
// the height: 1080 stands right after the values in a file of zeros.
TEST(SuggestSignatures, NoSignatureMatchesWhatPatchingMayWriteIntoTheValues) {
  Bytes bytes(20000, 0);
  Put(bytes, 9000, 640, 4);
  Put(bytes, 9004, 480, 4);
  Put(bytes, 9008, 1080, 4);
  const SuggestResult result = SuggestSignatures({bytes}, 640, 480);
  ASSERT_EQ(result.suggestions.size(), 1u);
  RoundTrip(result.suggestions[0], 0, bytes, 640, 480);
}

// Two copies of one place whose surroundings are alike: no signature of 64
// bytes tells them apart, so each is proposed with the occurrence it has in
// every edition.
TEST(SuggestSignatures, LookAlikePlacesTakeTheSameOccurrenceInEveryEdition) {
  Bytes first = Executable(3);
  std::copy(first.begin() + 900, first.begin() + 1100, first.begin() + 6000);
  const Bytes second = OtherEdition(first);
  const SuggestResult result = SuggestSignatures({first, second}, 800, 600);
  std::vector<std::int32_t> occurs;
  for (const Suggestion& s : result.suggestions) {
    if (s.size != 4) continue;
    occurs.push_back(s.occur);
    EXPECT_EQ(s.count, (std::vector<std::int64_t>{2, 2}));
    RoundTrip(s, 0, first);
    RoundTrip(s, 1, second);
  }
  EXPECT_EQ(occurs, (std::vector<std::int32_t>{1, 2}));
}

TEST(SuggestSignatures, SaysWhyNothingIsSuggested) {
  const Bytes game = Executable(5);
  Bytes apart(8192, 0x11), first = game, second = OtherEdition(game);
  Put(apart, 1000, 800, 4);
  Put(apart, 1200, 600, 4);
  Put(first, 3000, 801, 2);   // the first edition keeps only the 4-byte place
  Put(second, 1037, 801, 4);  // and the second only the 2-byte one
  const struct {
    std::vector<Bytes> editions;
    std::int32_t width;
    std::int32_t size;  // of the values asked for; 0: either
    NoCandidate why;
    std::vector<std::size_t> concerned;
  } cases[] = {
      {{game, apart}, 1234, 0, NoCandidate::kNowhere, {0, 1}},
      {{game, apart}, 800, 0, NoCandidate::kApart, {1}},
      {{Bytes(game.begin(), game.begin() + 2000)}, 800, 2, NoCandidate::kFiltered, {0}},
      {{first, second}, 800, 0, NoCandidate::kSomeEditions, {0, 1}},
  };
  for (const auto& c : cases) {
    const std::vector<std::span<const std::uint8_t>> editions(c.editions.begin(), c.editions.end());
    SuggestOptions options;
    options.size = c.size;
    const SuggestResult result = SuggestSignatures(editions, c.width, 600, options);
    EXPECT_TRUE(result.suggestions.empty());
    EXPECT_EQ(result.why, c.why) << static_cast<int>(c.why);
    EXPECT_EQ(result.why_editions, c.concerned) << static_cast<int>(c.why);
  }
}

TEST(SuggestSignatures, EveryPlaceIsExaminedAndTheBestTopAreReturned) {
  // More places than any list shows, each with bytes of its own before it.
  constexpr std::size_t kPlaces = 3000;
  Bytes bytes(80 * kPlaces + 16, 0xFF);
  for (std::size_t i = 0; i < kPlaces; ++i) {
    Put(bytes, 80 * i + 4, static_cast<std::int32_t>(2 * i + 1), 4);  // odd: never 640 or 480
    Put(bytes, 80 * i + 8, 640, 2);
    Put(bytes, 80 * i + 12, 480, 2);
  }
  for (const std::size_t top : {std::size_t{10}, std::size_t{3}}) {
    SuggestOptions options;
    options.top = top;
    const SuggestResult result = SuggestSignatures({bytes, bytes}, 640, 480, options);
    EXPECT_EQ(result.places, (std::vector<std::size_t>{kPlaces, kPlaces}));
    EXPECT_EQ(result.suggestions.size(), top);
  }
  SuggestOptions four;
  four.size = 4;
  EXPECT_TRUE(SuggestSignatures({bytes}, 640, 480, four).suggestions.empty());
}

}  // namespace
}  // namespace quillfen
