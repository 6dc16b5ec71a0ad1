// Times what the window does with a game's files on the real Win32 layer:
// locating the patches (as when a folder is chosen), the Patch press and the
// Undo Patch press, each against one plain read of the game's first file (one
// ReadFile of the whole file into a buffer that is already in memory). Each
// figure is the shortest of the rounds; a round reads, locates, patches and
// undoes, so that each starts from the unpatched file.
//
//   large_file_bench <definition file> <game> <folder\> <width> <height> <rounds>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/text.h"
#include "definitions/game_loading.h"
#include "definitions/patch_entry.h"
#include "engine/locate.h"
#include "engine/patching.h"
#include "platform/win32/win32_system.h"
#include "seconds.h"

namespace {

using quillfen::PatchList;
using quillfen::Win32System;

// One ReadFile of the whole file into the buffer; false when it fails.
bool ReadWhole(const std::string& path, std::vector<char>& buffer) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool done = GetFileSizeEx(file, &size) != 0;
  if (done) {
    buffer.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    done = ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
           read == buffer.size();
  }
  CloseHandle(file);
  return done;
}

bool LocateAll(Win32System& system, PatchList& list, const std::string& folder) {
  bool all = true;
  for (std::size_t i = 0; i < list.Count(); ++i) {
    all = quillfen::LocatePatch(system, folder, list.At(i)).located && all;
  }
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: large_file_bench <definition file> <game> <folder\\> <width> <height> "
                 "<rounds>\n");
    return 2;
  }
  const std::string ini = argv[1];
  const std::string game = argv[2];
  const std::string folder = argv[3];
  const int width = std::atoi(argv[4]);
  const int height = std::atoi(argv[5]);
  const int rounds = std::max(1, std::atoi(argv[6]));

  Win32System system;
  PatchList list;
  quillfen::LoadGamePatches(system, ini, game, list);
  if (list.Empty()) {
    std::fprintf(stderr, "no patches for %s in %s\n", game.c_str(), ini.c_str());
    return 1;
  }
  const std::string file = folder + quillfen::FileNamePart(list.At(0).modfile);
  std::vector<char> buffer;
  if (!ReadWhole(file, buffer)) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return 1;
  }

  double read = 1e30, locate = 1e30, patch = 1e30, undo = 1e30;
  for (int round = 0; round < rounds; ++round) {
    double start = Now();
    if (!ReadWhole(file, buffer)) return 1;
    read = std::min(read, Now() - start);

    start = Now();
    const bool located = LocateAll(system, list, folder);
    locate = std::min(locate, Now() - start);
    if (!located) {
      std::fprintf(stderr, "the patches are not located in %s\n", folder.c_str());
      return 1;
    }

    start = Now();
    const bool patched = quillfen::ApplyPatches(system, list, folder, width, height).done;
    patch = std::min(patch, Now() - start);

    start = Now();
    const bool undone = patched && quillfen::RemovePatches(system, list, folder).done;
    undo = std::min(undo, Now() - start);
    if (!patched || !undone) {
      std::fprintf(stderr, "%s failed\n", patched ? "Undo Patch" : "Patch");
      return 1;
    }
  }

  std::printf("file: %s, %zu bytes; shortest of %d rounds\n", file.c_str(), buffer.size(), rounds);
  std::printf("  one ReadFile  %8.1f ms\n", read * 1e3);
  const struct {
    const char* name;
    double seconds;
  } rows[] = {{"locate", locate}, {"Patch", patch}, {"Undo Patch", undo}};
  for (const auto& row : rows) {
    std::printf("  %-12s  %8.1f ms  %6.2f times one ReadFile\n", row.name, row.seconds * 1e3,
                row.seconds / read);
  }
  return 0;
}
