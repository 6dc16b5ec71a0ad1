#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace quillfen {

// Another process that has a file open or mapped (a game running under Wine
// or Proton, whose executable the loader maps), as far as /proc tells: its
// descriptors (/proc/PID/fd) and mappings (/proc/PID/maps) are compared with
// the file's device and inode. Processes whose entries this user may not read
// are passed over. Nothing when no other process has it, or without /proc.
// The text names the process: "process 4242 (game.exe)".
std::optional<std::string> OtherProcessUsing(dev_t device, ino_t inode);

}  // namespace quillfen
