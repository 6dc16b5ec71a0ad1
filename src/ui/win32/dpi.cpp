#include "ui/win32/dpi.h"

#include <windows.h>

#include "platform/win32/win32_owners.h"

namespace quillfen::win32 {

namespace {
int dpi_override = 0;
}

int SystemDpi() {
  if (dpi_override > 0) return dpi_override;
  const WindowDc screen(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
  return dpi > 0 ? dpi : 96;
}

void OverrideDpiForTesting(int dpi) {
  dpi_override = dpi;
}

int Scale(int length) {
  return MulDiv(length, SystemDpi(), 96);
}

}  // namespace quillfen::win32
