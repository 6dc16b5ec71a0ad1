#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "definitions/patch_entry.h"
#include "engine/one_pass.h"
#include "engine/record_files.h"

namespace quillfen {

class System;

// Why an entry was not located.
enum class LocateFailure {
  kNone,
  kForeignName,  // modfile or undofile names no file of the game folder
  kFileMissing,
  kTooLarge,     // 2 GiB or more: no position of it fits the definitions' numbers
  kNotFound,     // no trusted record, and the signature's occurrence is not there
  kOutsideFile,  // a value would lie partly or wholly past the end of the file
  kCutValue,     // a value of its definition reached the cut length (PatchEntry::cut)
};

// One entry located in a folder, as a value: its bound files, where its values
// lie, what they are and were, and what its records say. The press plans its
// writes from it and the front ends show it; the entry itself stays as the
// definition file gives it.
struct LocatedPatch {
  bool located = false;
  bool from_record =
      false;  // the old values come from a trusted undo record: Undo Patch is available
  std::int32_t width = 0;  // the values in the file now; 0 for an axis the entry lacks
  std::int32_t height = 0;
  LocateFailure failure = LocateFailure::kNone;
  RecordJudgement record;  // the records beside the file, judged when the file was read
  // The entry's files in the folder: the folder followed by the file-name part
  // of its modfile and undofile.
  std::string modfile;
  std::string undofile;
  // Where the values lie, once the file was read: the trusted record's
  // positions, or where the signature found them (0 where it found nothing).
  std::optional<Places> places;
  // The values from before the first Patch: the record's, or the file's own
  // when no record is trusted. Only where located.
  std::optional<Places> old_values;
};

// What locate shows of an entry: the entry located, and its signature in the
// file, from the one pass that located it.
struct LocateReport {
  LocatedPatch patch;
  // Only where the file was read: how often the signature occurs in it, and
  // where the entry's occurrence starts (-1 where it is not there).
  std::optional<std::int64_t> occurrences;
  std::int64_t start = -1;
};

// The entry bound to the folder (ending in its separator): its modfile and
// undofile are the folder followed by their file-name parts.
PatchEntry BoundTo(const std::string& folder, const PatchEntry& entry);

// Locates the entry's values in the folder, from a trusted undo record or else
// by signature, in the file as it is now. Changes no entry.
LocatedPatch LocatePatch(System& system, const std::string& folder, const PatchEntry& entry);

// The same for an entry bound already, whose file names were found to name
// files of the folder.
LocatedPatch LocateBound(System& system, const PatchEntry& bound);

// LocatePatch, with the signature's occurrences counted in the same pass.
LocateReport ReportLocation(System& system, const std::string& folder, const PatchEntry& entry);

// Locates a bound entry in its file's content, where the caller knows the
// content's CRC-32 already and finds the signature's places when asked (only
// where no record's checksum decides).
LocatedPatch LocateKnown(System& system, const PatchEntry& entry,
                         std::span<const std::uint8_t> content, std::int32_t checksum,
                         const std::function<Places()>& signature_places);

// The search one pass makes for the entry's values; with `count_all`, it
// also counts the signature's occurrences.
SignatureQuery QueryOf(const PatchEntry& entry, bool count_all = false);

// Where the entry's signature finds its values (0 where not found, and for an
// axis the entry lacks), as FindSignature gives them, in one search.
Places SignaturePlaces(std::span<const std::uint8_t> content, const PatchEntry& entry);

}  // namespace quillfen
