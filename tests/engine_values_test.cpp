#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "engine/values.h"
#include "support/guarded_buffer.h"

// The bounds of a value: which typed values its bytes hold, where it lies
// wholly inside a file, and which bytes are written and read.

namespace quillfen {
namespace {

TEST(Values, TypedValuesFitTheirBytesAsTheyReadBack) {
  const struct {
    std::int32_t value, count;
    bool fits;
  } cases[] = {
      {0, 1, true},          {255, 1, true},         {256, 1, false},
      {-1, 1, false},        {65535, 2, true},       {65536, 2, false},
      {-1, 2, false},        {16777215, 3, true},    {16777216, 3, false},
      {-1, 4, true},         {INT32_MAX, 4, true},   {INT32_MIN, 4, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TypedValueFits(c.value, c.count), c.fits) << c.value << " in " << c.count;
  }
}

TEST(Values, AValueFitsWhollyInsideTheFile) {
  const struct {
    std::int64_t position;
    std::int32_t count;
    bool fits;
  } cases[] = {
      {0, 1, true},  {9, 1, true},  {10, 1, false}, {6, 4, true}, {7, 4, false},
      {-1, 1, false}, {0, 0, false}, {0, 5, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValueFits(c.position, c.count, 10), c.fits) << c.position << ", " << c.count;
  }
}

// Exactly `count` bytes are written, and reading them back gives the value
// (unsigned below four bytes); nothing past the image is read.
TEST(Values, StoredBytesReadBackAndNoMore) {
  for (std::int32_t count = 1; count <= 4; ++count) {
    std::vector<std::uint8_t> bytes(6, 0xEE);
    StoreValue(bytes.data() + 1, -2, count);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0xEE), 6 - count) << count;
    const std::int64_t expected = count == 4 ? -2 : (std::int64_t{1} << (8 * count)) - 2;
    EXPECT_EQ(ReadValueAt(bytes, 1, count), expected) << count;
  }
  testing::GuardedBuffer guarded(2);
  guarded.Bytes()[0] = 0x34;
  guarded.Bytes()[1] = 0x12;
  EXPECT_EQ(ReadValueAt(guarded.Bytes(), 0, 5), 0x1234);
  EXPECT_EQ(ReadValueAt(guarded.Bytes(), 1, 4), 0x12);
  EXPECT_EQ(ReadValueAt(guarded.Bytes(), 2, 4), 0);
}

}  // namespace
}  // namespace quillfen
