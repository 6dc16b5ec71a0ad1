#pragma once

namespace quillfen::win32 {

// The system's pixels per inch (the layout is given at 96).
int SystemDpi();

// A length of the 96-dpi layout in pixels at `dpi` pixels per inch.
int Scale(int length, int dpi);

}  // namespace quillfen::win32
