#pragma once

namespace quillfen::win32 {

// The system's pixels per inch (the layout is given at 96).
int SystemDpi();
// Makes SystemDpi return a fixed value; 0 goes back to the system's.
void OverrideDpiForTesting(int dpi);

// A length of the 96-dpi layout in pixels at the system's DPI.
int Scale(int length);

}  // namespace quillfen::win32
