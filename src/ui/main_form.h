#pragma once

#include <string>
#include <utility>

#include "engine/locate.h"
#include "engine/patching.h"
#include "search/progress_throttle.h"
#include "ui/app_state.h"

namespace quillfen {

class System;
class View;

inline constexpr const char* kWindowCaption = "Quillfen 1.03 by Tesk";
inline constexpr const char* kApplicationTitle = "Quillfen";
inline constexpr const char* kFindCaption = "Find it for me...";
inline constexpr const char* kKeepSearchingCaption = "Keep searching for me...";

// The main window's event handlers, written against the view. The window owns
// one MainForm for its lifetime and calls a handler for each event; errors
// raised by a handler end it and reach the window's general error report.
class MainForm {
 public:
  // The clock paces the search's progress label; tests pass one they control.
  MainForm(System& system, View& view, MillisecondClock clock = SteadyMilliseconds)
      : system_(system), view_(view), clock_(std::move(clock)) {}

  void FormCreate();
  void FormDestroy();

  void gamecbChange();
  void gamedirlvChange();
  void finditClick();
  void patchbuttonClick();
  void undobuttonClick();
  void Label5Click();

  // Shows the folder the running search enters. finditClick calls it through
  // ThrottleProgress: at most once per frame, with the folder entered last.
  void ShowSearchProgress(const std::string& path);

 private:
  void ShowNotLocated();
  // Locates an entry in GameFolder and shows it; Undo Patch waits for every entry (CanUndo).
  LocatedPatch Locate(const PatchEntry& entry);
  void ShowLocated(const PatchEntry& entry, const LocatedPatch& result);
  OperationObserver OperationEffects();

  System& system_;
  View& view_;
  MillisecondClock clock_;
  AppState state_;
};

}  // namespace quillfen
