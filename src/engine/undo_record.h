#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillfen {

// The five numbers of an undo record, in the order of its lines.
struct UndoRecord {
  std::int32_t checksum = 0;  // CRC-32 of the patched file, as a signed integer
  std::int32_t xpos = 0;
  std::int32_t ypos = 0;
  std::int32_t oldx = 0;
  std::int32_t oldy = 0;
};

// The record's text: five signed decimals, each followed by CR LF.
std::string FormatUndoRecord(const UndoRecord& record);

// Cuts a text into lines. A line ends at CR LF, a lone CR or a lone LF (so LF CR
// is two ends); a line end at the very end adds no line; the first NUL ends the text.
std::vector<std::string> TextLines(std::span<const std::uint8_t> text);

// The record's numbers when the text has exactly five lines, each read as a
// number with the default 0; nothing otherwise.
std::optional<UndoRecord> ReadUndoRecord(std::span<const std::uint8_t> text);

// Whether a record that was read belongs to the file content: its checksum line
// holds the same 32 bits as the content's CRC-32.
bool RecordMatches(const UndoRecord& record, std::span<const std::uint8_t> content);

}  // namespace quillfen
