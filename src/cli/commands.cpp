#include "cli/commands.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <istream>
#include <iterator>
#include <optional>
#include <set>
#include <type_traits>
#include <variant>

#include "base/ascii_case.h"
#include "base/case_folding.h"
#include "base/profile_reader.h"
#include "base/text.h"
#include "cli/definition_places.h"
#include "cli/file_error_lines.h"
#include "cli/progress_line.h"
#include "cli/report_lines.h"
#include "definitions/definition_check.h"
#include "definitions/game_loading.h"
#include "engine/locate.h"
#include "engine/patching.h"
#include "engine/record_files.h"
#include "engine/undo_record.h"
#include "engine/values.h"
#include "platform/file_error.h"
#include "platform/system.h"
#include "search/folder_search.h"
#include "search/game_roots.h"
#include "words/fault_words.h"

namespace quillfen {

namespace {

// A failure that ends the command with exit status 1 after one message.
struct CommandFailed {
  std::string message;
};

[[noreturn]] void Fail(std::string message) {
  throw CommandFailed{std::move(message)};
}

// The bytes of a definition file; fails with its path and the reason when it
// cannot be read.
Bytes ReadDefinitionFile(CliEnvironment& env, const std::string& path) {
  try {
    return env.system.ReadWholeFile(path);
  } catch (const FileError& error) {
    Fail("cannot read " + PathAndCause(error));
  }
}

// A definition file of the command line.
struct DefinitionFile {
  std::string path;   // as a path of the portable code
  std::string shown;  // as the user sees it
};

// The definition files in the order they are read: the user's own first.
std::vector<DefinitionFile> DefinitionFiles(const Invocation& call) {
  std::vector<DefinitionFile> files;
  if (!call.user_ini.empty()) files.push_back({call.user_ini, call.user_ini});
  if (!call.ini.empty()) files.push_back({call.ini, call.ini_shown});
  if (files.empty()) Fail(NoDefinitionFileMessage(call.looked));
  return files;
}

// A game of the game lists and the definition file it comes from.
struct ListedGame {
  std::string name;
  DefinitionFile file;
};

// The game lists of the definition files, each through the version gate. A
// game of an earlier file hides those of the same name in the later ones.
std::vector<ListedGame> LoadGames(CliEnvironment& env, const Invocation& call) {
  const std::vector<DefinitionFile> files = DefinitionFiles(call);
  std::vector<ListedGame> games;
  std::set<std::string> earlier;  // the folded names of the earlier files' games
  for (const DefinitionFile& file : files) {
    AppList apps = LoadAppList(env.system, file.path);
    if (!apps.accepted) {
      // The profile reads cannot tell a file they could not read from a
      // foreign one: only then are the bytes read, for the system's reason.
      ReadDefinitionFile(env, file.path);
      Fail(files.size() > 1 ? file.shown + ": " + kVersionMessage : kVersionMessage);
    }
    std::set<std::string> names;
    for (std::string& name : apps.games) {
      std::string folded = FoldCase(ProfileName(name));
      if (earlier.count(folded) != 0) continue;
      names.insert(std::move(folded));
      games.push_back({std::move(name), file});
    }
    earlier.merge(names);
  }
  return games;
}

// The listed game the user named, blanks around it aside, in any letter case
// of any script.
ListedGame FindGame(CliEnvironment& env, const Invocation& call) {
  const std::vector<ListedGame> games = LoadGames(env, call);
  for (const ListedGame& game : games) {
    if (FoldCase(ProfileName(game.name)) == FoldCase(ProfileName(call.game))) return game;
  }
  std::string message = "no game " + Quoted(call.game) + " in the list";
  if (games.empty()) Fail(message + ", which is empty");
  std::size_t best = SIZE_MAX;
  for (const ListedGame& game : games) best = std::min(best, TextDistance(game.name, call.game));
  message += "; the closest:";
  for (const ListedGame& game : games) {
    if (TextDistance(game.name, call.game) == best) message.append(" ").append(Quoted(game.name));
  }
  Fail(message);
}

// The folder the user named, as the system's full path ending in the separator.
std::string GameFolder(CliEnvironment& env, const std::string& typed) {
  const std::string folder = AsFolder(env.system.FullPath(typed), env.system.Separator());
  if (!env.system.FolderExists(folder)) {
    if (env.system.FileExists(env.system.FullPath(typed)))
      Fail(Quoted(typed) + " is a file, not a folder");
    Fail("no folder " + Quoted(typed));
  }
  return folder;
}

// The loaded game: its section and its patches, bound to the folder.
struct LoadedGame {
  std::string name;
  std::string ini;  // the definition file it comes from
  std::string folder;
  GameSection section;
  PatchList list;
  std::vector<DirEntry> listing;  // the folder's entries, for names matched without case
};

// The folder's entries that a name of the definition file reaches.
std::vector<std::string> Spellings(System& system, const std::vector<DirEntry>& listing,
                                   const std::string& name) {
  std::vector<std::string> found;
  for (const DirEntry& entry : listing) {
    if (!entry.folder && system.SameTextNoCase(entry.name, name)) found.push_back(entry.name);
  }
  return found;
}

// Refuses a game whose files a name of the definition file cannot tell apart:
// two files of the folder that differ only in case.
void RefuseAmbiguousNames(CliEnvironment& env, const LoadedGame& game) {
  for (std::size_t i = 0; i < game.list.Count(); ++i) {
    const PatchEntry& entry = game.list.At(i);
    const std::string undo = FileNamePart(entry.undofile);
    for (const std::string& name : {FileNamePart(entry.modfile), undo, undo + ".new"}) {
      const std::vector<std::string> spellings = Spellings(env.system, game.listing, name);
      if (spellings.size() < 2) continue;
      std::string message =
          "patch #" + std::to_string(i + 1) + ": " + UpperAscii(name) + " is ambiguous:";
      for (const std::string& spelling : spellings) message.append(" ").append(Quoted(spelling));
      Fail(message + " differ only in case");
    }
  }
}

LoadedGame LoadGame(CliEnvironment& env, const Invocation& call) {
  LoadedGame game;
  const ListedGame listed = FindGame(env, call);
  game.name = listed.name;
  game.ini = listed.file.path;
  game.folder = GameFolder(env, call.folder);
  game.section = LoadGamePatches(env.system, game.ini, game.name, game.list);
  if (game.list.Empty()) Fail("game " + Quoted(game.name) + " has no patches");
  game.listing = env.system.ListFolder(game.folder).entries;
  RefuseAmbiguousNames(env, game);
  return game;
}

// The name of a file of the folder as the disk spells it.
std::string DiskName(CliEnvironment& env, const LoadedGame& game, const std::string& path) {
  const std::string name = NameInPath(path, env.system.Separator());
  const std::vector<std::string> spellings = Spellings(env.system, game.listing, name);
  return spellings.size() == 1 ? spellings[0] : name;
}

// The path of a file of the folder as the user sees it, spelt as on the disk.
std::string ShownPath(CliEnvironment& env, const LoadedGame& game, const std::string& path) {
  return game.folder + DiskName(env, game, path);
}

std::string Position(std::int64_t position) {
  return std::to_string(position) + " (" + Hex(static_cast<std::uint64_t>(position)) + ")";
}

// Locates every entry, last to first as the window does, without stopping at
// one that fails. Returns the results by index.
std::vector<LocatedPatch> LocateAll(CliEnvironment& env, const LoadedGame& game) {
  std::vector<LocatedPatch> results(game.list.Count());
  for (std::size_t i = game.list.Count(); i-- > 0;) {
    results[i] = LocatePatch(env.system, game.folder, game.list.At(i));
  }
  return results;
}

// Patch and Undo Patch's reports in the order of the patches (the press goes
// through them last to first), a patch's own in the order they were made, the
// summary last: the success message and the values written on out, the
// others on err.
void PrintReports(CliEnvironment& env, const LoadedGame& game, const std::vector<Report>& reports) {
  std::vector<const Report*> ordered;
  for (const Report& report : reports) ordered.push_back(&report);
  // A value written or a time not kept goes with the first patch's reports.
  const auto rank = [](const Report* report) {
    return std::visit(
        [](const auto& r) -> std::size_t {
          using Kind = std::decay_t<decltype(r)>;
          if constexpr (std::is_same_v<Kind, reports::ChecksFailed> ||
                        std::is_same_v<Kind, reports::Done>) {
            return SIZE_MAX;
          } else if constexpr (requires { r.patch; }) {
            return r.patch;
          } else {
            return 0;
          }
        },
        *report);
  };
  std::stable_sort(ordered.begin(), ordered.end(),
                   [&](const Report* a, const Report* b) { return rank(a) < rank(b); });
  for (const Report* report : ordered) {
    const ReportLine line = WordReport(
        *report, [&](const std::string& path) { return ShownPath(env, game, path); },
        env.system.Separator());
    if (line.to_output) {
      env.out << line.text << "\n" << std::flush;
    } else {
      env.err << "quillfen-cli: " << line.text << "\n";
    }
  }
}

// Why a patch's file could not be read at all, as locate shows it; false
// when it can be read.
bool ShowUnreadFile(CliEnvironment& env, const LoadedGame& game, std::size_t index,
                    const LocatedPatch& result, const std::string& shown) {
  const PatchEntry& entry = game.list.At(index);
  std::ostream& out = env.out;
  switch (result.failure) {
    case LocateFailure::kForeignName:
      for (const std::string& value : {entry.modfile, entry.undofile}) {
        const std::string name = FileNamePart(value);
        if (const auto fault = ForeignNameReason(name)) {
          const std::string reason = NameFaultText(*fault);
          out << "  file name " << Quoted(name) << ": names no file of the folder (" << reason
              << ")\n";
          env.err << "quillfen-cli: patch #" << index + 1 << " names " << Quoted(name)
                  << ", which is no file of " << game.folder << ": " << reason << "\n";
          break;
        }
      }
      return true;
    case LocateFailure::kFileMissing: {
      // Locating found no file at the path: nothing is read again to say so.
      out << "  file: not found\n";
      env.err << "quillfen-cli: " << MissingFileText(shown, index) << "\n";
      return true;
    }
    case LocateFailure::kCutValue:
      out << "  definition: " << entry.cut << " is too long to be read whole\n";
      env.err << "quillfen-cli: patch #" << index + 1 << ": its " << entry.cut
              << " is too long to be read whole (2999 characters or more); correct the "
                 "definition file\n";
      return true;
    case LocateFailure::kTooLarge:
      out << "  file: too large to patch\n";
      env.err << "quillfen-cli: cannot patch " << shown << ": larger than " << kMaxGameFileSize
              << " bytes\n";
      return true;
    default:
      return false;
  }
}

// The undo record's state, as locate shows it.
void ShowRecord(CliEnvironment& env, const LoadedGame& game, const LocatedPatch& result) {
  const RecordJudgement& record = result.record;
  std::ostream& out = env.out;
  out << "  undo record: ";
  switch (record.state) {
    case RecordState::kNone:
      out << "none (" << DiskName(env, game, result.undofile) << ")\n";
      break;
    case RecordState::kValid:
      out << (record.aside ? "valid, kept aside by a Patch (" : "valid (")
          << DiskName(env, game, record.path) << ")\n";
      break;
    case RecordState::kKeptOriginals:
      out << (record.aside ? "valid, kept aside by a Patch, the file changed since ("
                           : "valid, the file changed since (")
          << DiskName(env, game, record.path) << ")\n";
      break;
    case RecordState::kNotMatching:
      out << "present but not matching the file (" << DiskName(env, game, record.path) << ")\n";
      break;
  }
}

// One patch as locate shows it; returns whether it was located.
bool ShowPatch(CliEnvironment& env, LoadedGame& game, std::size_t index) {
  const PatchEntry& entry = game.list.At(index);
  const LocateReport report = ReportLocation(env.system, game.folder, entry);
  const LocatedPatch& result = report.patch;
  std::ostream& out = env.out;
  const std::string shown = ShownPath(env, game, result.modfile);
  out << "patch #" << index + 1 << ": " << shown << "\n";
  if (ShowUnreadFile(env, game, index, result, shown)) return false;
  const std::int64_t count = report.occurrences.value_or(0);
  out << "  signature: " << count << (count == 1 ? " occurrence" : " occurrences");
  if (report.start >= 0) {
    out << "; occurrence " << entry.occur << " at " << Position(report.start) << "\n";
  } else {
    out << "; occurrence " << entry.occur << " not found\n";
  }
  const auto axis = [&](const char* name, bool has, std::int32_t position, std::int32_t value) {
    out << "  " << name << ": ";
    if (!has) {
      out << "not changed\n";
    } else if (result.failure == LocateFailure::kOutsideFile) {
      out << "at " << Position(position) << ", which lies outside the file\n";
    } else if (!result.located) {
      out << "not located\n";
    } else {
      out << value << " at " << Position(position) << "\n";
    }
  };
  const Places at = result.places.value_or(Places{});
  axis("width", entry.hasx, at.x, result.width);
  axis("height", entry.hasy, at.y, result.height);
  if (!result.located) {
    env.err << "quillfen-cli: patch #" << index + 1 << " is not located in " << shown
            << (result.failure == LocateFailure::kOutsideFile ? ": a value lies outside the file"
                : report.start >= 0                           ? ""
                                    : ": the signature's occurrence is not there")
            << "\n";
  }
  ShowRecord(env, game, result);
  return result.located;
}

// What the progress line shows while find walks a folder: the folder cut at
// the front to fit.
std::string SearchingText(const std::string& folder) {
  std::string text = "searching " + folder;
  constexpr std::size_t kWidth = ProgressLine::kWidth;
  if (text.size() > kWidth) text = "searching ..." + text.substr(text.size() - (kWidth - 13));
  return text;
}

template <typename Command>
int Guarded(CliEnvironment& env, Command command) {
  try {
    return command();
  } catch (const CommandFailed& failed) {
    env.err << "quillfen-cli: " << failed.message << "\n";
    return kExitFailure;
  }
}

}  // namespace

int RunGames(CliEnvironment& env, const Invocation& call) {
  return Guarded(env, [&] {
    for (const ListedGame& game : LoadGames(env, call)) {
      env.out << game.name;
      if (call.verbose) env.out << "\t" << game.file.shown;
      env.out << "\n";
    }
    return kExitSuccess;
  });
}

namespace {

// Checks one definition file; its diagnostics and their count go to out.
// Returns whether it holds an error.
bool CheckOneFile(CliEnvironment& env, const std::string& text, const std::string& shown) {
  const DefinitionCheck check = CheckDefinitions(text);
  std::size_t errors = 0;
  for (const Diagnostic& d : check.diagnostics) {
    const bool error = d.severity == Severity::kError;
    errors += error ? 1 : 0;
    env.out << shown << ":" << d.line << ": " << (error ? "error: " : "warning: ") << d.text
            << "\n";
  }
  if (!check.diagnostics.empty()) {
    const std::size_t warnings = check.diagnostics.size() - errors;
    env.out << shown << ": " << errors << (errors == 1 ? " error, " : " errors, ") << warnings
            << (warnings == 1 ? " warning" : " warnings") << "\n";
  }
  return errors > 0;
}

}  // namespace

int RunCheck(CliEnvironment& env, const Invocation& call) {
  // Checks one file ("-": standard input), shown as the user sees it.
  const auto check = [&](const std::string& path, const std::string& shown) {
    return Guarded(env, [&] {
      std::string text;
      if (path == "-") {
        if (env.in) text.assign(std::istreambuf_iterator<char>(*env.in), {});
        if (!env.in || env.in->bad()) Fail("cannot read standard input");
      } else {
        const Bytes bytes = ReadDefinitionFile(env, path);
        text.assign(bytes.begin(), bytes.end());
      }
      return CheckOneFile(env, text, path == "-" ? "(standard input)" : shown) ? kExitFailure
                                                                               : kExitSuccess;
    });
  };
  bool failed = false;
  if (!call.files.empty()) {
    for (const std::string& typed : call.files) {
      const std::string path = typed == "-" ? typed : env.system.FullPath(typed);
      failed = check(path, typed) != kExitSuccess || failed;
    }
    return failed ? kExitFailure : kExitSuccess;
  }
  return Guarded(env, [&] {
    const std::vector<DefinitionFile> files = DefinitionFiles(call);
    for (const DefinitionFile& file : files) {
      failed = check(file.path, file.shown) != kExitSuccess || failed;
    }
    if (files.size() > 1) {
      // Which file each game comes from, the user's own winning.
      const std::vector<ListedGame> games = LoadGames(env, call);
      for (const DefinitionFile& file : files) {
        env.out << file.shown << ": games:";
        const char* separator = " ";
        for (const ListedGame& game : games) {
          if (game.file.path != file.path) continue;
          env.out << separator << Quoted(game.name);
          separator = ", ";
        }
        env.out << (*separator == ' ' ? " none\n" : "\n");
      }
    }
    return failed ? kExitFailure : kExitSuccess;
  });
}

int RunLocate(CliEnvironment& env, const Invocation& call) {
  return Guarded(env, [&] {
    LoadedGame game = LoadGame(env, call);
    bool all = true;
    for (std::size_t i = 0; i < game.list.Count(); ++i) all = ShowPatch(env, game, i) && all;
    return all ? kExitSuccess : kExitFailure;
  });
}

int RunPatch(CliEnvironment& env, const Invocation& call) {
  return Guarded(env, [&] {
    LoadedGame game = LoadGame(env, call);
    const OperationResult result =
        ApplyPatches(env.system, game.list, game.folder, call.width, call.height, {}, game.ini);
    PrintReports(env, game, result.reports);
    return result.done ? kExitSuccess : kExitFailure;
  });
}

int RunUndo(CliEnvironment& env, const Invocation& call) {
  return Guarded(env, [&] {
    LoadedGame game = LoadGame(env, call);
    // As the window offers Undo Patch.
    const std::vector<LocatedPatch> results = LocateAll(env, game);
    if (!CanUndo(results)) {
      for (std::size_t i = 0; i < results.size(); ++i) {
        const std::string shown = ShownPath(env, game, results[i].modfile);
        if (results[i].failure == LocateFailure::kFileMissing &&
            !env.system.FileExists(results[i].modfile)) {
          Fail("nothing to undo: " + MissingFileText(shown, i));
        }
        if (!results[i].located) {
          Fail("nothing to undo: patch #" + std::to_string(i + 1) + " is not located in " + shown);
        }
      }
      Fail("nothing to undo: no undo record matches " + ShownPath(env, game, results[0].modfile) +
           " (patch #1)");
    }
    const OperationResult result = RemovePatches(env.system, game.list, game.folder, {}, game.ini);
    PrintReports(env, game, result.reports);
    return result.done ? kExitSuccess : kExitFailure;
  });
}

int RunFind(CliEnvironment& env, const Invocation& call) {
  return Guarded(env, [&] {
    const ListedGame game = FindGame(env, call);
    const std::string& name = game.name;
    PatchList list;
    const std::string checkfile =
        FileNamePart(LoadGamePatches(env.system, game.file.path, name, list).checkfile);
    if (checkfile.empty()) Fail("game " + Quoted(name) + " has no checkfile to search for");

    std::vector<SearchRoot> roots;
    for (const std::string& typed : call.roots) roots.push_back({GameFolder(env, typed), {}});
    if (call.roots.empty()) {
      GameRoots found = GameSearchRoots(env.system);
      roots = std::move(found.roots);
      if (call.verbose) {
        for (const SkippedLauncherFile& skipped : found.skipped) {
          env.err << "quillfen-cli: ";
          if (skipped.missing) {
            env.err << "skipped " << skipped.path << ": not found\n";
          } else if (skipped.error) {
            env.err << FileErrorText(*skipped.error) << "; skipped\n";
          } else {
            env.err << "skipped " << skipped.path << ": not in its launcher's format\n";
          }
        }
      }
    }

    // A reader that has what it wanted ends the walk at the next folder.
    ProgressLine progress(env.err);
    const FolderVisitor entering = [&](const std::string& folder) {
      if (env.out_closed()) return WalkStep::kQuit;
      if (env.err_is_terminal) progress.Show([&] { return SearchingText(folder); });
      return WalkStep::kContinue;
    };
    // Each folder is printed once, as soon as it is found, however many roots
    // reach it: the check files found are told apart by the system's identity.
    std::set<std::string> found;
    const auto report = [&](const std::string& path) {
      if (!found.insert(env.system.FileIdentity(path)).second) return WalkStep::kContinue;
      progress.Clear();
      // The folder without its final separator, but a root ("C:\\", "/") with it.
      const char separator = env.system.Separator();
      std::string folder = FolderOfPath(path, separator);
      if (!folder.empty() &&
          !FolderOfPath(std::string_view(folder).substr(0, folder.size() - 1), separator).empty()) {
        folder.pop_back();
      }
      env.out << folder << "\n" << std::flush;
      return WalkStep::kContinue;
    };
    for (const SearchRoot& root : roots) {
      if (WalkFolder(env.system, root.folder, checkfile, root.rules, report, entering) ==
          WalkStep::kQuit) {
        return kExitSuccess;
      }
    }
    progress.Clear();
    if (found.empty()) Fail("no folder holds " + checkfile);
    return kExitSuccess;
  });
}

}  // namespace quillfen
