#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/view.h"

namespace quillfen::testing {

// A view that keeps the state of every control and records what was done to
// it, so tests can check effects and their order. Message boxes are captured.
class RecordingView : public View {
 public:
  struct ControlState {
    bool enabled = true;
    std::string text;
  };

  // A tree of the folders of a system whose paths end folders in `separator`.
  explicit RecordingView(char separator = '\\');

  // Called when the tree's selection changes (the window wires gamedirlvChange here).
  std::function<void()> onTreeChange;
  // Decides whether select-by-path can resolve a folder; by default every path resolves.
  std::function<bool(const std::string&)> folderResolves;

  // The user picks a game or a folder (no handler runs; tests call it).
  void PickGame(std::size_t index) { game_index_ = static_cast<int>(index); }
  void SetTreePath(const std::string& path) { tree_path_ = path; }

  ControlState& State(Control control) { return controls_[control]; }
  bool Enabled(Control control) { return controls_[control].enabled; }

  std::vector<std::string> messages;  // every message box, in order
  std::vector<std::string> log;       // every call, in order, as readable text
  std::vector<std::string> gameList;
  std::vector<std::string> detailsLines;
  std::vector<std::string> searchLabels;
  bool searchPanelShown = false;
  bool closed = false;
  bool treeFocused = false;
  int pendingMessagePasses = 0;
  // The pass of pending messages destroys the window (a close was queued).
  bool closeQueued = false;
  std::vector<std::string> openedAddresses;

  // View
  void SetEnabled(Control control, bool enabled) override;
  void SetText(Control control, const std::string& text) override;
  std::string Text(Control control) override;
  void GameListClear() override;
  void GameListAppend(const std::string& name) override;
  void GameListSelectFirst() override;
  std::string GameListText() override;
  void DetailsClear() override;
  void DetailsAddLine(const std::string& text) override;
  void DetailsScrollToTop() override;
  std::string TreeSelectedPath() override { return tree_path_; }
  std::string TreeSelectedFolder() override;
  void TreeSelectPath(const std::string& path) override;
  bool TreeHasSelection() override { return !tree_path_.empty(); }
  void TreeMakeSelectionVisible() override { log.push_back("tree visible"); }
  void TreeFocus() override;
  void ShowSearchPanel(bool shown) override;
  void SetSearchLabel(const std::string& text) override;
  bool ProcessPendingMessages() override;
  void ShowMessage(const std::string& text) override;
  void OpenWebAddress(const std::string& address) override;
  void CloseWindow() override;

 private:
  std::map<Control, ControlState> controls_;
  int game_index_ = -1;
  std::string tree_path_ = "My Computer";
  char separator_;
};

const char* ControlName(Control control);

}  // namespace quillfen::testing
