#include "ui/win32/error_report.h"

#include <exception>

#include "ui/error_text.h"

namespace quillfen::win32 {

void ReportError(MessageBoxes& boxes, HWND owner, const std::string& message) {
  ShowMessageBox(boxes, owner, ErrorReportText(message), MB_ICONERROR);
}

void RunHandler(MessageBoxes& boxes, HWND owner, const std::function<void()>& handler) noexcept {
  try {
    handler();
  } catch (const std::exception& error) {
    try {
      ReportError(boxes, owner, error.what());
    } catch (...) {
      // Not even the report could be shown (out of memory): the window carries on.
    }
  } catch (...) {
    try {
      ReportError(boxes, owner, "Unknown error");
    } catch (...) {
    }
  }
}

}  // namespace quillfen::win32
