#pragma once

#include <cstdint>
#include <functional>

#include "search/folder_search.h"

namespace quillfen {

// A clock in milliseconds that never goes back; only differences are used.
using MillisecondClock = std::function<std::int64_t()>;

// The standard library's steady clock, in milliseconds.
std::int64_t SteadyMilliseconds();

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
