#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "definitions/patch_entry.h"
#include "engine/undo_record.h"

namespace quillfen {

class System;

// The record at the path when a file is there that reads as a record
// (ReadUndoRecord); nothing otherwise. A file too large to be a record is not read.
std::optional<UndoRecord> ReadRecordFile(System& system, const std::string& path);

// Whether the file at the path is an undo record of the program by its content
// (IsUndoRecordText); false when there is no file. Throws FileError when it
// cannot be read: a file that may hold someone's values is never taken for
// no record.
bool IsRecordFile(System& system, const std::string& path);

// What lies at a record's place.
enum class PlaceContent {
  kNothing,     // no file
  kRecord,      // a file that IsUndoRecordText accepts: the program may replace or delete it
  kOther,       // any other file: never replaced or deleted
  kUnreadable,  // a file that cannot be read now (held open by another program)
};
PlaceContent JudgePlace(System& system, const std::string& path);

// A record place read once, by the one record parser every reader uses: what
// lies there and, for a record of five numbers, its numbers.
struct PlaceReading {
  PlaceContent content = PlaceContent::kNothing;
  std::optional<UndoRecord> record;
};
PlaceReading ReadPlace(System& system, const std::string& path);

// What the records beside a game file say about its content now.
enum class RecordState {
  kNone,           // neither the record nor a pending record is there
  kValid,          // a record belongs to the content: its checksum is the file's
  kKeptOriginals,  // the file changed since the record was written, but the record's
                   // places are where the signature finds the values: it still holds
                   // the values from before the first Patch
  kNotMatching,    // a file is there, but no record of it is trusted
};

// The judgement of an entry's records, and the record trusted, if any.
struct RecordJudgement {
  RecordState state = RecordState::kNone;
  std::string path;                   // the file judged: the record trusted, else the first there
  std::optional<UndoRecord> trusted;  // positions and old values to take
  bool aside = false;  // the record trusted is one Patch kept aside (KeptRecordPath)
};

// Judges the record at the entry's undofile and its pending record against the
// game file's content, of `size` bytes and CRC-32 `checksum`, and the records
// kept aside for that checksum. A record is trusted only when it reads as a
// record, keeps at least one axis the entry changes, and every value of those
// lies inside the file at its positions (an axis it does not keep is located
// by signature); then when its checksum is the content's (the record first,
// then the pending one, then those kept aside), or else when its positions are
// exactly the signature's for every axis of the entry it keeps.
// `signature_places` gives those (0 where not found); it is asked only when no
// checksum matches.
struct Places {
  std::int32_t x = 0;
  std::int32_t y = 0;
};
RecordJudgement JudgeRecords(System& system, const PatchEntry& entry, std::int64_t size,
                             std::int32_t checksum,
                             const std::function<Places()>& signature_places);

}  // namespace quillfen
