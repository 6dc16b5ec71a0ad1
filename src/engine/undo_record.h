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

// The record's numbers when the text is record text (IsUndoRecordText) of
// exactly five lines, each a signed
// 32-bit decimal written as FormatUndoRecord writes it (no blanks, no plus
// sign, no leading zeros); nothing otherwise. A line that is empty, cut short
// or written otherwise makes the record damaged: its values are not trusted.
std::optional<UndoRecord> ReadUndoRecord(std::span<const std::uint8_t> text);

// The largest file that can be a record of the program: five lines of an
// eleven-character number (-2147483648) and CR LF.
constexpr std::int64_t kMaxUndoRecordSize = 5 * 13;

// Whether a file's content is an undo record of the program, fresh, stale or
// cut short, and so may be replaced or deleted: at most kMaxUndoRecordSize
// bytes, nothing but the digits, the minus sign, CR and LF, at most five
// lines. An empty file counts: it is what a record cut short by a crash while
// it was written leaves, and replacing it loses nothing.
bool IsUndoRecordText(std::span<const std::uint8_t> text);

// Where Patch puts a game's new record while the record beside the game file
// still holds the values to restore: the record's path with ".new" appended.
// Locating consults it when the record itself no longer matches the file.
std::string PendingRecordPath(const std::string& undofile);

// Where Patch keeps aside a record that it may not replace (one that keeps
// values of another file, or of an axis no entry restores): the record's path,
// the checksum it holds in eight hexadecimal digits, and ".kept"; the
// `number`th such name from 2 on carries "-number" before ".kept". Locating
// finds a kept record by the checksum of the file as it is now.
std::string KeptRecordPath(const std::string& undofile, std::int32_t checksum, int number);
constexpr int kMaxKeptRecords = 20;  // names tried for one record place and checksum

// Whether a record keeps an axis: its position line is above 0. A record of an
// entry that lacks an axis keeps it only when it carried it over from the
// record it replaced.
inline bool KeepsWidth(const UndoRecord& record) { return record.xpos > 0; }
inline bool KeepsHeight(const UndoRecord& record) { return record.ypos > 0; }

// Whether every value `record` keeps is back in the content: the old value of
// each axis it keeps stands at its position in the axis's length of bytes
// (`xlen`, `ylen`). An axis whose length is not known (0) is never back.
bool ValuesBack(const UndoRecord& record, std::span<const std::uint8_t> content,
                std::int32_t xlen, std::int32_t ylen);

// Whether every value `record` keeps is kept by `by` as well: the same
// position with the same old value.
bool ValuesCarried(const UndoRecord& record, const UndoRecord& by);

}  // namespace quillfen
