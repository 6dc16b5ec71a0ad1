#include <gtest/gtest.h>

#if defined(__unix__)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/crc32.h"

namespace quillfen {
namespace {

std::uint32_t BitwiseCrc(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const std::uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1u) ? 0xEDB88320u : 0u);
  }
  return ~crc;
}

TEST(Crc32, CheckValueAndEmptyInput) {
  const std::string text = "123456789";
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  EXPECT_EQ(static_cast<std::uint32_t>(Crc32Of(bytes)), 0xCBF43926u);
  EXPECT_EQ(Crc32Of(bytes), -873187034);
  EXPECT_EQ(Crc32Of({}), 0);
  EXPECT_EQ(UpdateCrc32(0x1234u, bytes.data(), 0), 0x1234u);
  EXPECT_EQ(UpdateCrc32(0x1234u, bytes.data(), -5), 0x1234u);
}

// Lengths around the 16-byte blocks and the 64-byte folding, split anywhere.
TEST(Crc32, AgreesWithTheBitwiseDefinitionAtAnyLengthAndSplit) {
  std::mt19937 random(2);
  for (std::size_t length = 1; length < (1u << 21);
       length = length < 300 ? length + 1 : length * 3) {
    std::vector<std::uint8_t> bytes(length);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    EXPECT_EQ(static_cast<std::uint32_t>(Crc32Of(bytes)), BitwiseCrc(bytes)) << length;
    const std::size_t split = random() % length;
    std::uint32_t crc = UpdateCrc32(0xFFFFFFFFu, bytes.data(), static_cast<std::int32_t>(split));
    crc = UpdateCrc32(crc, bytes.data() + split, static_cast<std::int32_t>(length - split));
    EXPECT_EQ(~crc, BitwiseCrc(bytes)) << length << " split " << split;
  }
}

// Random contents of sizes 0 to 16 and beyond the folding blocks, and random
// changes made one after another: at the first and the last bytes, anywhere,
// of length 0 up to the whole content, overlapping earlier ones. The CRC
// carried over the changes must equal a full pass over the changed content.
TEST(Crc32, AfterChangesEqualsAFullPassOverTheChangedContent) {
  std::mt19937_64 random(22);
  std::vector<std::size_t> sizes;
  for (std::size_t size = 0; size <= 16; ++size) sizes.push_back(size);
  for (const std::size_t size : {63, 64, 65, 1000, 4096, 1 << 20, (1 << 22) + 3}) {
    sizes.push_back(size);
  }
  for (const std::size_t size : sizes) {
    std::vector<std::uint8_t> content(size);
    for (auto& b : content) b = static_cast<std::uint8_t>(random());
    const std::int32_t before = Crc32Of(content);
    for (int round = 0; round < 20; ++round) {
      std::vector<std::uint8_t> changed = content;
      std::vector<std::vector<std::uint8_t>> olds, news;
      std::vector<ByteChange> changes;
      const int count = static_cast<int>(random() % 6);
      olds.reserve(count);
      news.reserve(count);
      for (int k = 0; k < count; ++k) {
        std::size_t length = size == 0 ? 0 : random() % std::min<std::size_t>(size + 1, 9);
        if (random() % 10 == 0) length = size;
        std::size_t at = random() % (size - length + 1);
        if (k == 0) at = 0;
        if (k == 1) at = size - length;
        if (k == 2 && !changes.empty()) {
          at = std::min<std::size_t>(static_cast<std::size_t>(changes[0].position) + 1,
                                     size - length);
        }
        olds.emplace_back(changed.begin() + static_cast<std::ptrdiff_t>(at),
                          changed.begin() + static_cast<std::ptrdiff_t>(at + length));
        news.emplace_back(length);
        for (auto& b : news.back()) b = static_cast<std::uint8_t>(random());
        std::copy(news.back().begin(), news.back().end(),
                  changed.begin() + static_cast<std::ptrdiff_t>(at));
        changes.push_back({static_cast<std::int64_t>(at), olds.back(), news.back()});
      }
      ASSERT_EQ(Crc32AfterChanges(before, static_cast<std::int64_t>(size), changes),
                Crc32Of(changed))
          << "size " << size << " round " << round;
    }
  }
}

TEST(Crc32, AfterChangesRefusesChangesOutsideTheContent) {
  const std::vector<std::uint8_t> two = {1, 2};
  const std::vector<std::uint8_t> one = {1};
  const auto refused = [](std::int64_t size, ByteChange change) {
    EXPECT_THROW(Crc32AfterChanges(0, size, std::span(&change, 1)), std::out_of_range)
        << change.position;
  };
  refused(10, {9, two, two});
  refused(10, {-1, two, two});
  refused(10, {11, {}, {}});
  refused(10, {0, two, one});
  refused(0, {0, one, one});
  const ByteChange last{8, two, two};
  EXPECT_NO_THROW(Crc32AfterChanges(0, 10, std::span(&last, 1)));
}

#if defined(__unix__)
// A buffer past the signed 32-bit count (a mapping of zero pages, which costs
// no memory) gives the checksum of the same bytes fed in counted pieces.
TEST(Crc32, ABufferBeyondTwoGibibytesIsCheckedWhole) {
  const std::size_t size = (std::size_t{1} << 31) + 4099;
  void* const mapped = ::mmap(nullptr, size, PROT_READ,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_POPULATE, -1, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  const auto* bytes = static_cast<const std::uint8_t*>(mapped);
  // The same zeros, counted, fed from one small buffer.
  const std::vector<std::uint8_t> zeros(std::size_t{1} << 20);
  std::uint32_t expected = 0xFFFFFFFFu;
  for (std::size_t done = 0; done < size; done += zeros.size()) {
    const std::size_t piece = std::min(zeros.size(), size - done);
    expected = UpdateCrc32(expected, zeros.data(), static_cast<std::int32_t>(piece));
  }
  EXPECT_EQ(UpdateCrc32(0xFFFFFFFFu, std::span<const std::uint8_t>(bytes, size)), expected);
  ::munmap(mapped, size);
}
#endif

}  // namespace
}  // namespace quillfen
