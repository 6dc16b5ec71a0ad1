#include "ui/win32/dpi.h"

#include <windows.h>

#include "platform/win32/win32_owners.h"

namespace quillfen::win32 {

int SystemDpi() {
  const WindowDc screen(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
  return dpi > 0 ? dpi : 96;
}

int Scale(int length, int dpi) {
  return MulDiv(length, dpi, 96);
}

}  // namespace quillfen::win32
