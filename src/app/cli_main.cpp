// The entry of quillfen-cli: the command line as UTF-8, the system of the
// platform, and where the definition file and the home folder lie.
#if defined(_WIN32)
#include <windows.h>
// After <windows.h>, which they need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "definitions/ini.h"

#if defined(_WIN32)
#include "platform/win32/utf8.h"
#include "platform/win32/win32_owners.h"
#include "platform/win32/win32_system.h"
#else
#include "cli/definition_places.h"
#include "platform/posix/posix_system.h"
#endif

namespace {

// Ends the program with the command's status, unless what it wrote to standard
// output did not all arrive (a full disk, a closed standard output): then with
// the reason on standard error and status 1. A reader that stopped early
// (a broken pipe) is no failure of the command.
int Finish(int status) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  const int error = errno;
#if defined(EPIPE)
  if (error == EPIPE) return status;
#endif
  std::fprintf(stderr, "quillfen-cli: cannot write standard output: %s\n",
               error != 0 ? std::strerror(error) : "write error");
  return quillfen::kExitFailure;
}

}  // namespace

#if defined(_WIN32)

int main() {
  // The arguments as the system holds them, in UTF-16, made UTF-8.
  int count = 0;
  const quillfen::win32::UniqueArgv wide(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(quillfen::win32::Narrow(wide.Get()[i]));
  // The program writes UTF-8; the console shows it as such.
  SetConsoleOutputCP(CP_UTF8);

  quillfen::Win32System system;
  quillfen::CliEnvironment env(system, std::cout, std::cerr);
  // check - reads a definition file's bytes as they are: UTF-16 included.
  _setmode(_fileno(stdin), _O_BINARY);
  env.in = &std::cin;
  env.err_is_terminal = _isatty(_fileno(stderr)) != 0;
  env.default_ini = quillfen::DefinitionFilePath(system);
  return Finish(quillfen::RunCli(args, env));
}

#else

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  quillfen::PosixSystem system;
  quillfen::CliEnvironment env(system, std::cout, std::cerr);
  env.in = &std::cin;
  env.err_is_terminal = isatty(STDERR_FILENO) != 0;
  // The write end of a pipe whose reader has closed it polls as an error.
  env.out_closed = [] {
    pollfd out{STDOUT_FILENO, 0, 0};
    return ::poll(&out, 1, 0) == 1 && (out.revents & (POLLERR | POLLHUP)) != 0;
  };
  // The user's own definitions in the configuration folder, then patches.ini
  // beside the program, as the window has it, or, for an installed program
  // (bin/quillfen-cli), share/quillfen/patches.ini beside its bin folder.
  const char* config_home = std::getenv("XDG_CONFIG_HOME");
  quillfen::DefinitionPlaces places =
      quillfen::FindDefinitionPlaces(system, config_home != nullptr ? config_home : "");
  env.user_ini = std::move(places.user);
  env.default_ini = std::move(places.shipped);
  env.looked = std::move(places.looked);
  return Finish(quillfen::RunCli(args, env));
}

#endif
