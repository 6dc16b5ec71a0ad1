#pragma once

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"

namespace quillfen::testing {

// Tests run once for each system's form of paths: Windows' ("E:\Games\X\")
// and POSIX's ("/games/x/"); the test builds its paths with the system's
// helpers from Root().
class SeparatorTest : public ::testing::TestWithParam<char> {
 protected:
  char Separator() const { return GetParam(); }
  // The root of the test's disk: "E:\" or "/".
  std::string Root() const { return Separator() == '\\' ? "E:\\" : "/"; }
  // A folder below the root, its names written with "/".
  std::string FolderBelow(const std::string& relative) const {
    return AsFolder(Below(Root(), relative, Separator()), Separator());
  }
};

inline std::string SeparatorName(const ::testing::TestParamInfo<char>& info) {
  return info.param == '\\' ? "Backslash" : "Slash";
}

}  // namespace quillfen::testing

// Runs the tests of a suite derived from SeparatorTest with both separators.
#define QUILLFEN_BOTH_SEPARATORS(suite)                                                 \
  INSTANTIATE_TEST_SUITE_P(Separators, suite, ::testing::Values('\\', '/'), \
                           ::quillfen::testing::SeparatorName)
