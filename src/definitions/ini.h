#pragma once

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

// One value of the definition file; empty for anything absent, at most 2999 characters.
std::string ReadIniValue(System& system, const std::string& section, const std::string& key,
                         const std::string& path);

}  // namespace quillfen
