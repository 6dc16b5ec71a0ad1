#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/win32/message_boxes.h"

namespace quillfen::win32 {

// The general error report: a box captioned with the application title, with
// the error icon, the error's text (with the full-stop rule) and OK.
void ReportError(MessageBoxes& boxes, HWND owner, const std::string& message);

// The text of the exception being handled, for ReportError: a file error in
// the window's words, any other exception's own text. Only inside a catch.
std::string CaughtErrorText();

// Runs one event handler to its end. An exception escaping it ends it and is
// reported; none goes further, so none crosses a Win32 callback.
void RunHandler(MessageBoxes& boxes, HWND owner, const std::function<void()>& handler) noexcept;

}  // namespace quillfen::win32
