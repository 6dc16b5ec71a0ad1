#include <gtest/gtest.h>

#include <random>
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

}  // namespace
}  // namespace quillfen
