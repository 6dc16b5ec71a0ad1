#include "cli/progress_line.h"

#include <algorithm>
#include <utility>

namespace quillfen {

namespace {

// Ten redraws a second: enough to follow, few enough to cost the work nothing.
constexpr std::int64_t kRedrawIntervalMs = 100;

}  // namespace

ProgressLine::ProgressLine(std::ostream& terminal, MillisecondClock clock)
    : terminal_(terminal), throttle_(std::move(clock), kRedrawIntervalMs) {}

void ProgressLine::Draw(const std::string& text) {
  terminal_ << "\r" << text << std::string(kWidth - std::min(kWidth, text.size()), ' ') << "\r"
            << std::flush;
  shown_ = true;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  terminal_ << "\r" << std::string(kWidth, ' ') << "\r" << std::flush;
  shown_ = false;
  throttle_.Restart();
}

}  // namespace quillfen
