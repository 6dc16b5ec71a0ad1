// The executable reader and the code scan on a small PE32+ file made here:
// code that stores 1280 x 720 and calls CreateWindowExW through its import
// slot, the same two values split across another instruction's displacement,
// and in the headers and the exception table, where no game keeps them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "engine/pe_image.h"
#include "engine/signature.h"
#include "engine/suggest.h"
#include "engine/x86_code.h"

namespace quillfen {
namespace {

void Put(Bytes& bytes, std::size_t at, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
void PutBytes(Bytes& bytes, std::size_t at, std::initializer_list<std::uint8_t> values) {
  for (const std::uint8_t value : values) bytes[at++] = value;
}

constexpr std::uint64_t kBase = 0x140000000;

// Headers at 0, .text at 0x200 (RVA 0x1000), .rdata with the imports at 0x400
// (RVA 0x2000), .pdata at 0x600 (RVA 0x3000).
Bytes SmallGame() {
  Bytes file(0x800, 0);
  PutBytes(file, 0, {'M', 'Z'});
  Put(file, 0x3C, 0x40, 4);
  PutBytes(file, 0x40, {'P', 'E', 0, 0});
  Put(file, 0x44, 0x8664, 2);  // machine
  Put(file, 0x46, 3, 2);       // sections
  Put(file, 0x54, 0xF0, 2);    // optional header size
  const std::size_t opt = 0x58;
  Put(file, opt, 0x20B, 2);
  Put(file, opt + 24, kBase, 8);
  Put(file, opt + 60, 0x200, 4);  // size of headers
  Put(file, opt + 108, 16, 4);    // directories
  const auto directory = [&](int index, std::uint32_t rva, std::uint32_t size) {
    Put(file, opt + 112 + 8 * static_cast<std::size_t>(index), rva, 4);
    Put(file, opt + 116 + 8 * static_cast<std::size_t>(index), size, 4);
  };
  directory(1, 0x2000, 40);   // imports
  directory(3, 0x3000, 12);   // exceptions
  directory(12, 0x2060, 16);  // import address slots
  const auto section = [&](int i, const char* name, std::uint32_t rva, std::uint32_t raw,
                           std::uint32_t flags) {
    const std::size_t at = opt + 0xF0 + 40 * static_cast<std::size_t>(i);
    std::memcpy(file.data() + at, name, std::strlen(name));
    Put(file, at + 8, 0x200, 4);
    Put(file, at + 12, rva, 4);
    Put(file, at + 16, 0x200, 4);
    Put(file, at + 20, raw, 4);
    Put(file, at + 36, flags, 4);
  };
  section(0, ".text", 0x1000, 0x200, 0x60000020);
  section(1, ".rdata", 0x2000, 0x400, 0x40000040);
  section(2, ".pdata", 0x3000, 0x600, 0x40000040);
  Put(file, 0x1D0, 0x000002D000000500, 8);  // in the headers

  std::fill(file.begin() + 0x200, file.begin() + 0x400, 0xCC);
  PutBytes(file, 0x200, {0xC7, 0x44, 0x24, 0x58, 0x00, 0x05, 0x00, 0x00,  // mov [rsp+0x58], 1280
                         0xC7, 0x44, 0x24, 0x5C, 0xD0, 0x02, 0x00, 0x00,  // mov [rsp+0x5C], 720
                         0xFF, 0x15, 0x4A, 0x10, 0x00, 0x00,              // call [CreateWindowExW]
                         0xC3});                                          // ret
  PutBytes(file, 0x220,
           {0x48, 0x8D, 0x0D, 0x00, 0x05, 0xD0, 0x02, 0xC3});  // lea rcx, [rip+0x2D00500]

  Put(file, 0x400, 0x2040, 4);  // lookup table
  Put(file, 0x40C, 0x2080, 4);  // module name
  Put(file, 0x410, 0x2060, 4);  // address slots
  Put(file, 0x440, 0x2090, 8);
  Put(file, 0x460, 0x2090, 8);
  std::memcpy(file.data() + 0x480, "USER32.dll", 10);
  std::memcpy(file.data() + 0x492, "CreateWindowExW", 15);

  Put(file, 0x600, 0x1000, 4);  // the function's unwind entry
  Put(file, 0x604, 0x1017, 4);
  Put(file, 0x608, 0x3100, 4);
  Put(file, 0x620, 0x000002D000000500, 8);  // in the exception table
  return file;
}

TEST(PeImage, ReadsSectionsImportsAndTheTablesNoValueLiesIn) {
  const Bytes file = SmallGame();
  const std::optional<PeImage> image = ReadPeImage(file);
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->is64);
  ASSERT_EQ(image->sections.size(), 3u);
  EXPECT_EQ(image->sections[0].name, ".text");
  EXPECT_TRUE(image->sections[0].Executable());
  EXPECT_EQ(image->imports.at(kBase + 0x2060), "CreateWindowExW");
  EXPECT_EQ(image->SectionAt(0x204)->name, ".text");
  EXPECT_EQ(image->FileOffsetOfVa(kBase + 0x2060), 0x460u);
  for (const std::uint64_t refused : {0x0u, 0x1D0u, 0x400u, 0x460u, 0x492u, 0x620u}) {
    EXPECT_TRUE(image->Refused(refused, 4)) << refused;
  }
  EXPECT_FALSE(image->Refused(0x204, 4));
}

TEST(PeImage, OnlyTheInstructionsOwnOperandsAreCandidatesAndTheCallRanksThem) {
  const Bytes file = SmallGame();
  const CodeScan scan = ScanCode(file, *ReadPeImage(file), 1280, 720);
  ASSERT_EQ(scan.values.size(), 2u);  // not the lea's displacement, the headers or .pdata
  EXPECT_EQ(scan.values[0].text, "mov dword [rsp+0x58], 0x500");
  EXPECT_EQ(scan.values[0].call, "CreateWindowExW");
  EXPECT_TRUE(scan.values[0].direct);
  EXPECT_TRUE(scan.Moving(0x212) && scan.Moving(0x223));  // displacements
  EXPECT_FALSE(scan.Moving(0x210));                       // the call's opcode

  const SuggestResult result = SuggestSignatures({file}, 1280, 720);
  ASSERT_EQ(result.suggestions.size(), 1u);
  const Suggestion& s = result.suggestions[0];
  EXPECT_EQ(s.xpos[0], 0x204);
  EXPECT_EQ(s.ypos[0], 0x20C);
  EXPECT_EQ(s.evidence.kind, PlaceKind::kImmediates);
  EXPECT_EQ(s.evidence.section, ".text");
  EXPECT_EQ(s.evidence.call, "CreateWindowExW");
}

TEST(PeImage, AHeightInAnotherFunctionIsAPatchOfItsOwn) {
  Bytes file = SmallGame();
  Put(file, 0x20C, 721, 4);                                     // the near height is another value
  PutBytes(file, 0x230, {0xB8, 0xD0, 0x02, 0x00, 0x00, 0xC3});  // mov eax, 720; ret
  const SuggestResult result = SuggestSignatures({file, file}, 1280, 720);
  ASSERT_EQ(result.suggestions.size(), 1u);
  const Suggestion& s = result.suggestions[0];
  ASSERT_TRUE(s.apart);
  EXPECT_EQ(s.xpos, (std::vector<std::int32_t>{0x204, 0x204}));
  EXPECT_EQ(s.ypos, (std::vector<std::int32_t>{0x231, 0x231}));
  EXPECT_EQ(FindSignature(file, s.sig, s.sigwild, s.xoffset, s.occur), 0x204);
  EXPECT_EQ(FindSignature(file, s.apart->sig, s.apart->sigwild, s.apart->yoffset, s.apart->occur),
            0x231);
  EXPECT_EQ(s.evidence.width.text, "mov dword [rsp+0x58], 0x500");
  EXPECT_EQ(s.evidence.height.text, "mov eax, 0x2D0");
  EXPECT_EQ(s.evidence.call, "CreateWindowExW");  // the width's

  // Without the code's own values, the rest lies where no game value lies.
  PutBytes(file, 0x200, {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90});
  PutBytes(file, 0x230, {0x90});
  const SuggestResult none = SuggestSignatures({file}, 1280, 720);
  EXPECT_TRUE(none.suggestions.empty());
  EXPECT_EQ(none.why, NoCandidate::kNeverProposed);
  ASSERT_EQ(none.counts.size(), 1u);
  EXPECT_EQ(none.counts[0].unread, 4u);  // the headers and .pdata, twice each
  // The lea's displacement, and the mov whose opcode is gone.
  EXPECT_EQ(none.counts[0].in_instructions, 3u);
}

TEST(PeImage, AValueSetWhenACallFailsIsAFallbackAndRanksLast) {
  for (const bool conditional_move : {false, true}) {
    Bytes file = SmallGame();
    PutBytes(file, 0x230, {0xFF, 0x15, 0x2A, 0x10, 0x00, 0x00});  // call [CreateWindowExW]
    if (conditional_move) {
      PutBytes(file, 0x236,
               {0x85, 0xC0,                    // test eax, eax
                0xB9, 0x00, 0x05, 0x00, 0x00,  // mov ecx, 1280
                0x0F, 0x44, 0xC1});            // cmove eax, ecx
    } else {
      PutBytes(file, 0x236,
               {0x83, 0xF8, 0x00,                // cmp eax, 0
                0x75, 0x05,                      // jne past the mov
                0xB8, 0x00, 0x05, 0x00, 0x00});  // mov eax, 1280
    }
    PutBytes(file, 0x240,
             {0xBA, 0xD0, 0x02, 0x00, 0x00,                // mov edx, 720
              0xFF, 0x15, 0x15, 0x10, 0x00, 0x00, 0xC3});  // call; ret
    const SuggestResult result = SuggestSignatures({file}, 1280, 720);
    ASSERT_EQ(result.suggestions.size(), 2u) << conditional_move;
    EXPECT_FALSE(result.suggestions[0].evidence.fallback);
    const Evidence& fallback = result.suggestions[1].evidence;
    EXPECT_TRUE(fallback.fallback) << conditional_move;
    EXPECT_EQ(fallback.tested_call, 0x230);
    EXPECT_EQ(fallback.call, "CreateWindowExW");  // reaches it, but ranks below all the same
  }
}

TEST(PeImage, DamagedOrTruncatedFilesAreReadWithoutFault) {
  const Bytes file = SmallGame();
  std::mt19937 random(7);
  // Every byte of the headers and tables set to values that break sizes and
  // offsets, and the file cut short at every few bytes.
  for (std::size_t at = 0; at < file.size(); ++at) {
    if (at >= 0x200 && at < 0x400) continue;  // the code decodes whatever it holds
    for (const unsigned value : {0x00u, 0xFFu, 0x7Fu, static_cast<unsigned>(random() & 0xFF)}) {
      Bytes damaged = file;
      damaged[at] = static_cast<std::uint8_t>(value);
      if (const std::optional<PeImage> image = ReadPeImage(damaged)) {
        ScanCode(damaged, *image, 1280, 720);
      }
    }
  }
  for (std::size_t size = 0; size < file.size(); size += 3) {
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
    if (const std::optional<PeImage> image = ReadPeImage(cut)) ScanCode(cut, *image, 1280, 720);
  }
}

}  // namespace
}  // namespace quillfen
