#include "platform/posix/file_users.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace quillfen {

namespace {

struct CloseDir {
  void operator()(DIR* folder) const noexcept { ::closedir(folder); }
};
using UniqueDir = std::unique_ptr<DIR, CloseDir>;

bool HasOpen(const std::string& process, dev_t device, ino_t inode) {
  const std::string folder = process + "/fd/";
  const UniqueDir descriptors(::opendir(folder.c_str()));
  if (!descriptors) return false;
  while (const dirent* entry = ::readdir(descriptors.get())) {
    if (entry->d_name[0] == '.') continue;
    struct stat info;
    // stat follows the descriptor's link to the open file itself.
    if (::stat((folder + entry->d_name).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_dev == device && info.st_ino == inode) {
      return true;
    }
  }
  return false;
}

// A line of /proc/PID/maps: "start-end perms offset major:minor inode path".
// Only the lines that hold the inode's number are parsed: a process may map
// thousands of files.
bool HasMapped(const std::string& process, dev_t device, ino_t inode) {
  std::ifstream maps(process + "/maps");
  std::ostringstream read;
  read << maps.rdbuf();
  const std::string text = read.str();
  std::string number(1, ' ');
  number += std::to_string(inode);
  number += ' ';
  for (std::size_t at = text.find(number); at != std::string::npos;
       at = text.find(number, at + 1)) {
    const std::size_t start = text.rfind('\n', at);
    const std::string line =
        text.substr(start == std::string::npos ? 0 : start + 1, at + number.size());
    unsigned major_number = 0;
    unsigned minor_number = 0;
    unsigned long long node = 0;
    if (std::sscanf(line.c_str(), "%*s %*s %*s %x:%x %llu", &major_number, &minor_number,
                    &node) == 3 &&
        node == inode && makedev(major_number, minor_number) == device) {
      return true;
    }
  }
  return false;
}

std::string CommandOf(const std::string& process) {
  std::ifstream comm(process + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace

std::optional<std::string> OtherProcessUsing(dev_t device, ino_t inode) {
  const UniqueDir processes(::opendir("/proc"));
  if (!processes) return std::nullopt;
  const std::string self = std::to_string(::getpid());
  while (const dirent* entry = ::readdir(processes.get())) {
    const std::string pid = entry->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
      continue;
    }
    const std::string process = "/proc/" + pid;
    if (HasOpen(process, device, inode) || HasMapped(process, device, inode)) {
      return "process " + pid + " (" + CommandOf(process) + ")";
    }
  }
  return std::nullopt;
}

}  // namespace quillfen
