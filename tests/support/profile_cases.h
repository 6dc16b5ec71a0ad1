#pragma once

#include <string>
#include <vector>

namespace quillfen::testing {

// Profile files and the values the program relies on reading from them. Both
// the in-memory reader and the system's real one must give these.
struct ProfileCase {
  const char* what;
  std::string file;
  std::string section;
  std::string key;
  std::string expected;
};

// A text of characters below U+0100, one byte each, as UTF-16 (little-endian)
// with its byte order mark, which every system's profile reader takes.
inline std::string Utf16(const std::string& latin1) {
  std::string utf16 = "\xFF\xFE";
  for (const char c : latin1) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  return utf16;
}

inline std::vector<ProfileCase> ProfileCases() {
  const std::string megabyte(1 << 20, 'v');
  return {
      {"header in capitals, lower-case lookup", "[APPS]\r\nVERSION=1.03\r\n", "apps", "version",
       "1.03"},
      {"mixed-case lookup", "[apps]\r\na0=Racer\r\n", "Apps", "A0", "Racer"},
      {"blanks around names and values", "[ apps ]\r\n  a0  =  Racer X  \r\n", "Apps", "a0",
       "Racer X"},
      {"absent key", "[apps]\r\na0=Racer\r\n", "apps", "a1", ""},
      {"absent section", "[apps]\r\na0=Racer\r\n", "Racer", "modfile", ""},
      {"empty value", "[apps]\r\na0=\r\n", "apps", "a0", ""},
      {"first of repeated keys", "[g]\r\nk=first\r\nk=second\r\n", "g", "k", "first"},
      {"comment line", "[g]\r\n;k=commented\r\nk=real\r\n", "g", "k", "real"},
      {"LF line ends", "[g]\nk=v\nj=w\n", "g", "j", "w"},
      {"value of a megabyte: its first 2999 characters", "[g]\r\nk=" + megabyte + "\r\n", "g", "k",
       std::string(2999, 'v')},
      {"key after a line of a megabyte", "[g]\r\nk=" + megabyte + "\r\nj=after\r\n", "g", "j",
       "after"},
      {"section names differing in case", "[Racer]\r\nmodfile=a.exe\r\n", "RACER", "modfile",
       "a.exe"},
      {"value in double quotes", "[g]\r\nk=\"quoted value\"\r\n", "g", "k", "quoted value"},
      {"value in single quotes", "[g]\r\nk= 'v' \r\n", "g", "k", "v"},
      {"one quote alone is kept", "[g]\r\nk=\"open\r\n", "g", "k", "\"open"},
      {"UTF-8 byte order mark", "\xEF\xBB\xBF[apps]\r\nversion=1.03\r\n", "apps", "version",
       "1.03"},
      {"UTF-16 with a byte order mark", Utf16("[a]\r\nk=\xE9\r\n"), "A", "K", "\xC3\xA9"},
      {"key before the first section", "k=v\r\n[g]\r\nj=w\r\n", "g", "k", ""},
      {"a repeated section is not read", "[g]\r\nk=1\r\n[G]\r\nj=2\r\n", "g", "j", ""},
      {"line without an equals sign", "[g]\r\nk\r\nj=w\r\n", "g", "k", ""},
  };
}

}  // namespace quillfen::testing
