// What the POSIX system puts on the disk before it returns: nothing short of a
// power cut shows a missing fsync, so the test program takes the place of the
// C library's fsync and close (the program's own definitions win at link
// time), notes which files they reach and passes each call on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_error.h"
#include "platform/posix/posix_system.h"
#include "posix/temp_folder.h"

namespace {

bool noting = false;
std::vector<std::string> synced;  // the path of each descriptor fsync reached, while noting
std::string failing_close;        // a path whose close reports an input/output error

std::string PathOf(int fd) {
  char path[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

extern "C" int fsync(int fd) {
  if (noting) synced.push_back(PathOf(fd));
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int close(int fd) {
  const bool fails = !failing_close.empty() && PathOf(fd) == failing_close;
  const int result = static_cast<int>(::syscall(SYS_close, fd));
  if (fails && result == 0) {
    errno = EIO;
    return -1;
  }
  return result;
}

namespace quillfen {
namespace {

using testing::TempFolder;

std::string Real(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  std::string result = real ? real : path;
  std::free(real);
  return result;
}

TEST(PosixDurability, EachWriteAndEachFolderSyncReachesTheDisk) {
  struct Case {
    const char* what;
    std::function<void(PosixSystem&, const TempFolder&)> act;
    const char* synced;  // the name synced, "" for the folder itself
  };
  const Case cases[] = {
      {"a new file written whole",
       [](PosixSystem& system, const TempFolder& folder) {
         system.WriteWholeFile(folder.Path() + "new.undo", Bytes{'1'});
       },
       "new.undo"},
      {"a file written whole again",
       [](PosixSystem& system, const TempFolder& folder) {
         folder.Write("old.undo", "old");
         system.WriteWholeFile(folder.Path() + "old.undo", Bytes{'2'});
       },
       "old.undo"},
      {"a write in place through the hold",
       [](PosixSystem& system, const TempFolder& folder) {
         folder.Write("game.exe", "0123");
         system.HoldFile(folder.Path() + "game.exe")->WriteAt(1, Bytes{'x'});
       },
       "game.exe"},
      {"the folder's entries",
       [](PosixSystem& system, const TempFolder& folder) { system.SyncFolder(folder.Path()); }, ""},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    PosixSystem system;
    synced.clear();
    noting = true;
    c.act(system, folder);
    noting = false;
    const std::string expected = Real(folder.Path() + c.synced);
    EXPECT_NE(std::find(synced.begin(), synced.end(), expected), synced.end())
        << c.what << ": " << expected << " not synced";
  }
}

TEST(PosixDurability, AnErrorThatShowsOnlyAtCloseFailsTheWrite) {
  TempFolder folder;
  PosixSystem system;
  const std::string path = folder.Path() + "late.undo";
  failing_close = Real(folder.Path()) + "/late.undo";
  EXPECT_THROW(system.WriteWholeFile(path, Bytes{'1'}), FileError);
  failing_close.clear();
}

}  // namespace
}  // namespace quillfen
