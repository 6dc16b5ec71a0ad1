#include "words/fault_words.h"

namespace quillfen {

std::string FileErrorText(const FileError& error) {
  const char* action = error.Action() == FileAction::kCreate   ? "Cannot create file \""
                       : error.Action() == FileAction::kDelete ? "Cannot delete file \""
                       : error.Action() == FileAction::kList   ? "Cannot list folder \""
                                                               : "Cannot open file \"";
  return action + error.Path() + "\". " + FileCauseText(error);
}

std::string FileCauseText(const FileError& error) {
  switch (error.Cause()) {
    case FileCause::kSystem:
      return error.Description();
    case FileCause::kNotOnDisk:
      return "What was written did not reach the disk.";
    case FileCause::kTooManyAside:
      return "Too many undo records are kept aside beside it.";
    case FileCause::kSymbolicLink:
      return "It is a symbolic link: a write would change the file it points to";
    case FileCause::kReparsePoint:
      return "It is a symbolic link or junction: a write would change the file it points to";
    case FileCause::kOtherNames:
      return "It has " + std::to_string(error.Code()) +
             " names (hard links): a write would change the file under every name";
    case FileCause::kNotRegular:
      return "Not a regular file";
    case FileCause::kLinkPlace:
      return "A symbolic link is no place for the program's files";
    case FileCause::kPastEnd:
      return "The write would reach past the end of the file";
    case FileCause::kTooManyOpen:
      return "Too many files are open at once";
    case FileCause::kCutShort:
      return "The file became shorter while it was read, or a part of it could not be read";
    case FileCause::kOpenElsewhere:
      return "Another program has the file open: " + error.Description();
    case FileCause::kHeldByAnotherCopy:
      return "Another copy of the program is changing this file";
  }
  return error.Description();
}

std::string NameFaultText(NameFault fault) {
  switch (fault) {
    case NameFault::kEmpty:
      return "it is empty";
    case NameFault::kFolder:
      return "it names a folder";
    case NameFault::kSlash:
      return "it holds a slash, which leads out of the folder";
    case NameFault::kForbiddenCharacter:
      return "it holds a character that Windows keeps out of file names";
    case NameFault::kTrailingDotOrBlank:
      return "it ends in a dot or blank, which Windows drops";
    case NameFault::kDeviceName:
      return "it is the name of a device on Windows";
  }
  return {};
}

}  // namespace quillfen
