#pragma once

#include <cstdint>
#include <functional>
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
};

// What locating found out about one entry.
struct LocateResult {
  bool located = false;
  bool from_record =
      false;  // the old values come from a trusted undo record: Undo Patch is available
  std::int32_t width = 0;  // the values in the file now; 0 for an axis the entry lacks
  std::int32_t height = 0;
  LocateFailure failure = LocateFailure::kNone;
  RecordJudgement record;  // the records beside the file, judged when the file was read
};

// Binds the entry to the folder (ending in one backslash): its modfile and
// undofile become the folder followed by their file-name parts.
void BindToFolder(const std::string& folder, PatchEntry& entry);

// Binds the entry to the folder and locates its values, from a trusted undo
// record or else by signature, in the file as it is now.
LocateResult LocatePatch(System& system, const std::string& folder, PatchEntry& entry);

// Locates a bound entry in its file's content, read by the caller: sets xpos,
// ypos, oldx and oldy. Reads the content once.
LocateResult LocateInContent(System& system, PatchEntry& entry,
                             std::span<const std::uint8_t> content);

// The same where the caller knows the content's CRC-32 already, and finds
// the signature's places when asked (only where no record's checksum decides).
LocateResult LocateKnown(System& system, PatchEntry& entry, std::span<const std::uint8_t> content,
                         std::int32_t checksum, const std::function<Places()>& signature_places);

// The search one pass makes for the entry's values.
SignatureQuery QueryOf(const PatchEntry& entry);

// Where the entry's signature finds its values (0 where not found, and for an
// axis the entry lacks), as FindSignature gives them, in one search.
Places SignaturePlaces(std::span<const std::uint8_t> content, const PatchEntry& entry);

}  // namespace quillfen
