#include "search/progress_throttle.h"

#include <chrono>
#include <string>
#include <utility>

namespace quillfen {

std::int64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

ProgressThrottle::ProgressThrottle(MillisecondClock clock, std::int64_t interval_ms)
    : clock_(std::move(clock)), interval_ms_(interval_ms) {}

bool ProgressThrottle::Due() {
  const std::int64_t now = clock_();
  if (shown_any_ && now - last_shown_ < interval_ms_) return false;
  shown_any_ = true;
  last_shown_ = now;
  return true;
}

SearchProgress ThrottleProgress(SearchProgress show, MillisecondClock clock,
                                std::int64_t interval_ms) {
  return [show = std::move(show), throttle = ProgressThrottle(std::move(clock), interval_ms)](
             const std::string& folder) mutable {
    if (throttle.Due()) show(folder);
  };
}

}  // namespace quillfen
