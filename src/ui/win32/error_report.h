#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace quillfen::win32 {

// The general error report: a box captioned with the application title, with
// the error icon, the error's text (with the full-stop rule) and OK.
void ReportError(HWND owner, const std::string& message);

// Runs one event handler to its end. An exception escaping it ends it and is
// reported; none goes further, so none crosses a Win32 callback.
void RunHandler(HWND owner, const std::function<void()>& handler) noexcept;

}  // namespace quillfen::win32
