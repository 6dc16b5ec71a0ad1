// Fuzz target: the undo record reader against a plain restatement of its
// line rules, and the written form read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "engine/undo_record.h"

namespace {

// One character at a time: CR LF, lone CR and lone LF end a line; a line end
// at the very end adds no line; NUL ends the text.
std::vector<std::string> ReferenceLines(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;  // characters since the last line end
  for (std::size_t i = 0; i < size && data[i] != 0; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
      if (c == '\r' && i + 1 < size && data[i + 1] == '\n') ++i;
    } else {
      line += c;
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> text(data, size);
  const std::vector<std::string> lines = quillfen::TextLines(text);
  if (lines != ReferenceLines(data, size)) std::abort();
  for (const std::string& line : lines) {
    if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) std::abort();
  }
  const auto record = quillfen::ReadUndoRecord(text);
  // A record is read only from five lines each written as the program writes it.
  if (record) {
    if (lines.size() != 5) std::abort();
    const std::int32_t numbers[] = {record->checksum, record->xpos, record->ypos, record->oldx,
                                    record->oldy};
    for (std::size_t i = 0; i < 5; ++i) {
      if (lines[i] != std::to_string(numbers[i])) std::abort();
    }
  }
  if (record) {
    const std::string written = quillfen::FormatUndoRecord(*record);
    const std::vector<std::uint8_t> bytes(written.begin(), written.end());
    const auto again = quillfen::ReadUndoRecord(bytes);
    if (!again || again->checksum != record->checksum || again->xpos != record->xpos ||
        again->ypos != record->ypos || again->oldx != record->oldx || again->oldy != record->oldy) {
      std::abort();
    }
  }
  return 0;
}
