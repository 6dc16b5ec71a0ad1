#include "engine/undo_record.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "engine/values.h"

namespace quillfen {

std::string FormatUndoRecord(const UndoRecord& record) {
  std::string text;
  for (const std::int32_t value :
       {record.checksum, record.xpos, record.ypos, record.oldx, record.oldy}) {
    text += std::to_string(value);
    text += "\r\n";
  }
  return text;
}

std::vector<std::string> TextLines(std::span<const std::uint8_t> text) {
  const auto nul = std::find(text.begin(), text.end(), std::uint8_t{0});
  const std::size_t size = static_cast<std::size_t>(nul - text.begin());
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    lines.emplace_back(text.begin() + static_cast<std::ptrdiff_t>(start),
                       text.begin() + static_cast<std::ptrdiff_t>(i));
    i += (c == '\r' && i + 1 < size && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < size) {
    lines.emplace_back(text.begin() + static_cast<std::ptrdiff_t>(start),
                       text.begin() + static_cast<std::ptrdiff_t>(size));
  }
  return lines;
}

namespace {

// The number a line holds when it is written exactly as std::to_string writes it.
std::optional<std::int32_t> FormattedNumber(const std::string& line) {
  std::int32_t value = 0;
  const char* end = line.data() + line.size();
  const auto [stop, error] = std::from_chars(line.data(), end, value);
  if (line.empty() || error != std::errc() || stop != end || std::to_string(value) != line) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<UndoRecord> ReadUndoRecord(std::span<const std::uint8_t> text) {
  // Every reader judges a file by this one rule: a NUL, a blank or any other
  // byte makes the file no record, whatever follows.
  if (!IsUndoRecordText(text)) return std::nullopt;
  const std::vector<std::string> lines = TextLines(text);
  if (lines.size() != 5) return std::nullopt;
  std::int32_t numbers[5];
  for (std::size_t i = 0; i < 5; ++i) {
    const std::optional<std::int32_t> number = FormattedNumber(lines[i]);
    if (!number) return std::nullopt;
    numbers[i] = *number;
  }
  return UndoRecord{numbers[0], numbers[1], numbers[2], numbers[3], numbers[4]};
}

bool IsUndoRecordText(std::span<const std::uint8_t> text) {
  if (static_cast<std::int64_t>(text.size()) > kMaxUndoRecordSize) return false;
  const bool plain = std::all_of(text.begin(), text.end(), [](std::uint8_t c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '\r' || c == '\n';
  });
  return plain && TextLines(text).size() <= 5;
}

std::string PendingRecordPath(const std::string& undofile) {
  return undofile + ".new";
}

std::string KeptRecordPath(const std::string& undofile, std::int32_t checksum, int number) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", static_cast<std::uint32_t>(checksum));
  std::string path = undofile;
  path += '.';
  path += hex;
  if (number > 1) {
    path += '-';
    path += std::to_string(number);
  }
  path += ".kept";
  return path;
}

bool ValuesBack(const UndoRecord& record, std::span<const std::uint8_t> content,
                std::int32_t xlen, std::int32_t ylen) {
  const auto back = [&](std::int32_t position, std::int32_t old, std::int32_t length) {
    // A value of 1 to 4 bytes wholly inside the content, or else not back.
    if (!ValueFits(position, length, static_cast<std::int64_t>(content.size()))) return false;
    std::uint8_t stored[sizeof old];  // a value of at most four bytes, as `old` holds
    StoreValue(stored, old, length);
    return std::equal(stored, stored + length, content.begin() + position);
  };
  return (!KeepsWidth(record) || back(record.xpos, record.oldx, xlen)) &&
         (!KeepsHeight(record) || back(record.ypos, record.oldy, ylen));
}

bool ValuesCarried(const UndoRecord& record, const UndoRecord& by) {
  return (!KeepsWidth(record) || (by.xpos == record.xpos && by.oldx == record.oldx)) &&
         (!KeepsHeight(record) || (by.ypos == record.ypos && by.oldy == record.oldy));
}

}  // namespace quillfen
