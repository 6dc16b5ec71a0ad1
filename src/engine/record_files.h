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

}  // namespace quillfen
