#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "base/text.h"
#include "platform/file_error.h"
#include "platform/system.h"

namespace quillfen {

enum class Operation { kPatch, kUndo };

enum class Axis { kWidth, kHeight };

// Why the press itself refuses to write or delete a file.
enum class PlaceFault {
  kUnreadable,            // a record place holds a file that cannot be read now
  kNotARecord,            // a record place holds a file that is no undo record
  kProtectedRecordPlace,  // a record place is a game file, the definition file or the program
  kDefinitionOrProgram,   // the game file is the definition file or the program
};

// Why a file cannot be written or deleted: the press's own finding, or the
// system's error (raised, or its refusal asked beforehand).
using WriteRefusal = std::variant<PlaceFault, FileError>;

// What Patch and Undo Patch found or did, one struct per kind: the window turns
// each into a box of its own (src/ui), the command line into a line (src/cli).
// `patch` is the patch's index in the list (patch number - 1); `other` the
// earlier patch of a pair; `path` the file concerned, as the press binds it.
namespace reports {

// A file name of the patch names no file of the game folder.
struct ForeignName {
  std::size_t patch;
  std::string path;
  NameFault fault;
};
// The patch's game file does not exist.
struct FileMissing {
  std::size_t patch;
  std::string path;
};
// A value of the patch's definition (its `key`) reached the cut length and may
// have lost its end; `path` is its game file.
struct CutValue {
  std::size_t patch;
  std::string path;
  std::string key;
};
// The game file is too large for any position in it to be written.
struct TooLarge {
  std::size_t patch;
  std::string path;
};
// The patch's values were not located, or do not lie inside the file.
struct NotLocated {
  std::size_t patch;
  std::string path;
};
// Undo only, right after NotLocated: the positions the patch holds.
struct Positions {
  std::size_t patch;
  std::string path;
  std::int64_t width;
  std::int64_t height;
};
// Patch only: a typed value that is no screen size (below 1).
struct NoScreenSize {
  std::size_t patch;
  std::string path;
  Axis axis;
  std::int64_t value;
};
// Patch only: a typed or fixed value its bytes cannot hold.
struct ValueDoesNotFit {
  std::size_t patch;
  std::string path;
  Axis axis;
  bool fixed;  // the definition's value rather than the typed one
  std::int64_t value;
  std::int32_t bytes;
};
// Patches `other` and `patch` write different values over the same bytes of
// `path`; when they are one patch, its width and height lie on each other.
struct Overlap {
  std::size_t patch;
  std::size_t other;
  std::string path;
};
// Patch only: patches `other` and `patch` would share the record `path`.
struct SharedRecord {
  std::size_t patch;
  std::size_t other;
  std::string path;
};
// The game file, or a record place, cannot be written or deleted.
struct NotWritable {
  std::size_t patch;
  std::string path;
  WriteRefusal why;
};
// Patch: the record `path` keeps values that neither its game file nor the new
// record holds; it was moved to `record`, where locating finds it.
struct KeptAside {
  std::size_t patch;
  std::string path;
  std::string record;
};
// The game file is a link or has other names.
struct Linked {
  std::size_t patch;
  std::string path;
  LinkedFileError error;
};
// The summary after any refusal: nothing was written.
struct ChecksFailed {
  Operation operation;
};
// A value written.
struct Changed {
  std::string path;
  Axis axis;
  std::int64_t position;
  std::int64_t old_value;
  std::int64_t value;
  std::int32_t bytes;
};
// The game file is written but its modification time could not be set back.
struct TimeNotKept {
  std::string path;
};
// Undo: the game file does not hold the old values; its `record` is kept.
struct NotRestored {
  std::size_t patch;
  std::string path;
  std::string record;
};
// Undo: the record `path` could not be removed.
struct RecordKept {
  std::size_t patch;
  std::string path;
};
// Patch: the record `record` of the game file `path` is not trusted.
struct NoRecord {
  std::size_t patch;
  std::string path;
  std::string record;
};
// Every file written and every entry located again.
struct Done {
  Operation operation;
};

}  // namespace reports

using Report =
    std::variant<reports::ForeignName, reports::FileMissing, reports::CutValue, reports::TooLarge,
                 reports::NotLocated, reports::Positions, reports::NoScreenSize,
                 reports::ValueDoesNotFit, reports::Overlap, reports::SharedRecord,
                 reports::NotWritable, reports::KeptAside, reports::Linked, reports::ChecksFailed,
                 reports::Changed, reports::TimeNotKept, reports::NotRestored, reports::RecordKept,
                 reports::NoRecord, reports::Done>;

}  // namespace quillfen
