// Holds a game file as Patch and Undo Patch hold it, until a line (or the end
// of input) comes on standard input, so that the other build of quillfen-cli
// can be run against the held file. Prints "held" once it holds the file; on
// a refusal prints the error and exits with 1.
//
//   hold_file PATH
#include <cstdio>
#include <memory>

#include "platform/file_error.h"
#if defined(_WIN32)
#include "platform/win32/win32_system.h"
using NativeSystem = quillfen::Win32System;
#else
#include "platform/posix/posix_system.h"
using NativeSystem = quillfen::PosixSystem;
#endif

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: hold_file PATH\n", stderr);
    return 2;
  }
  NativeSystem system;
  try {
    const std::unique_ptr<quillfen::HeldFile> held = system.HoldFile(argv[1]);
    std::puts("held");
    std::fflush(stdout);
    std::getchar();
  } catch (const quillfen::FileError& error) {
    std::fprintf(stderr, "%s: %s\n", error.Path().c_str(), error.Description().c_str());
    return 1;
  }
  return 0;
}
