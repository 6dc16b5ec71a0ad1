#include "ui/progress_throttle.h"

#include <chrono>
#include <string>
#include <utility>

namespace quillfen {

std::int64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SearchProgress ThrottleProgress(SearchProgress show, MillisecondClock clock,
                                std::int64_t interval_ms) {
  return [show = std::move(show), clock = std::move(clock), interval_ms, shown_any = false,
          last_shown = std::int64_t{0}](const std::string& folder) mutable {
    const std::int64_t now = clock();
    if (shown_any && now - last_shown < interval_ms) return;
    shown_any = true;
    last_shown = now;
    show(folder);
  };
}

}  // namespace quillfen
