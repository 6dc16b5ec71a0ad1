#include "ui/main_form.h"

#include "definitions/game_loading.h"
#include "definitions/text.h"
#include "engine/locate.h"
#include "engine/patching.h"
#include "search/folder_search.h"
#include "ui/forum.h"
#include "ui/view.h"

namespace quillfen {

void MainForm::FormCreate() {
  state_ = AppState{};
  LoadAppList(system_, view_, [this] { gamecbChange(); });
}

void MainForm::FormDestroy() {
  ClearPatchList(state_.patchList);
  state_.foundFiles.clear();
}

void MainForm::gamecbChange() {
  const std::string game = view_.GameListText();
  if (game.empty()) return;
  state_.foundFiles.clear();
  view_.SetText(Control::findit, kFindCaption);
  LoadGamePatches(system_, view_, state_, game);
  gamedirlvChange();
}

void MainForm::gamedirlvChange() {
  const std::string path = view_.TreeSelectedPath();
  if (path.find(':') == std::string::npos || state_.patchList.Empty()) {
    ShowNotLocated();
    return;
  }
  state_.gameFolder = ReplaceAllNoCase(path + "\\", "\\\\", "\\");
  state_.checkFilePath = state_.gameFolder + FileNamePart(state_.checkFilePath);
  for (std::size_t i = state_.patchList.Count(); i-- > 0;) {
    if (!LocatePatch(system_, view_, state_.gameFolder, state_.patchList.At(i))) {
      ShowNotLocated();
      return;
    }
  }
  view_.SetEnabled(Control::patchbutton, true);
}

void MainForm::ShowNotLocated() {
  view_.SetEnabled(Control::widthedit, false);
  view_.SetText(Control::widthedit, "");
  view_.SetEnabled(Control::heightedit, false);
  view_.SetText(Control::heightedit, "");
  view_.SetEnabled(Control::undobutton, false);
  view_.SetEnabled(Control::patchbutton, false);
}

void MainForm::patchbuttonClick() {
  ApplyPatches(system_, view_, state_.patchList);
}

void MainForm::undobuttonClick() {
  RemovePatches(system_, view_, state_.patchList);
}

void MainForm::Label5Click() {
  view_.OpenWebAddress(kForumAddress);
}

void MainForm::finditClick() {
  if (state_.patchList.Empty()) return;
  view_.ShowSearchPanel(true);
  view_.SetEnabled(Control::findit, false);
  if (!view_.ProcessPendingMessages()) return;  // closed meanwhile: no window to search for
  auto restore = [this] {
    view_.SetEnabled(Control::findit, true);
    view_.ShowSearchPanel(false);
  };
  std::string result;
  try {
    SearchFixedDrives(system_, FileNamePart(state_.checkFilePath), state_.foundFiles, result,
                      [this](const std::string& folder) { ShowSearchProgress(folder); });
  } catch (...) {
    restore();  // never leave the tree covered and the button dead
    throw;
  }
  restore();
  if (!result.empty()) {
    state_.foundFiles.push_back(result);
    view_.SetText(Control::findit, kKeepSearchingCaption);
    view_.TreeSelectPath(result.substr(0, result.rfind('\\') + 1));
    view_.TreeFocus();
    if (view_.TreeHasSelection()) view_.TreeMakeSelectionVisible();
    view_.ShowMessage("Found " + result + "!");
  } else {
    state_.foundFiles.clear();
    view_.SetText(Control::findit, kFindCaption);
    view_.ShowMessage("Unable to find any matching files!");
  }
}

void MainForm::ShowSearchProgress(const std::string& path) {
  view_.SetSearchLabel(path);
}

}  // namespace quillfen
