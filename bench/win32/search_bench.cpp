// Times the folder search over a generated tree of about 20,000 folders and
// 100,000 files against a plain FindFirstFileA walk of the same tree, in the
// same run: once with no progress callback; once as the window runs it, through
// the window's ProgressThrottle code into a real STATIC label that is set and
// repainted as the search panel's label is; and once with that label repainted
// at every folder, for comparison.
//
//   search_bench <root>      (for example: search_bench R:\ on a test drive)
//
// The tree is made in the folder qf-search-bench of <root> the first time and kept.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/win32_system.h"
#include "search/folder_search_internal.h"
#include "search/progress_throttle.h"
#include "seconds.h"

namespace {

using quillfen::Win32System;

constexpr int kTop = 20;       // folders below the tree's root
constexpr int kMiddle = 20;    // below each of those
constexpr int kLeaves = 49;    // below each middle folder
constexpr int kLeafFiles = 5;  // files in each leaf folder
constexpr int kMiddleFiles = 5;
constexpr int kRounds = 3;

std::string Numbered(const char* prefix, int n) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%03d", prefix, n);
  return text;
}

void MakeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

struct TreeSize {
  long folders = 0;
  long files = 0;
};

// Makes the tree unless a finished one is there; returns its size.
TreeSize MakeTree(const std::string& tree) {
  TreeSize size;
  const std::string done = tree + "tree-complete.txt";
  const bool complete = GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!complete) CreateDirectoryA(tree.c_str(), nullptr);
  for (int t = 0; t < kTop; ++t) {
    const std::string top = tree + Numbered("Top", t) + "\\";
    if (!complete) CreateDirectoryA(top.c_str(), nullptr);
    ++size.folders;
    for (int m = 0; m < kMiddle; ++m) {
      const std::string middle = top + Numbered("Middle", m) + "\\";
      ++size.folders;
      if (!complete) {
        CreateDirectoryA(middle.c_str(), nullptr);
        for (int f = 0; f < kMiddleFiles; ++f) MakeFile(middle + Numbered("data", f) + ".bin");
      }
      size.files += kMiddleFiles;
      for (int l = 0; l < kLeaves; ++l) {
        const std::string leaf = middle + Numbered("Leaf", l) + "\\";
        ++size.folders;
        if (!complete) {
          CreateDirectoryA(leaf.c_str(), nullptr);
          for (int f = 0; f < kLeafFiles; ++f) MakeFile(leaf + Numbered("file", f) + ".dat");
        }
        size.files += kLeafFiles;
      }
    }
  }
  if (!complete) MakeFile(done);
  ++size.files;
  return size;
}

// The baseline: every folder listed once with "*.*", hidden and system folders
// left out as the search does; returns the number of folders entered.
long PlainWalk(const std::string& folder) {
  long folders = 0;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    folders += 1 + PlainWalk(folder + name + "\\");
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return folders;
}

HWND label = nullptr;
double repaint_seconds = 0;
long reports = 0;

void ShowProgress(const std::string& path) {
  const double start = Now();
  SetWindowTextA(label, path.c_str());
  UpdateWindow(label);
  repaint_seconds += Now() - start;
  ++reports;
}

// A window like the search panel: a fixed-size, word-wrapped label for the path.
HWND MakeWindow() {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = "QuillfenSearchBench";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA(window_class.lpszClassName, "Searching...",
                              WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 100, 100, 420, 200, nullptr,
                              nullptr, window_class.hInstance, nullptr);
  label = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 40, 380, 60, window,
                        nullptr, window_class.hInstance, nullptr);
  SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  UpdateWindow(window);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  return window;
}

// Lets the X server finish drawing what the last case sent it before the next
// case is timed.
void Settle() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  Sleep(300);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: search_bench <root, e.g. R:\\>\n");
    return 2;
  }
  std::string root = argv[1];
  if (root.back() != '\\') root += '\\';
  const std::string tree = root + "qf-search-bench\\";

  double start = Now();
  const TreeSize size = MakeTree(tree);
  std::printf("tree %s: %ld folders, %ld files (ready in %.1f s)\n", tree.c_str(), size.folders,
              size.files, Now() - start);

  HWND window = MakeWindow();
  Win32System system;
  const std::vector<std::string> nothing_found;
  const std::string missing = "qf-not-there.bin";

  PlainWalk(tree);  // warms the caches
  std::vector<double> walk, silent, window_like, every, painting;
  long walked = 0;
  long window_reports = 0;
  long every_reports = 0;
  for (int round = 0; round < kRounds; ++round) {
    Settle();
    start = Now();
    walked = PlainWalk(tree);
    walk.push_back(Now() - start);

    std::string result;
    Settle();
    start = Now();
    quillfen::search_internal::FirstFound(system, tree, missing, {}, nothing_found, result,
                                          nullptr);
    silent.push_back(Now() - start);

    // As finditClick runs it: a fresh throttle on the window's clock.
    Settle();
    reports = 0;
    start = Now();
    quillfen::search_internal::FirstFound(
        system, tree, missing, {}, nothing_found, result,
        quillfen::ThrottleProgress(ShowProgress, quillfen::SteadyMilliseconds));
    window_like.push_back(Now() - start);
    window_reports = reports;

    Settle();
    repaint_seconds = 0;
    reports = 0;
    start = Now();
    quillfen::search_internal::FirstFound(system, tree, missing, {}, nothing_found, result,
                                          ShowProgress);
    every.push_back(Now() - start);
    painting.push_back(repaint_seconds);
    every_reports = reports;
    if (!result.empty()) std::printf("unexpected find: %s\n", result.c_str());
  }
  DestroyWindow(window);

  const double w = Median(walk), s = Median(silent), t = Median(window_like), p = Median(every),
               r = Median(painting);
  std::printf("medians of %d rounds, %ld folders entered:\n", kRounds, walked);
  std::printf("  plain FindFirstFileA walk         %8.3f s  %7.1f us/folder\n", w,
              1e6 * w / walked);
  std::printf("  search, no progress               %8.3f s  %7.1f us/folder  %.2f x walk\n", s,
              1e6 * s / walked, s / w);
  std::printf(
      "  search as the window runs it      %8.3f s  %7.1f us/folder  %.2f x walk"
      "  (%ld label updates)\n",
      t, 1e6 * t / walked, t / w, window_reports);
  std::printf(
      "  search, label at every folder     %8.3f s  %7.1f us/folder  %.2f x walk"
      "  (%ld label updates)\n",
      p, 1e6 * p / walked, p / w, every_reports);
  std::printf(
      "  time in SetWindowTextA + UpdateWindow at every folder %.3f s = %.0f%%"
      " of that search\n",
      r, 100 * r / p);
  return 0;
}
