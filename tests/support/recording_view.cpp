#include "support/recording_view.h"

#include <stdexcept>

#include "base/ascii_case.h"

namespace quillfen::testing {

const char* ControlName(Control control) {
  switch (control) {
    case Control::widthedit:
      return "widthedit";
    case Control::heightedit:
      return "heightedit";
    case Control::patchbutton:
      return "patchbutton";
    case Control::undobutton:
      return "undobutton";
    case Control::findit:
      return "findit";
  }
  return "?";
}

RecordingView::RecordingView(char separator) : separator_(separator) {
  // The window as it stands before the tree's first selection runs the folder handler.
  controls_[Control::findit] = {true, "Find it for me..."};
  controls_[Control::patchbutton] = {true, "Patch"};
  controls_[Control::undobutton] = {true, "Undo Patch"};
  controls_[Control::widthedit] = {true, ""};
  controls_[Control::heightedit] = {true, ""};
}

void RecordingView::SetEnabled(Control control, bool enabled) {
  controls_[control].enabled = enabled;
  log.push_back(std::string(enabled ? "enable " : "disable ") + ControlName(control));
}

void RecordingView::SetText(Control control, const std::string& text) {
  controls_[control].text = text;
  log.push_back(std::string("text ") + ControlName(control) + "=" + text);
}

std::string RecordingView::Text(Control control) {
  return controls_[control].text;
}

void RecordingView::GameListClear() {
  gameList.clear();
  game_index_ = -1;
  log.push_back("gamecb clear");
}

void RecordingView::GameListAppend(const std::string& name) {
  gameList.push_back(name);
  log.push_back("gamecb add " + name);
}

void RecordingView::GameListSelectFirst() {
  if (!gameList.empty()) game_index_ = 0;
  log.push_back("gamecb select 0");
}

std::string RecordingView::GameListText() {
  if (game_index_ < 0 || game_index_ >= static_cast<int>(gameList.size())) return {};
  return gameList[static_cast<std::size_t>(game_index_)];
}

void RecordingView::DetailsClear() {
  detailsLines.clear();
  log.push_back("details clear");
}

void RecordingView::DetailsAddLine(const std::string& text) {
  detailsLines.push_back(text);
  log.push_back("details add " + text);
}

void RecordingView::DetailsScrollToTop() {
  log.push_back("details top");
}

void RecordingView::TreeSelectPath(const std::string& path) {
  log.push_back("tree select " + path);
  if (folderResolves && !folderResolves(path)) {
    throw std::runtime_error("Unable to select the folder " + path);
  }
  std::string normal = path;
  const bool root = separator_ == '\\' ? normal.size() == 3 && normal[1] == ':' : normal == "/";
  if (!root) {
    while (!normal.empty() && normal.back() == separator_) normal.pop_back();
  }
  if (SameAsciiNoCase(normal, tree_path_)) return;
  tree_path_ = normal;
  if (onTreeChange) onTreeChange();
}

// As the shell tree tells them: a Windows folder by its drive's colon, a POSIX
// one by its leading slash; any other node is virtual.
std::string RecordingView::TreeSelectedFolder() {
  const bool folder =
      separator_ == '\\' ? tree_path_.find(':') != std::string::npos : tree_path_.starts_with('/');
  if (!folder) return {};
  return tree_path_.ends_with(separator_) ? tree_path_ : tree_path_ + separator_;
}

void RecordingView::TreeFocus() {
  treeFocused = true;
  log.push_back("tree focus");
}

void RecordingView::ShowSearchPanel(bool shown) {
  searchPanelShown = shown;
  log.push_back(shown ? "panel show" : "panel hide");
}

void RecordingView::SetSearchLabel(const std::string& text) {
  searchLabels.push_back(text);
}

bool RecordingView::ProcessPendingMessages() {
  ++pendingMessagePasses;
  log.push_back("pending messages");
  return !closeQueued;
}

void RecordingView::ShowMessage(const std::string& text) {
  messages.push_back(text);
  log.push_back("message " + text);
}

void RecordingView::OpenWebAddress(const std::string& address) {
  openedAddresses.push_back(address);
  log.push_back("open " + address);
}

void RecordingView::CloseWindow() {
  closed = true;
  log.push_back("close");
}

}  // namespace quillfen::testing
