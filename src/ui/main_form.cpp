#include "ui/main_form.h"

#include <climits>
#include <vector>

#include "base/text.h"
#include "definitions/game_loading.h"
#include "definitions/ini.h"
#include "engine/locate.h"
#include "engine/patching.h"
#include "platform/system.h"
#include "search/folder_search.h"
#include "ui/forum.h"
#include "ui/report_text.h"
#include "ui/view.h"

namespace quillfen {

namespace {

// Stands for a box whose text is no number; the engine is never given it.
constexpr std::int32_t kNoNumber = INT32_MIN;

}  // namespace

void MainForm::FormCreate() {
  state_ = AppState{};
  const AppList apps = LoadAppList(system_);
  if (!apps.accepted) {
    view_.ShowMessage(kVersionMessage);
    view_.CloseWindow();
    return;
  }
  view_.GameListClear();
  for (const std::string& game : apps.games) view_.GameListAppend(game);
  view_.GameListSelectFirst();
  gamecbChange();
}

void MainForm::FormDestroy() {
  ClearPatchList(state_.patchList);
  state_.located.clear();
  state_.foundFiles.clear();
}

void MainForm::gamecbChange() {
  const std::string game = view_.GameListText();
  if (game.empty()) return;
  state_.foundFiles.clear();
  view_.SetText(Control::findit, kFindCaption);
  const GameSection section = LoadGamePatches(system_, game, state_.patchList);
  state_.detailsText = section.details;
  // The check file's name: the definition may give it below a folder.
  state_.checkFilePath = FileNamePart(section.checkfile);
  view_.DetailsClear();
  view_.DetailsAddLine(DecodeEscapes(state_.detailsText));
  view_.DetailsScrollToTop();
  gamedirlvChange();
}

void MainForm::gamedirlvChange() {
  const std::string folder = view_.TreeSelectedFolder();
  state_.located.clear();
  if (folder.empty() || state_.patchList.Empty()) {
    ShowNotLocated();
    return;
  }
  state_.gameFolder = folder;
  state_.checkFilePath = state_.gameFolder + NameInPath(state_.checkFilePath, system_.Separator());
  state_.located.assign(state_.patchList.Count(), {});
  for (std::size_t i = state_.patchList.Count(); i-- > 0;) {
    state_.located[i] = Locate(state_.patchList.At(i));
    if (!state_.located[i].located) {
      ShowNotLocated();
      return;
    }
  }
  view_.SetEnabled(Control::undobutton, CanUndo(state_.located));
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

LocatedPatch MainForm::Locate(const PatchEntry& entry) {
  view_.SetEnabled(Control::undobutton, false);
  LocatedPatch result = LocatePatch(system_, state_.gameFolder, entry);
  ShowLocated(entry, result);
  return result;
}

void MainForm::ShowLocated(const PatchEntry& entry, const LocatedPatch& result) {
  if (!result.located) return;
  view_.SetEnabled(Control::widthedit, entry.hasx);
  view_.SetEnabled(Control::heightedit, entry.hasy);
  view_.SetText(Control::widthedit, std::to_string(result.width));
  view_.SetText(Control::heightedit, std::to_string(result.height));
}

// Each report is a box at once; each entry located again shows as a folder
// selection shows it, and is kept as the entry's location.
OperationObserver MainForm::OperationEffects() {
  OperationObserver observer;
  observer.report = [this](const Report& report) {
    const std::string text = BoxText(report, system_.Separator());
    if (!text.empty()) view_.ShowMessage(text);
  };
  observer.locating = [this](std::size_t) { view_.SetEnabled(Control::undobutton, false); };
  observer.located = [this](std::size_t index, const LocatedPatch& result) {
    ShowLocated(state_.patchList.At(index), result);
    if (state_.located.size() <= index) state_.located.resize(index + 1);
    state_.located[index] = result;
    // The first entry is located last: Undo Patch as for a folder selected.
    if (index == 0) view_.SetEnabled(Control::undobutton, CanUndo(state_.located));
  };
  return observer;
}

void MainForm::patchbuttonClick() {
  // A box the game's patches read must hold a number: its text is never
  // replaced by a value the user did not type.
  const std::string texts[] = {view_.Text(Control::widthedit), view_.Text(Control::heightedit)};
  const bool takes[] = {TakesTypedWidth(state_.patchList), TakesTypedHeight(state_.patchList)};
  const char* axes[] = {"width", "height"};
  std::int32_t values[2];
  bool numbers = true;
  for (int i = 0; i < 2; ++i) {
    values[i] = IntOrDefault(texts[i], kNoNumber);
    if (!takes[i] || values[i] != kNoNumber) continue;
    view_.ShowMessage("The " + std::string(axes[i]) + " \"" + texts[i] +
                      "\" is no screen size: type a whole number from 1 up.");
    numbers = false;
  }
  if (!numbers) {
    view_.ShowMessage("Errors found.  Unable to patch game!");
    return;
  }
  ApplyPatches(system_, state_.patchList, state_.gameFolder, values[0], values[1],
               OperationEffects());
}

void MainForm::undobuttonClick() {
  RemovePatches(system_, state_.patchList, state_.gameFolder, OperationEffects());
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
  // The label follows the walk at the screen's pace; each press starts afresh.
  const SearchProgress progress =
      ThrottleProgress([this](const std::string& folder) { ShowSearchProgress(folder); }, clock_);
  try {
    SearchFixedDrives(system_, NameInPath(state_.checkFilePath, system_.Separator()),
                      state_.foundFiles, result, progress);
  } catch (...) {
    restore();  // never leave the tree covered and the button dead
    throw;
  }
  restore();
  if (!result.empty()) {
    state_.foundFiles.push_back(result);
    view_.SetText(Control::findit, kKeepSearchingCaption);
    view_.TreeSelectPath(FolderOfPath(result, system_.Separator()));
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
