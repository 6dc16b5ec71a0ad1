#include "platform/win32/text_compare.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "base/ascii_case.h"
#include "platform/win32/utf8.h"

namespace quillfen::win32 {

bool SameTextNoCase(std::string_view a, std::string_view b) {
  const auto ascii = [](std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
  };
  if (ascii(a) && ascii(b)) return SameAsciiNoCase(a, b);
  const std::wstring wide_a = Widen(a);
  const std::wstring wide_b = Widen(b);
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wide_a.data(),
                        static_cast<int>(wide_a.size()), wide_b.data(),
                        static_cast<int>(wide_b.size())) == CSTR_EQUAL;
}

}  // namespace quillfen::win32
