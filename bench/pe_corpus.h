#pragma once

// Real x86-64 code and data for the benchmarks: the PE files (DLLs,
// executables) that Wine or MinGW-w64 installed, concatenated.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quillfen::bench {

// Where Debian packages put x86-64 PE files: Wine's own DLLs, then MinGW-w64's
// runtime DLLs.
constexpr const char* kPeFolders[] = {
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows",
    "/usr/lib/wine/x86_64-windows",
    "/usr/x86_64-w64-mingw32",
    "/usr/lib/gcc/x86_64-w64-mingw32",
};

inline bool IsX8664Pe(const std::vector<std::uint8_t>& file) {
  if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') return false;
  std::uint32_t pe = 0;
  std::memcpy(&pe, file.data() + 0x3C, 4);
  if (pe > file.size() - 6) return false;
  return std::memcmp(file.data() + pe, "PE\0\0", 4) == 0 && file[pe + 4] == 0x64 &&
         file[pe + 5] == 0x86;
}

// The x86-64 PE files of the first folders that hold any, in name order,
// concatenated and cut at `size` bytes; empty when there are none.
inline std::vector<std::uint8_t> LoadPeCorpus(std::size_t size) {
  namespace fs = std::filesystem;
  std::vector<std::uint8_t> corpus;
  for (const char* folder : kPeFolders) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) continue;
    std::vector<fs::path> paths;
    for (fs::recursive_directory_iterator
             it(folder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error)) {
      std::string extension = it->path().extension().string();
      std::transform(extension.begin(), extension.end(), extension.begin(),
                     [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
      if ((extension == ".dll" || extension == ".exe") && it->is_regular_file(error)) {
        paths.push_back(it->path());
      }
    }
    std::sort(paths.begin(), paths.end());
    std::size_t files = 0;
    for (const fs::path& path : paths) {
      std::ifstream in(path, std::ios::binary);
      const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
      if (!IsX8664Pe(file)) continue;
      corpus.insert(corpus.end(), file.begin(), file.end());
      ++files;
      if (corpus.size() >= size) break;
    }
    if (files > 0) {
      std::fprintf(stderr, "Executable code: %zu x86-64 PE files from %s\n", files, folder);
    }
    if (corpus.size() >= size) break;
  }
  if (corpus.size() > size) corpus.resize(size);
  return corpus;
}

}  // namespace quillfen::bench
