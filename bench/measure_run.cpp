// Runs a command once and prints how long it took (wall-clock seconds) and the
// most anonymous memory it held (kibibytes of RssAnon in /proc/PID/status,
// read every quarter millisecond while it runs):
//
//   measure_run COMMAND [ARGUMENT...]
//
// The command's standard output goes to /dev/null; its exit status becomes
// this program's. Linux only.
#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

double Now() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// RssAnon of the process in KiB, or -1 once it cannot be read.
long AnonymousKib(int status_fd) {
  char text[4096];
  const ssize_t length = pread(status_fd, text, sizeof text - 1, 0);
  if (length <= 0) return -1;
  text[length] = '\0';
  const char* line = std::strstr(text, "\nRssAnon:");
  return line == nullptr ? -1 : std::strtol(line + 9, nullptr, 10);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: measure_run COMMAND [ARGUMENT...]\n");
    return 2;
  }
  const double start = Now();
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    _exit(127);
  }
  const std::string status_path = "/proc/" + std::to_string(child) + "/status";
  const int status_fd = open(status_path.c_str(), O_RDONLY | O_CLOEXEC);
  long peak = 0;
  int status = 0;
  for (;;) {
    // Read before reaping: a process that has exited reports no memory.
    if (status_fd >= 0) {
      const long now = AnonymousKib(status_fd);
      if (now > peak) peak = now;
    }
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    const timespec pause{0, 250000};
    nanosleep(&pause, nullptr);
  }
  const double elapsed = Now() - start;
  if (status_fd >= 0) close(status_fd);
  std::printf("%.6f %ld\n", elapsed, peak);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
