#pragma once

#include <cstdint>
#include <functional>

#include "search/folder_search.h"

namespace quillfen {

// A clock in milliseconds that never goes back; only differences are used.
using MillisecondClock = std::function<std::int64_t()>;

// The standard library's steady clock, in milliseconds.
std::int64_t SteadyMilliseconds();

// Lets a progress display follow a long task at a pace of its own: the first
// call is due at once, then at most one per interval, so the display always
// shows what is being done at that moment and skips what came in between.
// Each call to Due reads the clock once.
class ProgressThrottle {
 public:
  ProgressThrottle(MillisecondClock clock, std::int64_t interval_ms);

  // Whether the display should be drawn now; if so, the interval starts again.
  bool Due();
  // Makes the next call due at once, as after a display that was wiped.
  void Restart() { shown_any_ = false; }

 private:
  MillisecondClock clock_;
  std::int64_t interval_ms_;
  bool shown_any_ = false;
  std::int64_t last_shown_ = 0;
};

// About one frame of a 60 Hz screen.
inline constexpr std::int64_t kProgressIntervalMs = 16;

// Wraps a progress display so that it follows the walk at the screen's pace: the
// first folder is shown at once, then at most one per interval, always the one
// just entered; the folders in between are not shown. A label cannot be seen to
// change more often than the screen is redrawn, and every repaint holds up the
// walk. Each call makes a fresh throttle, which reads the clock once per folder.
SearchProgress ThrottleProgress(SearchProgress show, MillisecondClock clock,
                                std::int64_t interval_ms = kProgressIntervalMs);

}  // namespace quillfen
