#include "ui/win32/dpi.h"

#include <windows.h>

#include "platform/win32/win32_owners.h"

namespace quillfen::win32 {

int SystemDpi() {
  if (DpiOverride::dpi_ > 0) return DpiOverride::dpi_;
  const WindowDc screen(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
  return dpi > 0 ? dpi : 96;
}

int Scale(int length) {
  return MulDiv(length, SystemDpi(), 96);
}

}  // namespace quillfen::win32
