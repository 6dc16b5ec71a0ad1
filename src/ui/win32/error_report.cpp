#include "ui/win32/error_report.h"

#include <exception>

#include "ui/error_text.h"
#include "ui/win32/message_boxes.h"

namespace quillfen::win32 {

void ReportError(HWND owner, const std::string& message) {
  ShowMessageBox(owner, ErrorReportText(message), MB_ICONERROR);
}

void RunHandler(HWND owner, const std::function<void()>& handler) noexcept {
  try {
    handler();
  } catch (const std::exception& error) {
    try {
      ReportError(owner, error.what());
    } catch (...) {
      // Not even the report could be shown (out of memory): the window carries on.
    }
  } catch (...) {
    try {
      ReportError(owner, "Unknown error");
    } catch (...) {
    }
  }
}

}  // namespace quillfen::win32
