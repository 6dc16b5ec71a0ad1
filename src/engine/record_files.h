#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "engine/undo_record.h"

namespace quillfen {

class System;

// The record at the path when a file is there that reads as five lines;
// nothing otherwise. A file too large to be a record is not read.
std::optional<UndoRecord> ReadRecordFile(System& system, const std::string& path);

// Whether the file at the path is an undo record of the program by its content
// (IsUndoRecordText); false when there is no file or it cannot be read.
bool IsRecordFile(System& system, const std::string& path);

// What the undo record of a game file says about its content now.
enum class RecordState {
  kNone,         // neither the record nor a pending record is there
  kValid,        // the record, or else the pending record, belongs to the content
  kNotMatching,  // a file is there, but no record of it belongs to the content
};

struct RecordStatus {
  RecordState state = RecordState::kNone;
  std::string path;  // the file judged: the record, or the pending record when only it matches
};

// Judges the record at `undofile` and its pending record against the game
// file's content, as locating does.
RecordStatus JudgeRecord(System& system, const std::string& undofile,
                         std::span<const std::uint8_t> content);

}  // namespace quillfen
