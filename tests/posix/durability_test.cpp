// What the POSIX system puts on the disk before it returns: nothing short of a
// power cut shows a missing fsync, so the test program takes the place of the
// C library's fsync, close and pwrite (the program's own definitions win at
// link time), notes which files they reach, passes each call on, and makes
// one fail or fall short where a test asks.
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
#include "ui/error_text.h"
#include "platform/posix/posix_system.h"
#include "posix/temp_folder.h"
#include "words/fault_words.h"

namespace {

bool noting = false;
std::vector<std::string> synced;  // the path of each descriptor fsync reached, while noting
std::string failing_close;        // a path whose close reports an input/output error
// How the writes of one path go: each call takes the next answer (an errno to
// fail with, 0 to write at most half the bytes asked), then they go through.
std::string odd_writes;
std::vector<int> write_answers;

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

extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t position) {
  if (!odd_writes.empty() && !write_answers.empty() && PathOf(fd) == odd_writes) {
    const int answer = write_answers.front();
    write_answers.erase(write_answers.begin());
    if (answer != 0) {
      errno = answer;
      return -1;
    }
    size = size / 2;
  }
  return ::syscall(SYS_pwrite64, fd, data, size, position);
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

// A write cut short goes on where it stopped, an interrupted one is made
// again, and any other error (and a write that makes no progress) fails with
// the system's reason, for a whole file and for a write in place alike.
TEST(PosixDurability, ShortAndInterruptedWritesGoOnAndOtherErrorsFail) {
  const struct {
    std::vector<int> answers;
    const char* error;  // nullptr: the write succeeds
  } cases[] = {
      {{0, 0}, nullptr},
      {{EINTR, 0, EINTR}, nullptr},
      {{ENOSPC}, "No space left on device"},
      {{0, EIO}, "Input/output error"},
  };
  for (const auto& c : cases) {
    for (const bool in_place : {false, true}) {
      TempFolder folder;
      PosixSystem system;
      folder.Write("game.exe", "........");
      odd_writes = Real(folder.Path()) + "/game.exe";
      write_answers = c.answers;
      const Bytes bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g'};
      std::string error;
      try {
        if (in_place) {
          system.HoldFile(folder.Path() + "game.exe")->WriteAt(1, bytes);
        } else {
          system.WriteWholeFile(folder.Path() + "game.exe", bytes);
        }
      } catch (const FileError& e) {
        error = FileErrorText(e);
      }
      odd_writes.clear();
      const std::string where = std::string(in_place ? "in place, " : "whole, ") +
                                std::to_string(c.answers.size()) + " answers";
      if (c.error) {
        EXPECT_NE(error.find(c.error), std::string::npos) << where << ": " << error;
      } else {
        EXPECT_EQ(error, "") << where;
        EXPECT_EQ(folder.Text("game.exe"), in_place ? ".abcdefg" : "abcdefg") << where;
      }
    }
  }
}

}  // namespace
}  // namespace quillfen
