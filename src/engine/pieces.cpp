#include "engine/pieces.h"

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

namespace quillfen {

void WorkOnPieces(std::size_t count, bool share, const std::function<bool(std::size_t)>& work) {
  if (count == 0 || !work(0)) return;
  std::atomic<std::size_t> next{1};
  std::atomic<bool> stop{false};
  const auto take_pieces = [&] {
    while (!stop.load(std::memory_order_relaxed)) {
      const std::size_t k = next.fetch_add(1, std::memory_order_relaxed);
      if (k >= count) return;
      if (!work(k)) stop.store(true, std::memory_order_relaxed);
    }
  };
  std::exception_ptr helper_error;
  std::thread helper;
  if (share && count > 1 && std::thread::hardware_concurrency() > 1) {
    try {
      helper = std::thread([&] {
        try {
          take_pieces();
        } catch (...) {
          helper_error = std::current_exception();
          stop.store(true, std::memory_order_relaxed);
        }
      });
    } catch (const std::system_error&) {
      // No thread to be had: this one does every piece.
    }
  }
  try {
    take_pieces();
  } catch (...) {
    stop.store(true, std::memory_order_relaxed);
    if (helper.joinable()) helper.join();
    throw;
  }
  if (helper.joinable()) helper.join();
  if (helper_error) std::rethrow_exception(helper_error);
}

}  // namespace quillfen
