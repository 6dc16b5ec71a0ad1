#include "ui/win32/dpi.h"

#include <windows.h>

namespace quillfen::win32 {

namespace {
int dpi_override = 0;
}

int SystemDpi() {
  if (dpi_override > 0) return dpi_override;
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

void OverrideDpiForTesting(int dpi) {
  dpi_override = dpi;
}

int Scale(int length) {
  return MulDiv(length, SystemDpi(), 96);
}

}  // namespace quillfen::win32
