#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/system.h"

namespace quillfen {

// How near the height must lie to the width, before or after it, in bytes.
inline constexpr std::int32_t kSuggestNear = 64;
// The longest signature proposed.
inline constexpr std::int32_t kSuggestMaxLength = 64;
// Every proposed signature holds this many bytes in a row that must match; the
// occurrences of such a run anchor the count of the signature's occurrences.
inline constexpr std::int32_t kSuggestAnchor = 4;

// How a place holds its values, best evidence first.
enum class PlaceKind {
  kImmediates,  // operands of instructions
  kLoadedData,  // data the code loads by its address
  kData,        // data no instruction is seen to load
  kBytes,       // bytes of a file that is no x86 executable
};

// Which values a place holds: both, or one that lies far from any of the other.
enum class PlaceAxes { kBoth, kWidth, kHeight };

// What the first edition tells about one value of a place.
struct ValueEvidence {
  std::int64_t instruction = -1;  // the instruction that holds or loads it (file offset)
  std::string text;               // that instruction
};

// Why a suggestion is proposed, from the first edition.
struct Evidence {
  PlaceKind kind = PlaceKind::kBytes;
  std::string section;  // the section of the values; empty outside an executable
  ValueEvidence width;
  ValueEvidence height;
  std::string call;               // the window or display function the values reach; empty: none
  bool direct = false;            // called in the same function (else through a function it calls)
  std::int64_t call_at = -1;      // the call's file offset
  bool table = false;             // among more sizes of the same shape: a table of modes
  std::size_t alike = 1;          // places that hold the pair in the first edition
  bool fallback = false;          // a value is set on a branch that tests a call's result
  std::int64_t tested_call = -1;  // that call's file offset
};

// The height's own signature, where the height lies far from the width: a
// second patch that changes the height alone.
struct HeightSignature {
  Bytes sig;
  Bytes sigwild;
  std::int32_t occur = 1;
  std::int32_t yoffset = 0;
  std::vector<std::int64_t> count;  // the signature's occurrences, per edition
};

// One place where the width and height lie near each other in every edition of
// a game file, with a signature that finds it in all of them; or, in an
// executable whose code holds them far apart, a width and a height each with
// a signature of its own (`apart`): sig, sigwild, occur, xoffset and count then
// find the width alone, and yoffset is unused.
struct Suggestion {
  std::int32_t size = 4;           // bytes of each value: 2 or 4
  std::vector<std::int32_t> xpos;  // where the width lies, per edition
  std::vector<std::int32_t> ypos;  // where the height lies, per edition
  Bytes sig;
  Bytes sigwild;  // 1 where any byte may stand: the values, and bytes the editions differ in
  std::int32_t occur = 1;
  std::int32_t xoffset = 0;
  std::int32_t yoffset = 0;
  std::vector<std::int64_t> count;  // the signature's occurrences, per edition
  Evidence evidence;
  std::optional<HeightSignature> apart;
};

// A place found in some editions and not in the others.
struct DroppedPlace {
  PlaceKind kind = PlaceKind::kBytes;
  PlaceAxes axis = PlaceAxes::kBoth;  // a width or a height alone: xpos is where that value lies
  std::int32_t size = 4;
  std::vector<std::int64_t> xpos;  // per edition; -1 where it is not found
};

struct SuggestOptions {
  std::size_t top = 10;   // the most suggestions returned
  std::int32_t size = 0;  // only values of this many bytes (2 or 4); 0: either
  std::string section;    // only places in the section of this name; empty: any
};

// Why no suggestion was found, the first cause that holds, in this order.
enum class NoCandidate {
  kNone,           // there are suggestions
  kNowhere,        // some edition does not store one of the values at all
  kNeverProposed,  // some edition stores one only where no game value lies
  kApart,          // some edition never holds them near each other (nor, in code, alone)
  kFiltered,       // some edition holds places only of another size or section
  kSomeEditions,   // every place lies in some of the editions only
  kNotUnique,      // no signature finds a place with the same occurrence in every edition
};

// Where one edition stores the values (counted only when nothing is suggested).
struct EditionCounts {
  std::size_t widths = 0;   // positions that store the width as a 2- or 4-byte value
  std::size_t heights = 0;  // the same for the height
  // Of them, the ones in the headers, in the import, relocation or exception
  // tables, or outside every section; and the ones inside instructions other
  // than as their operand (or in code no instruction decodes to).
  std::size_t unread = 0;
  std::size_t in_instructions = 0;
  bool width_read = false;   // the width is read as a value somewhere
  bool height_read = false;  // the same for the height
  std::size_t filtered = 0;  // places left out by the size or section asked for
};

struct SuggestResult {
  std::vector<std::size_t> places;  // the places found in each edition
  std::vector<Suggestion> suggestions;
  std::vector<DroppedPlace> dropped;
  NoCandidate why = NoCandidate::kNone;
  std::vector<std::size_t> why_editions;  // the editions the cause concerns
  std::vector<EditionCounts> counts;      // per edition, when nothing is suggested
};

// What a run is doing: decoding the editions' code (done and total count
// bytes), then growing signatures (they count places).
enum class SuggestStage { kDecoding, kGrowing };
using SuggestProgress =
    std::function<void(SuggestStage stage, std::size_t done, std::size_t total)>;

// Finds, in editions of at most kMaxGameFileSize bytes each, the places where
// `width` and `height` are stored as little-endian values of 2 or 4 bytes, the
// height within kSuggestNear bytes of the width, in every edition (at offsets
// that may differ), and grows for each the shortest signature that finds it
// with the same occurrence in every edition.
//
// An x86 or x86-64 executable is read as one: its code is decoded, and a value
// is an instruction's immediate operand or data the code loads, never a part
// of an instruction's other bytes, the headers or the import, relocation and
// exception tables. Bytes the editions differ in, the values themselves, and
// the bytes that move between builds (addresses, displacements, branch
// targets) are wildcards. Any other file is searched byte by byte.
//
// No other place matches once the values are patched to any of 0 to 65535, so
// the place is found with the same occurrence after patching. Every suggestion
// is confirmed by FindSignature and by reading the values as locating does.
// In an executable, a width and a height that its code sets or loads but that
// have no partner within kSuggestNear bytes are proposed as a pair of
// signatures (`apart`), the width's paired with the height of the same kind
// and size of the best evidence, then the nearest.
//
// Best first: values that reach a window or display call, in the function
// itself, then through a function it calls; immediates, then loaded data,
// then other data, a table of modes or a fallback last; a pair near each
// other before one far apart; then a signature that occurs once, the smallest
// occurrence, the shortest, the nearest to the values.
SuggestResult SuggestSignatures(const std::vector<std::span<const std::uint8_t>>& editions,
                                std::int32_t width, std::int32_t height,
                                const SuggestOptions& options = {},
                                const SuggestProgress& progress = {});

}  // namespace quillfen
