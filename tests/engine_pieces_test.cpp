#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/pieces.h"

namespace quillfen {
namespace {

// How long the caller's pieces wait for the second thread to start.
constexpr std::chrono::seconds kWait{5};

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

// What goes wrong on either thread is not lost, and the other thread is let
// finish first: the exception reaches the caller once both threads are done.
// The caller's pieces wait for the second thread to be at work, so that both
// take part.
TEST(WorkOnPieces, AnExceptionOnEitherThreadReachesTheCaller) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one processor: no second thread";
  for (const bool on_caller : {false, true}) {
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> helper_ran{false};
    std::atomic<bool> thrown{false};
    const auto waited_from = std::chrono::steady_clock::now();
    try {
      WorkOnPieces(1000, true, [&](std::size_t k) {
        if (std::this_thread::get_id() != caller) {
          helper_ran = true;
          if (on_caller) return true;
        } else {
          // The first piece is done alone, before the second thread starts.
          while (k > 0 && !helper_ran && std::chrono::steady_clock::now() - waited_from < kWait) {
            std::this_thread::yield();
          }
          if (!on_caller || k == 0) return true;
        }
        thrown = true;
        throw std::runtime_error("piece unreadable");
      });
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "piece unreadable");
      continue;
    }
    EXPECT_FALSE(thrown.load()) << (on_caller ? "the caller's" : "the second thread's")
                                << " exception was lost";
  }
}

}  // namespace
}  // namespace quillfen
