#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillfen {

class System;

// Reads a text as a signed 32-bit integer: leading spaces, an optional sign,
// then decimal digits or hexadecimal digits after "$", "x", "X", "0x" or "0X",
// and nothing after. Decimals must fit the signed range; hexadecimals must fit
// 32 bits and are taken as a two's-complement pattern. Anything else gives the default.
std::int32_t IntOrDefault(std::string_view text, std::int32_t default_value);

// "patches.ini" in the executable's folder.
std::string DefinitionFilePath(System& system);

// The longest value the program reads of the definition file: the Windows
// build always read values into a buffer of 3000 characters, the last a NUL,
// and a definition file means the same to every build. A longer value is cut.
inline constexpr std::size_t kMaxProfileValue = 2999;

// A value of the definition file as the program reads it: cut to kMaxProfileValue.
std::string CutValue(std::string value);

// One value of the definition file; empty for anything absent, cut as CutValue cuts it.
std::string ReadIniValue(System& system, const std::string& section, const std::string& key,
                         const std::string& path);

}  // namespace quillfen
