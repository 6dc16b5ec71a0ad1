#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/pieces.h"

namespace quillfen {
namespace {

// Every piece is worked exactly once whichever thread takes it; a piece that
// wants no more ends the hand-out after it, never before it.
TEST(WorkOnPieces, WorksEveryPieceOnceAndStopsOnlyAfterThePieceThatSaysSo) {
  for (const bool share : {false, true}) {
    for (const std::size_t count : {0u, 1u, 2u, 3u, 100u, 5000u}) {
      for (const std::size_t stop : {count, count / 2, std::size_t{0}}) {
        std::vector<std::atomic<int>> worked(count);
        WorkOnPieces(count, share, [&](std::size_t k) {
          worked[k].fetch_add(1);
          return k != stop;
        });
        for (std::size_t k = 0; k < count; ++k) {
          if (k <= stop) {
            ASSERT_EQ(worked[k].load(), 1) << count << " pieces, stop " << stop << ", piece " << k;
          } else {
            ASSERT_LE(worked[k].load(), 1) << count << " pieces, stop " << stop << ", piece " << k;
          }
        }
        if (!share && stop + 1 < count) {
          EXPECT_EQ(worked[stop + 1].load(), 0);
        }
      }
    }
  }
}

// What goes wrong on the second thread is not lost: its exception reaches the
// caller once both threads are done.
TEST(WorkOnPieces, AnExceptionOnTheSecondThreadReachesTheCaller) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one processor: no second thread";
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<bool> elsewhere{false};
  try {
    WorkOnPieces(100000, true, [&](std::size_t) {
      if (std::this_thread::get_id() == caller) return true;
      elsewhere = true;
      throw std::runtime_error("piece unreadable");
    });
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "piece unreadable");
    return;
  }
  EXPECT_FALSE(elsewhere.load()) << "the second thread's exception was lost";
}

}  // namespace
}  // namespace quillfen
