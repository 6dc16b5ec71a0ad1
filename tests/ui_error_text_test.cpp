#include <gtest/gtest.h>

#include "ui/error_text.h"
#include "words/fault_words.h"

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

// A file error is worded from its data: the action, the path, and the
// system's own description or the program's reason.
TEST(ErrorText, FileErrorsAreWordedFromTheirParts) {
  const std::string path = "C:\\Games\\a.dat";
  EXPECT_EQ(FileErrorText(SystemFileError(FileAction::kOpen, path, 5, "Access is denied")),
            "Cannot open file \"C:\\Games\\a.dat\". Access is denied");
  EXPECT_EQ(FileErrorText(SystemFileError(FileAction::kCreate, path, 3, "No path")),
            "Cannot create file \"C:\\Games\\a.dat\". No path");
  EXPECT_EQ(FileErrorText(SystemFileError(FileAction::kDelete, path, 32, "In use")),
            "Cannot delete file \"C:\\Games\\a.dat\". In use");
  EXPECT_EQ(FileCauseText(LinkedFileError(path, FileCause::kOtherNames, 3)),
            "It has 3 names (hard links): a write would change the file under every name");
  EXPECT_EQ(FileCauseText(OwnFileError(FileAction::kCreate, path, FileCause::kNotOnDisk)),
            "What was written did not reach the disk.");
}

}  // namespace
}  // namespace quillfen
