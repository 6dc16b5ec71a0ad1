// The Win32 file code against a system that fails where a real disk can and
// this machine's will not: a write, a flush, a seek, a read, a delete or an
// attribute change refused, a write or a read that does less than asked, a
// lock another copy holds, a file created meanwhile, and Windows' own rules for
// recreating hidden files and for the language of its messages, which Wine does
// not apply. The calls are redirected through the test program's import table
// (win32/import_hook.h).

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/file_error.h"
#include "platform/win32/win32_system.h"
#include "support/file_error_of.h"
#include "win32/import_hook.h"
#include "win32/real_files.h"

namespace quillfen {
namespace {

using testing::FileErrorCodeOf;
using testing::ImportHook;
using testing::ScratchFolder;

// What the system calls do wrong; all zero: nothing, each call is the real one.
struct Faults {
  DWORD write_error = 0;       // WriteFile fails with this error
  bool write_nothing = false;  // WriteFile says, once, it wrote no byte
  DWORD write_most = 0;        // WriteFile writes at most this many bytes a call
  DWORD read_most = 0;         // ReadFile reads at most this many bytes a call
  DWORD read_end = 0;          // ReadFile finds the end after this many bytes in all, once
  DWORD read_error = 0;
  DWORD flush_error = 0;
  DWORD seek_error = 0;
  DWORD attributes_error = 0;  // SetFileAttributesW
  DWORD delete_error = 0;      // DeleteFileW, which then deletes nothing
  // LockFileEx finds the lock taken by another copy (the other build, whose
  // locks are no Windows handle's) this many times.
  int locks_taken = 0;
  // Another program creates this file just before this program's first
  // attempt to create it anew.
  std::wstring created_meanwhile = {};
  // CreateFileW refuses to create anew over a hidden or system file unless the
  // new one keeps those attributes, as Windows does and Wine does not.
  bool hidden_rule = false;
};

Faults faults;
DWORD bytes_read = 0;

decltype(&WriteFile) real_write;
decltype(&ReadFile) real_read;
decltype(&FlushFileBuffers) real_flush;
decltype(&SetFilePointerEx) real_seek;
decltype(&SetFileAttributesW) real_set_attributes;
decltype(&DeleteFileW) real_delete;
decltype(&CreateFileW) real_create;
decltype(&LockFileEx) real_lock;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

BOOL WINAPI FaultyWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                        LPOVERLAPPED overlapped) {
  if (faults.write_error) return Fail(faults.write_error);
  if (faults.write_nothing) {
    // Once: a write that went on regardless then ends instead of looping.
    faults.write_nothing = false;
    *written = 0;
    return TRUE;
  }
  if (faults.write_most && size > faults.write_most) size = faults.write_most;
  return real_write(file, data, size, written, overlapped);
}

BOOL WINAPI FaultyRead(HANDLE file, LPVOID data, DWORD size, LPDWORD read,
                       LPOVERLAPPED overlapped) {
  if (faults.read_error) return Fail(faults.read_error);
  if (faults.read_most && size > faults.read_most) size = faults.read_most;
  if (faults.read_end) size = std::min<DWORD>(size, faults.read_end - bytes_read);
  if (size == 0) {
    // The end, once: a read that went on past it then fails instead of looping.
    if (faults.read_end) faults.read_error = ERROR_HANDLE_EOF;
    *read = 0;
    return TRUE;
  }
  const BOOL done = real_read(file, data, size, read, overlapped);
  if (done) bytes_read += *read;
  return done;
}

BOOL WINAPI FaultyFlush(HANDLE file) {
  return faults.flush_error ? Fail(faults.flush_error) : real_flush(file);
}

BOOL WINAPI FaultySeek(HANDLE file, LARGE_INTEGER to, PLARGE_INTEGER at, DWORD method) {
  return faults.seek_error ? Fail(faults.seek_error) : real_seek(file, to, at, method);
}

BOOL WINAPI FaultySetAttributes(LPCWSTR path, DWORD attributes) {
  return faults.attributes_error ? Fail(faults.attributes_error)
                                 : real_set_attributes(path, attributes);
}

BOOL WINAPI FaultyDelete(LPCWSTR path) {
  return faults.delete_error ? Fail(faults.delete_error) : real_delete(path);
}

HANDLE WINAPI FaultyCreate(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                           DWORD disposition, DWORD flags, HANDLE model) {
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (faults.hidden_rule && disposition == CREATE_ALWAYS) {
    const DWORD existing = GetFileAttributesW(path);
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & kept & ~flags)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
  }
  if (disposition == CREATE_NEW && !faults.created_meanwhile.empty() &&
      faults.created_meanwhile == path) {
    faults.created_meanwhile.clear();
    CloseHandle(
        real_create(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  return real_create(path, access, share, security, disposition, flags, model);
}

BOOL WINAPI TakenLock(HANDLE file, DWORD flags, DWORD reserved, DWORD low, DWORD high,
                      LPOVERLAPPED at) {
  if (faults.locks_taken > 0) {
    --faults.locks_taken;
    return Fail(ERROR_LOCK_VIOLATION);
  }
  return real_lock(file, flags, reserved, low, high, at);
}

std::string TextOf(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class Win32Faults : public ::testing::Test {
 protected:
  Win32Faults() {
    real_write = write_.Original();
    real_read = read_.Original();
    real_flush = flush_.Original();
    real_seek = seek_.Original();
    real_set_attributes = set_attributes_.Original();
    real_delete = delete_.Original();
    real_create = create_.Original();
    real_lock = lock_.Original();
  }
  ~Win32Faults() override { Arm({}); }

  void SetUp() override {
    ASSERT_TRUE(write_.Installed() && read_.Installed() && flush_.Installed() &&
                seek_.Installed() && set_attributes_.Installed() && delete_.Installed() &&
                create_.Installed() && lock_.Installed());
  }

  static void Arm(const Faults& armed) {
    faults = armed;
    bytes_read = 0;
  }

  // Declared before the hooks, so that it is removed with the real calls.
  ScratchFolder folder_{"system-faults"};
  Win32System system_;

 private:
  ImportHook<decltype(WriteFile)> write_{"WriteFile", &FaultyWrite};
  ImportHook<decltype(ReadFile)> read_{"ReadFile", &FaultyRead};
  ImportHook<decltype(FlushFileBuffers)> flush_{"FlushFileBuffers", &FaultyFlush};
  ImportHook<decltype(SetFilePointerEx)> seek_{"SetFilePointerEx", &FaultySeek};
  ImportHook<decltype(SetFileAttributesW)> set_attributes_{"SetFileAttributesW",
                                                           &FaultySetAttributes};
  ImportHook<decltype(DeleteFileW)> delete_{"DeleteFileW", &FaultyDelete};
  ImportHook<decltype(CreateFileW)> create_{"CreateFileW", &FaultyCreate};
  ImportHook<decltype(LockFileEx)> lock_{"LockFileEx", &TakenLock};
};

// A write is done only once the disk has it: every refusal on the way, the
// flush's included, is reported with the system's error, by the whole-file
// write (records) and by the in-place write (game files) alike.
TEST_F(Win32Faults, EveryWriteTheDiskRefusesIsReported) {
  const struct {
    const char* what;
    Faults fault;
    DWORD error;
  } cases[] = {
      {"a write that fails", {.write_error = ERROR_DISK_FULL}, ERROR_DISK_FULL},
      {"a write of no byte", {.write_nothing = true}, ERROR_WRITE_FAULT},
      {"a flush that fails", {.flush_error = ERROR_IO_DEVICE}, ERROR_IO_DEVICE},
      {"a seek that fails", {.seek_error = ERROR_NEGATIVE_SEEK}, ERROR_NEGATIVE_SEEK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string game = folder_.Write("game.exe", "abcdefgh");
    const std::unique_ptr<HeldFile> held = system_.HoldFile(game);
    Arm(c.fault);
    EXPECT_EQ(FileErrorCodeOf([&] { held->WriteAt(2, Bytes{'X', 'Y'}); }), c.error);
    Arm(c.fault);
    // The whole-file write never seeks.
    const DWORD whole = c.fault.seek_error ? 0 : c.error;
    EXPECT_EQ(FileErrorCodeOf([&] { system_.WriteWholeFile(folder_.Path() + "r.undo", {'1'}); }),
              whole);
    Arm({});
  }
}

// Writes and reads that do less than asked are carried on to the end; a file
// that ends early (it shrank while it was read) gives what was there.
TEST_F(Win32Faults, ShortWritesAndReadsAreCarriedOn) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += static_cast<char>('a' + i % 26);
  const std::string path = folder_.Path() + "record.undo";
  Arm({.write_most = 3, .read_most = 5});
  system_.WriteWholeFile(path, Bytes(text.begin(), text.end()));
  EXPECT_EQ(TextOf(system_.ReadWholeFile(path)), text);
  system_.HoldFile(path)->WriteAt(10, Bytes(8, '#'));
  text.replace(10, 8, 8, '#');
  EXPECT_EQ(TextOf(system_.ReadWholeFile(path)), text);
  Arm({.read_end = 12});
  EXPECT_EQ(TextOf(system_.ReadWholeFile(path)), text.substr(0, 12));
  Arm({.read_error = ERROR_IO_DEVICE});
  EXPECT_EQ(FileErrorCodeOf([&] { system_.ReadWholeFile(path); }), ERROR_IO_DEVICE);
}

// A hidden record is replaced only by a file that has taken its attributes:
// where the new one cannot take them, the old record stays as it was.
TEST_F(Win32Faults, AHiddenRecordStaysWhereItsAttributesCannotBeCarriedOver) {
  const std::string record = folder_.Write("game.undo", "old");
  ASSERT_TRUE(SetFileAttributesA(record.c_str(), FILE_ATTRIBUTE_HIDDEN));
  const std::string fresh = folder_.Write("game.undo.new", "new");
  // An error of its own, told apart from the refusal a move over a hidden
  // file may meet without the attributes.
  Arm({.attributes_error = ERROR_NOT_SUPPORTED});
  EXPECT_EQ(FileErrorCodeOf([&] { system_.MoveOver(fresh, record); }), ERROR_NOT_SUPPORTED);
  Arm({});
  EXPECT_EQ(TextOf(system_.ReadWholeFile(record)), "old");
  EXPECT_TRUE(system_.FileExists(fresh));
}

// Removing a file that is already gone is done; any other refusal is reported.
TEST_F(Win32Faults, ARemovalIsReportedUnlessTheFileIsAlreadyGone) {
  const std::string path = folder_.Write("game.undo", "1");
  const struct {
    DWORD error;
    bool reported;
  } cases[] = {{ERROR_ACCESS_DENIED, true},
               {ERROR_SHARING_VIOLATION, true},
               {ERROR_FILE_NOT_FOUND, false},
               {ERROR_PATH_NOT_FOUND, false}};
  for (const auto& c : cases) {
    Arm({.delete_error = c.error});
    EXPECT_EQ(FileErrorCodeOf([&] { system_.RemoveFile(path); }), c.reported ? c.error : 0)
        << c.error;
    Arm({});
  }
  EXPECT_TRUE(system_.FileExists(path));
  system_.RemoveFile(path);
  EXPECT_FALSE(system_.FileExists(path));
}

// A record place another program creates between the look and the trial
// creation is judged as the file it now is: no refusal for a plain file, and
// that file is left as it is.
TEST_F(Win32Faults, ARecordPlaceCreatedMeanwhileIsJudgedAsItIsNow) {
  const std::string place = folder_.Path() + "game.undo";
  Arm({.created_meanwhile = L"Q:\\system-faults\\game.undo"});
  EXPECT_FALSE(system_.CreateRefusal(place));
  EXPECT_TRUE(faults.created_meanwhile.empty());
  Arm({});
  EXPECT_TRUE(system_.FileExists(place));
}

// A game file another copy of the program (of the other build) holds is
// waited for while it holds it a moment, and refused as held when it keeps it.
TEST_F(Win32Faults, AGameFileAnotherCopyHoldsIsWaitedForAMoment) {
  const std::string game = folder_.Write("game.exe", "the game");
  Arm({.locks_taken = 3});
  EXPECT_EQ(FileErrorCodeOf([&] { system_.HoldFile(game); }), 0);
  Arm({.locks_taken = 1000});
  EXPECT_EQ(FileErrorCodeOf([&] { system_.HoldFile(game); }), ERROR_LOCK_VIOLATION);
}

// A record written whole over a hidden or system file keeps those attributes
// (which Windows asks of a file created anew over one), a new record takes
// none, and a file of two names is refused, both names left as they were.
TEST_F(Win32Faults, AWholeWriteKeepsHiddenFilesHiddenAndRefusesFilesOfTwoNames) {
  Arm({.hidden_rule = true});
  const DWORD kinds[] = {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM};
  for (const DWORD attributes : kinds) {
    const std::string record = folder_.Write("game.undo", "1");
    ASSERT_TRUE(SetFileAttributesA(record.c_str(), attributes));
    EXPECT_EQ(FileErrorCodeOf([&] { system_.WriteWholeFile(record, {'2'}); }), 0) << attributes;
    EXPECT_EQ(TextOf(system_.ReadWholeFile(record)), "2");
    EXPECT_EQ(GetFileAttributesA(record.c_str()) & attributes, attributes);
    SetFileAttributesA(record.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  const std::string fresh = folder_.Path() + "fresh.undo";
  system_.WriteWholeFile(fresh, {'3'});
  EXPECT_EQ(GetFileAttributesA(fresh.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            0u);
  const std::string second = folder_.Path() + "second.undo";
  ASSERT_TRUE(CreateHardLinkA(second.c_str(), fresh.c_str(), nullptr));
  try {
    system_.WriteWholeFile(fresh, {'4'});
    ADD_FAILURE() << "written through two names";
  } catch (const FileError& error) {
    EXPECT_EQ(error.Cause(), FileCause::kOtherNames);
  }
  EXPECT_EQ(TextOf(system_.ReadWholeFile(second)), "3");
}

// Windows keeps its messages in the languages installed, so one asked for in a
// fixed language comes back empty on most machines, and an error would be
// reported without its reason; asked with no language, it comes in the user's.
// Wine answers in any language alike, so the stand-in applies Windows' rule.
// The arguments' list is passed as the pointer it is: va_list's attributes
// would be lost as a template argument.
using FormatMessageCall = DWORD(DWORD, LPCVOID, DWORD, DWORD, LPWSTR, DWORD, void*);
FormatMessageCall* real_format;

DWORD WINAPI MessagesInTheUsersLanguage(DWORD flags, LPCVOID source, DWORD id, DWORD language,
                                        LPWSTR buffer, DWORD size, void* arguments) {
  if (language != 0 && language != LANG_USER_DEFAULT && language != GetUserDefaultLangID()) {
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return 0;
  }
  return real_format(flags, source, id, language, buffer, size, arguments);
}

TEST_F(Win32Faults, SystemMessagesAreAskedInTheUsersLanguage) {
  const std::string wine_says = SystemErrorText(ERROR_ACCESS_DENIED);
  ImportHook<FormatMessageCall> format{"FormatMessageW", &MessagesInTheUsersLanguage};
  ASSERT_TRUE(format.Installed());
  real_format = format.Original();
  EXPECT_FALSE(wine_says.empty());
  EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED), wine_says);
}

}  // namespace
}  // namespace quillfen
