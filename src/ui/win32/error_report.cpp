#include "ui/win32/error_report.h"

#include <exception>

#include "platform/file_error.h"
#include "ui/error_text.h"
#include "words/fault_words.h"

namespace quillfen::win32 {

std::string CaughtErrorText() {
  try {
    throw;
  } catch (const FileError& error) {
    return FileErrorText(error);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "Unknown error";
  }
}

void ReportError(MessageBoxes& boxes, HWND owner, const std::string& message) {
  ShowMessageBox(boxes, owner, ErrorReportText(message), MB_ICONERROR);
}

void RunHandler(MessageBoxes& boxes, HWND owner, const std::function<void()>& handler) noexcept {
  try {
    handler();
  } catch (...) {
    try {
      ReportError(boxes, owner, CaughtErrorText());
    } catch (...) {
      // Not even the report could be shown (out of memory): the window carries on.
    }
  }
}

}  // namespace quillfen::win32
