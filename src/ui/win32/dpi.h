#pragma once

namespace quillfen::testing {
class WindowAccess;
}

namespace quillfen::win32 {

// The system's pixels per inch (the layout is given at 96).
int SystemDpi();

// A length of the 96-dpi layout in pixels at the system's DPI.
int Scale(int length);

// What SystemDpi reports instead of the system's value when it is set (not 0):
// the window's tests lay it out at another DPI through their fixture.
class DpiOverride {
  friend int SystemDpi();
  friend class testing::WindowAccess;
  static inline int dpi_ = 0;
};

}  // namespace quillfen::win32
