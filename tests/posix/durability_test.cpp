// What the POSIX system puts on the disk before it returns, and what it does
// when the system fails where a healthy disk never does: nothing short of a
// power cut shows a missing fsync, so the test program takes the place of the
// C library's fsync, close, pwrite, read, fcntl, fstat and open (the program's
// own definitions win at link time), notes which files they reach, passes each
// call on, and makes one fail, fall short or meet a race where a test asks.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_error.h"
#include "platform/posix/posix_system.h"
#include "posix/temp_folder.h"
#include "support/file_error_of.h"
#include "ui/error_text.h"
#include "words/fault_words.h"

namespace {

bool noting = false;
std::vector<std::string> synced;  // the path of each descriptor fsync reached, while noting
std::string failing_close;        // a path whose close reports an input/output error
// How the writes of one path go: each call takes the next answer (an errno to
// fail with, 0 to write at most half the bytes asked, kNothing to write no
// byte and say so), then they go through.
constexpr int kNothing = -2;
std::string odd_writes;
std::vector<int> write_answers;
// The same for the reads of one path (0: read at most half the bytes asked,
// kNothing: find the end, as in a file that shrank),
// and for the attempts to lock it (0: let the attempt through).
std::string odd_reads;
std::vector<int> read_answers;
std::string odd_locks;
std::vector<int> lock_answers;
std::string odd_stats;  // the same for fstat of the path
std::vector<int> stat_answers;
// Another program creates this file just before this program's first attempt
// to create it anew.
std::string created_meanwhile;
std::string refused_open;    // a path whose every open fails with EACCES
std::string refused_unlink;  // a path whose removal fails with EPERM
std::string refused_access;  // a path access() says no to, with EACCES

std::string PathOf(int fd) {
  char path[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// The next answer for a call on `fd` when it is the odd path; -1 when the call goes through.
int NextAnswer(int fd, const std::string& odd, std::vector<int>& answers) {
  if (odd.empty() || answers.empty() || PathOf(fd) != odd) return -1;
  const int answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

}  // namespace

extern "C" int fsync(int fd) {
  if (noting) synced.push_back(PathOf(fd));
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t position) {
  const int answer = NextAnswer(fd, odd_writes, write_answers);
  if (answer == kNothing) return 0;
  if (answer > 0) {
    errno = answer;
    return -1;
  }
  if (answer == 0) size = size / 2;
  return ::syscall(SYS_pwrite64, fd, data, size, position);
}

extern "C" ssize_t read(int fd, void* data, size_t size) {
  const int answer = NextAnswer(fd, odd_reads, read_answers);
  if (answer == kNothing) return 0;
  if (answer > 0) {
    errno = answer;
    return -1;
  }
  if (answer == 0) size = (size + 1) / 2;
  return ::syscall(SYS_read, fd, data, size);
}

extern "C" int unlink(const char* path) {
  if (!refused_unlink.empty() && refused_unlink == path) {
    errno = EPERM;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_unlinkat, AT_FDCWD, path, 0));
}

extern "C" int access(const char* path, int mode) {
  if (!refused_access.empty() && refused_access == path) {
    errno = EACCES;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_faccessat, AT_FDCWD, path, mode));
}

extern "C" int fstat(int fd, struct stat* info) {
  if (const int answer = NextAnswer(fd, odd_stats, stat_answers); answer > 0) {
    errno = answer;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_fstat, fd, info));
}

extern "C" int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & O_CREAT) {
    va_list rest;
    va_start(rest, flags);
    mode = va_arg(rest, mode_t);
    va_end(rest);
  }
  if (!refused_open.empty() && refused_open == path) {
    errno = EACCES;
    return -1;
  }
  if ((flags & O_EXCL) && !created_meanwhile.empty() && created_meanwhile == path) {
    created_meanwhile.clear();
    ::syscall(SYS_close, ::syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT, 0644));
  }
  return static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

namespace {

int LockOrFail(int fd, int command, void* argument) {
  if (command == F_OFD_SETLK) {
    if (const int answer = NextAnswer(fd, odd_locks, lock_answers); answer > 0) {
      errno = answer;
      return -1;
    }
  }
  return static_cast<int>(::syscall(SYS_fcntl, fd, command, argument));
}

}  // namespace

extern "C" int fcntl(int fd, int command, ...) {
  va_list rest;
  va_start(rest, command);
  void* const argument = va_arg(rest, void*);
  va_end(rest);
  return LockOrFail(fd, command, argument);
}

extern "C" int fcntl64(int fd, int command, ...) {
  va_list rest;
  va_start(rest, command);
  void* const argument = va_arg(rest, void*);
  va_end(rest);
  return LockOrFail(fd, command, argument);
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

using testing::FileErrorCodeOf;
using testing::FileErrorOf;
using testing::TempFolder;

// The words of the file error a call throws; empty when it throws none.
std::string ErrorTextOf(const std::function<void()>& call) {
  const std::optional<FileError> error = FileErrorOf(call);
  return error ? FileErrorText(*error) : std::string();
}

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
      {{0, kNothing}, "Input/output error"},
  };
  for (const auto& c : cases) {
    for (const bool in_place : {false, true}) {
      TempFolder folder;
      PosixSystem system;
      folder.Write("game.exe", "........");
      odd_writes = Real(folder.Path()) + "/game.exe";
      write_answers = c.answers;
      const Bytes bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g'};
      const std::string error = ErrorTextOf([&] {
        if (in_place) {
          system.HoldFile(folder.Path() + "game.exe")->WriteAt(1, bytes);
        } else {
          system.WriteWholeFile(folder.Path() + "game.exe", bytes);
        }
      });
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

// A read cut short goes on where it stopped, an interrupted one is made again,
// and any other error fails with the system's reason.
TEST(PosixDurability, ShortAndInterruptedReadsGoOnAndOtherErrorsFail) {
  const struct {
    std::vector<int> answers;
    const char* error;  // nullptr: the read gives `content`
    const char* content = "abcdefgh";
  } cases[] = {
      {{0, 0, 0}, nullptr},
      {{EINTR, 0, EINTR}, nullptr},
      {{EIO}, "Input/output error"},
      {{0, EISDIR}, "Is a directory"},
      {{0, kNothing}, nullptr, "abcd"},  // the file shrank while it was read
  };
  for (const auto& c : cases) {
    TempFolder folder;
    PosixSystem system;
    folder.Write("game.undo", "abcdefgh");
    odd_reads = Real(folder.Path()) + "/game.undo";
    read_answers = c.answers;
    Bytes content;
    const std::string error =
        ErrorTextOf([&] { content = system.ReadWholeFile(folder.Path() + "game.undo"); });
    odd_reads.clear();
    if (c.error) {
      EXPECT_NE(error.find(c.error), std::string::npos) << c.answers.size() << ": " << error;
    } else {
      EXPECT_EQ(error, "");
      EXPECT_EQ(std::string(content.begin(), content.end()), c.content);
    }
  }
}

// A game file is held only under the lock that tells other copies of the
// program it is taken: an attempt interrupted, or refused while another copy
// holds the lock for a moment, is made again, and one it keeps is refused as
// held; a file system that takes no locks refuses the hold with its reason,
// rather than let it go unguarded.
TEST(PosixDurability, AHoldIsLockedOrRefused) {
  const struct {
    std::vector<int> answers;
    const char* error;  // nullptr: the file is held
  } cases[] = {
      {{EINTR}, nullptr},
      {{EAGAIN, EACCES}, nullptr},
      {{ENOLCK}, "No locks available"},
      // Held on past the wait: refused as held (and not waited for forever).
      {std::vector<int>(25, EAGAIN), "Another copy of the program is changing this file"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    PosixSystem system;
    folder.Write("game.exe", "abcdefgh");
    odd_locks = Real(folder.Path()) + "/game.exe";
    lock_answers = c.answers;
    const std::string error = ErrorTextOf([&] { system.HoldFile(folder.Path() + "game.exe"); });
    odd_locks.clear();
    if (c.error) {
      EXPECT_NE(error.find(c.error), std::string::npos) << c.answers.size() << ": " << error;
    } else {
      EXPECT_EQ(error, "") << c.answers.front();
    }
  }
}

// A descriptor the system cannot describe is no file to read, hold or write:
// each call that asks fails with the system's reason (a time it cannot tell
// is no time), wherever in the call the question comes.
TEST(PosixDurability, AFileTheSystemCannotDescribeIsRefused) {
  const struct {
    const char* what;
    bool held_first;  // the answers start once the file is held
    std::vector<int> answers;
    std::function<void(PosixSystem&, const std::string&, HeldFile*)> call;
  } cases[] = {
      {"whole read", false, {EIO}, [](PosixSystem& s, auto& p, auto) { s.ReadWholeFile(p); }},
      {"hold, opening", false, {EIO}, [](PosixSystem& s, auto& p, auto) { s.HoldFile(p); }},
      {"hold, locked", false, {0, EIO}, [](PosixSystem& s, auto& p, auto) { s.HoldFile(p); }},
      {"size", true, {EIO}, [](PosixSystem&, auto&, HeldFile* h) { h->Size(); }},
      {"content", true, {EIO}, [](PosixSystem&, auto&, HeldFile* h) { h->Content(); }},
      {"write", true, {EIO}, [](PosixSystem&, auto&, HeldFile* h) { h->WriteAt(0, Bytes{'X'}); }},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    PosixSystem system;
    folder.Write("game.exe", "abcdefgh");
    const std::string path = folder.Path() + "game.exe";
    const std::unique_ptr<HeldFile> held = c.held_first ? system.HoldFile(path) : nullptr;
    odd_stats = Real(path);
    stat_answers = c.answers;
    const std::string error = ErrorTextOf([&] { c.call(system, path, held.get()); });
    if (held) {
      stat_answers = {EIO};
      EXPECT_EQ(held->ModificationTime(), std::nullopt) << c.what;
    }
    odd_stats.clear();
    EXPECT_NE(error.find("Input/output error"), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(folder.Text("game.exe"), "abcdefgh") << c.what;
  }
}

// A record place is judged by what the system does with it when it is tried:
// one another program creates between the look and the trial creation is
// judged as the file it now is (no refusal for a plain file, which is left in
// place), and one it will not open is refused.
TEST(PosixDurability, ARecordPlaceIsJudgedAsItIsWhenItIsTried) {
  TempFolder folder;
  PosixSystem system;
  const std::string place = folder.Path() + "game.undo";
  created_meanwhile = place;
  EXPECT_EQ(system.CreateRefusal(place), std::nullopt);
  EXPECT_TRUE(created_meanwhile.empty());
  created_meanwhile.clear();
  EXPECT_TRUE(system.FileExists(place));
  // An existing place the system will not open for writing (a permission
  // its mode does not show: an access list, a read-only mount) is refused.
  refused_open = place;
  const Refusal refusal = system.CreateRefusal(place);
  refused_open.clear();
  ASSERT_NE(refusal, std::nullopt);
  EXPECT_EQ(refusal->Code(), EACCES);
}

// What the system refuses on the way to holding, moving or removing a file is
// reported with its reason, and the file stays: a game file it will not open,
// a record to move that is gone, a file it will not unlink, a folder it will
// not let the program change.
TEST(PosixDurability, WhatTheSystemRefusesIsReportedAndTheFileStays) {
  TempFolder folder;
  PosixSystem system;
  const std::string game = folder.Write("game.exe", "x");
  const std::string record = folder.Write("game.undo", "1");
  refused_open = Real(game);
  EXPECT_EQ(FileErrorCodeOf([&] { system.HoldFile(game); }), EACCES);
  refused_open.clear();
  EXPECT_EQ(FileErrorCodeOf([&] { system.MoveOver(folder.Path() + "gone.new", record); }), ENOENT);
  refused_unlink = Real(record);
  EXPECT_EQ(FileErrorCodeOf([&] { system.RemoveFile(record); }), EPERM);
  refused_unlink.clear();
  refused_access = folder.Path();
  const Refusal refusal = system.RemoveRefusal(record);
  EXPECT_EQ(system.RemoveRefusal(folder.Path() + "gone.undo"), std::nullopt);  // nothing to remove
  refused_access.clear();
  ASSERT_NE(refusal, std::nullopt);
  EXPECT_EQ(refusal->Code(), EACCES);
  EXPECT_EQ(folder.Text("game.exe"), "x");
  EXPECT_EQ(folder.Text("game.undo"), "1");
}

}  // namespace
}  // namespace quillfen
