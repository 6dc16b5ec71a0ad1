#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/crc32.h"
#include "support/memory_system.h"

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

TEST(Crc32, MatchesTheBitwiseDefinitionAtEveryLengthAndSplit) {
  std::mt19937 random(1);
  std::vector<std::uint8_t> bytes;
  for (int length = 0; length < 300; ++length) {
    ASSERT_EQ(static_cast<std::uint32_t>(Crc32Of(bytes)), BitwiseCrc(bytes)) << length;
    const std::size_t split = length == 0 ? 0 : random() % bytes.size();
    std::uint32_t crc = UpdateCrc32(0xFFFFFFFFu, bytes.data(), static_cast<std::int32_t>(split));
    crc = UpdateCrc32(crc, bytes.data() + split, static_cast<std::int32_t>(bytes.size() - split));
    ASSERT_EQ(~crc, BitwiseCrc(bytes)) << length;
    bytes.push_back(static_cast<std::uint8_t>(random()));
  }
}

TEST(Crc32, LongBuffersAgreeWithTheBitwiseDefinition) {
  std::mt19937 random(2);
  for (const std::size_t length : {64u, 65u, 127u, 128u, 1000u, 4096u + 13u, 1u << 20}) {
    std::vector<std::uint8_t> bytes(length);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    EXPECT_EQ(static_cast<std::uint32_t>(Crc32Of(bytes)), BitwiseCrc(bytes)) << length;
    const std::size_t split = random() % length;
    std::uint32_t crc = UpdateCrc32(0xFFFFFFFFu, bytes.data(), static_cast<std::int32_t>(split));
    crc = UpdateCrc32(crc, bytes.data() + split, static_cast<std::int32_t>(length - split));
    EXPECT_EQ(~crc, BitwiseCrc(bytes)) << length << " split " << split;
  }
}

TEST(Crc32, FileCrc32ReadsTheWholeFile) {
  testing::MemorySystem system;
  system.AddFile("C:\\g\\a.bin", std::string("123456789"));
  system.AddFile("C:\\g\\empty.bin", std::string());
  EXPECT_EQ(FileCrc32(system, "C:\\g\\a.bin"), -873187034);
  EXPECT_EQ(FileCrc32(system, "C:\\g\\empty.bin"), 0);
}

}  // namespace
}  // namespace quillfen
