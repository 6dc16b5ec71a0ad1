#pragma once

#include <string>

namespace quillfen {

// The controls whose state the program's handlers change.
enum class Control {
  widthedit,
  heightedit,
  patchbutton,
  undobutton,
  findit,
};

// Everything the portable handlers do to the main window. The Win32 window
// implements it on real controls; tests use a recording view.
class View {
 public:
  virtual ~View() = default;

  // Enabled state and text (caption of a button, content of an edit box).
  virtual void SetEnabled(Control control, bool enabled) = 0;
  virtual void SetText(Control control, const std::string& text) = 0;
  virtual std::string Text(Control control) = 0;

  // The game list `gamecb`.
  virtual void GameListClear() = 0;
  virtual void GameListAppend(const std::string& name) = 0;
  // Selects item 0 when the list has any; does not raise the change event.
  virtual void GameListSelectFirst() = 0;
  // Text of the picked item; empty when none is picked.
  virtual std::string GameListText() = 0;

  // The details memo `detailssl`.
  virtual void DetailsClear() = 0;
  virtual void DetailsAddLine(const std::string& text) = 0;
  virtual void DetailsScrollToTop() = 0;

  // The shell folder tree `gamedirlv`.
  // Path of the selected node: a file-system path (drive roots end in a
  // backslash, other folders do not), a virtual node's display name, or empty.
  virtual std::string TreeSelectedPath() = 0;
  // The selected node's folder in the system's form, ending in the separator;
  // empty for a virtual node (My Computer, a library) or no selection.
  virtual std::string TreeSelectedFolder() = 0;
  // Selects a folder by path, creating and expanding its ancestors; nothing when
  // it is already selected. The selection-changed handler runs before this
  // returns, and an error it raises comes out of this call. Throws
  // std::runtime_error when the shell cannot resolve the path.
  virtual void TreeSelectPath(const std::string& path) = 0;
  virtual bool TreeHasSelection() = 0;
  virtual void TreeMakeSelectionVisible() = 0;
  virtual void TreeFocus() = 0;

  // The search panel over the tree and its progress label.
  virtual void ShowSearchPanel(bool shown) = 0;
  // Sets the label's text and repaints it at once, handling no other message.
  virtual void SetSearchLabel(const std::string& text) = 0;
  // Lets every window message pending now through, once. Returns false when
  // the window is gone afterwards (a close was among them): the caller stops.
  [[nodiscard]] virtual bool ProcessPendingMessages() = 0;

  // A modal box captioned "Quillfen" with the text, no icon and one OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // Asks the shell to "open" a web address; the outcome is ignored.
  virtual void OpenWebAddress(const std::string& address) = 0;
  // Closes the main window, which ends the program.
  virtual void CloseWindow() = 0;
};

}  // namespace quillfen
