#include <gtest/gtest.h>

#include "ui/error_text.h"

namespace quillfen {
namespace {

TEST(ErrorText, FullStopAppendedOnlyAfterCharactersAboveTheFullStop) {
  EXPECT_EQ(ErrorReportText("Cannot open file \"C:\\a.dat\". Access is denied"),
            "Cannot open file \"C:\\a.dat\". Access is denied.");
  EXPECT_EQ(ErrorReportText("Done."), "Done.");
  // Characters at or below "." in code order keep the text as it is.
  EXPECT_EQ(ErrorReportText("Really!"), "Really!");
  EXPECT_EQ(ErrorReportText("a-"), "a-");
  EXPECT_EQ(ErrorReportText("line\r\n"), "line\r\n");
  EXPECT_EQ(ErrorReportText("a "), "a ");
  // "/" and digits come right after it.
  EXPECT_EQ(ErrorReportText("C:/"), "C:/.");
  EXPECT_EQ(ErrorReportText("code 5"), "code 5.");
  // 8-bit characters count as above it, not as negative.
  EXPECT_EQ(ErrorReportText("caf\xe9"), "caf\xe9.");
  EXPECT_EQ(ErrorReportText(""), "");
}

}  // namespace
}  // namespace quillfen
