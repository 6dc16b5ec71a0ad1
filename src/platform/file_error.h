#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace quillfen {

// What was being done to the file when it failed.
enum class FileAction : std::uint8_t { kOpen, kCreate, kDelete, kList };

// Why a file operation failed: the system's own error, or one of the program's
// own reasons to refuse the file.
enum class FileCause : std::uint8_t {
  kSystem,             // the system's error, its code and description as the system gave them
  kNotOnDisk,          // what was written and read back was not what was written
  kTooManyAside,       // every name for keeping an undo record aside is taken
  kSymbolicLink,       // the path is a symbolic link
  kReparsePoint,       // the path is a symbolic link, junction or other reparse point
  kOtherNames,         // the file has more names (hard links): `code` of them
  kNotRegular,         // no regular file: a device, a pipe, a socket
  kLinkPlace,          // a symbolic link stands where the program would create its file
  kPastEnd,            // a write would reach past the end of the file
  kTooManyOpen,        // too many files are open at once to open one more
  kCutShort,           // the file became shorter while it was read, or a part of it could not be
  kOpenElsewhere,      // another program has the file open; `description` names it
  kHeldByAnotherCopy,  // another copy of the program is changing the file
};

// A file error as data: the action, the path, and why.
struct FileFailure {
  FileAction action = FileAction::kOpen;
  std::string path;
  FileCause cause = FileCause::kSystem;
  // kSystem: the system's error code (errno, or GetLastError on Windows);
  // kOtherNames: how many names the file has.
  std::int64_t code = 0;
  // kSystem: the system's description of the code; kOpenElsewhere: the program.
  std::string description;
};

// A file that could not be opened, created, written or deleted. Copies share
// one failure, so catching and keeping an error costs no string copies. The
// words the user sees are made where the error is shown.
class FileError : public std::exception {
 public:
  explicit FileError(FileFailure failure)
      : failure_(std::make_shared<const FileFailure>(std::move(failure))) {}
  const FileFailure& Failure() const { return *failure_; }
  FileAction Action() const { return failure_->action; }
  const std::string& Path() const { return failure_->path; }
  FileCause Cause() const { return failure_->cause; }
  std::int64_t Code() const { return failure_->code; }
  const std::string& Description() const { return failure_->description; }
  // Not for the user: the path, for a log or a failed test's message.
  const char* what() const noexcept override { return failure_->path.c_str(); }

 private:
  std::shared_ptr<const FileFailure> failure_;
};

// A game file that a write would not reach alone: it is a symbolic link (or
// another reparse point), or the same file has other names (hard links), so a
// write would change a file outside the game folder or a backup as well. Its
// cause is kSymbolicLink, kReparsePoint or kOtherNames; its action kOpen.
class LinkedFileError : public FileError {
 public:
  LinkedFileError(std::string path, FileCause cause, std::int64_t names = 0)
      : FileError({FileAction::kOpen, std::move(path), cause, names, {}}) {}
};

// The error of the system's own: `code` as the system numbers it, `description`
// in its words.
inline FileError SystemFileError(FileAction action, std::string path, std::int64_t code,
                                 std::string description) {
  return FileError({action, std::move(path), FileCause::kSystem, code, std::move(description)});
}

// A refusal of the program's own.
inline FileError OwnFileError(FileAction action, std::string path, FileCause cause,
                              std::int64_t code = 0, std::string description = {}) {
  return FileError({action, std::move(path), cause, code, std::move(description)});
}

// Why an operation on a file would fail: the error it would raise. Nothing
// when it would succeed.
using Refusal = std::optional<FileError>;

}  // namespace quillfen
