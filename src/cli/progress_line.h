#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include "search/progress_throttle.h"

namespace quillfen {

// One line of a terminal that shows how far a long command is: redrawn a few
// times a second at the most, each time over the whole line, and blanked before
// a result or message is written, or when the line goes.
class ProgressLine {
 public:
  // Texts longer than this are the caller's to shorten.
  static constexpr std::size_t kWidth = 79;

  explicit ProgressLine(std::ostream& terminal, MillisecondClock clock = SteadyMilliseconds);
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Draws the text that `text()` makes, when the line is due to be redrawn;
  // otherwise does not call it.
  template <typename MakeText>
  void Show(MakeText text) {
    if (throttle_.Due()) Draw(text());
  }
  // Blanks the line; the next Show draws at once.
  void Clear();

 private:
  void Draw(const std::string& text);

  std::ostream& terminal_;
  ProgressThrottle throttle_;
  bool shown_ = false;
};

}  // namespace quillfen
