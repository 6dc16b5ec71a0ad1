#pragma once

// What the code of an x86 or x86-64 executable does with a width and a height:
// the instructions that hold them as immediates, the data it loads them from,
// whether they reach a window or display function, and which bytes of the code
// move between builds of the same program (addresses and branch targets).

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/pe_image.h"

namespace quillfen {

enum class ValueSource {
  kImmediate,  // an instruction's immediate operand: mov [mem], imm; mov reg, imm; push imm
  kLoaded,     // data that code loads by its address
  kData,       // data no decoded instruction refers to
};

// One width or height the executable holds.
struct CodeValue {
  std::int64_t at = 0;  // the value's file offset
  std::int32_t size = 4;
  bool width = true;  // the width; else the height
  ValueSource source = ValueSource::kData;
  std::int64_t instruction = -1;  // the instruction that holds or loads it (file offset)
  std::string text;               // that instruction, in Intel syntax
  std::int64_t function = -1;     // where the code region of the instruction starts
  std::string call;               // the window or display function reached; empty: none seen
  bool direct = false;            // the call is in the same function (else in a function it calls)
  std::int64_t call_at = -1;      // the file offset of that call
  bool table = false;             // data among more sizes of the same shape (a table of modes)
  bool fallback = false;          // set on a branch taken on a call's result (a fallback)
  std::int64_t tested_call = -1;  // the file offset of that call
};

struct CodeScan {
  std::vector<CodeValue> values;  // by file offset
  // One bit per byte of the file: an address, displacement or branch target
  // that another build of the same code would hold differently.
  std::vector<std::uint64_t> moving;

  bool Moving(std::int64_t at) const {
    const auto i = static_cast<std::uint64_t>(at);
    return at >= 0 && (i >> 6) < moving.size() && (moving[i >> 6] >> (i & 63) & 1) != 0;
  }
};

// Called now and then with the file offset the decoding has reached.
using CodeProgress = std::function<void(std::size_t at)>;

// Instructions a window or display call is looked for after a value.
inline constexpr int kCallReach = 48;

// Decodes every executable section of the image and reads its data sections
// for the width and the height (4-byte values, and 2-byte ones where the value
// fits). Places the image refuses are never values.
CodeScan ScanCode(std::span<const std::uint8_t> file, const PeImage& image, std::int32_t width,
                  std::int32_t height, const CodeProgress& progress = {});

}  // namespace quillfen
