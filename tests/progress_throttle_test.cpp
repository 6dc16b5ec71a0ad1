#include "search/progress_throttle.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace quillfen {
namespace {

TEST(ProgressThrottle, ShowsTheFirstAtOnceThenTheNewestAtMostOncePerInterval) {
  std::int64_t now = 3;  // a clock that does not start at zero
  std::vector<std::pair<std::int64_t, std::string>> shown;
  const SearchProgress show = [&](const std::string& folder) { shown.push_back({now, folder}); };
  const MillisecondClock clock = [&] { return now; };
  SearchProgress progress = ThrottleProgress(show, clock, 16);

  const std::vector<std::pair<std::int64_t, std::string>> entered{
      {3, "C:\\A"},  {10, "C:\\B"}, {18, "C:\\C"}, {19, "C:\\D"}, {20, "C:\\E"},
      {35, "C:\\F"}, {36, "C:\\G"}, {90, "C:\\H"}, {91, "C:\\I"}};
  for (const auto& [time, folder] : entered) {
    now = time;
    progress(folder);
  }
  // Each one shown is the folder entered at that moment, never one held back.
  EXPECT_EQ(shown, (std::vector<std::pair<std::int64_t, std::string>>{
                       {3, "C:\\A"}, {19, "C:\\D"}, {35, "C:\\F"}, {90, "C:\\H"}}));

  // A new search starts a fresh throttle: its first folder is shown at once.
  shown.clear();
  progress = ThrottleProgress(show, clock, 16);
  progress("D:\\A");
  progress("D:\\B");
  EXPECT_EQ(shown, (std::vector<std::pair<std::int64_t, std::string>>{{91, "D:\\A"}}));
}

}  // namespace
}  // namespace quillfen
