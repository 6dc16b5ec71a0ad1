// The POSIX system on real files: the contract the engine relies on, and the
// mapping of Windows-style paths onto POSIX names.
#include "platform/posix/posix_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "definitions/ini.h"
#include "platform/file_error.h"
#include "posix/temp_folder.h"
#include "support/file_error_of.h"
#include "support/profile_cases.h"
#include "ui/error_text.h"
#include "words/fault_words.h"

namespace quillfen {
namespace {

using testing::TempFolder;

class PosixSystemTest : public ::testing::Test {
 protected:
  // The path of a name in the folder.
  std::string At(const std::string& name) const { return folder.Path() + name; }

  TempFolder folder;
  PosixSystem system;
};

TEST(PosixSystemHome, WithoutHomeThePasswordDatabaseGivesTheHomeFolder) {
  const char* set = std::getenv("HOME");
  const std::string saved = set != nullptr ? set : "";
  ::unsetenv("HOME");
  const std::string home = PosixSystem().HomeFolder();
  if (set != nullptr) ::setenv("HOME", saved.c_str(), 1);
  const passwd* entry = ::getpwuid(::getuid());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(home,
            std::string(entry->pw_dir) + (std::string(entry->pw_dir).ends_with('/') ? "" : "/"));
}

TEST_F(PosixSystemTest, ReadsProfilesAsTheSharedReaderDoes) {
  for (const auto& c : quillfen::testing::ProfileCases()) {
    folder.Write("patches.ini", c.file);
    EXPECT_EQ(ReadIniValue(system, c.section, c.key, At("patches.ini")), c.expected) << c.what;
  }
  // The system gives a value whole; the definitions layer alone cuts it.
  folder.Write("long.ini", "[g]\r\nk=" + std::string(5000, 'v'));
  EXPECT_EQ(system.ReadProfileString("g", "k", At("long.ini")), std::string(5000, 'v'));
}

TEST_F(PosixSystemTest, NamesMatchWithoutCaseAndTheWrittenNameWins) {
  folder.Write("racer.exe", "lower");
  EXPECT_TRUE(system.FileExists(At("RACER.EXE")));
  EXPECT_EQ(system.FileIdentity(At("RACER.EXE")), system.FileIdentity(At("racer.exe")));
  const Bytes lower = system.ReadWholeFile(At("Racer.Exe"));
  EXPECT_EQ(std::string(lower.begin(), lower.end()), "lower");
  // A new file under two spellings is one file.
  EXPECT_EQ(system.FileIdentity(At("NEW.undo")), system.FileIdentity(At("new.UNDO")));
  folder.Write("RACER.EXE", "upper");
  const Bytes upper = system.ReadWholeFile(At("RACER.EXE"));
  EXPECT_EQ(std::string(upper.begin(), upper.end()), "upper");
  // Two files now: a third spelling names neither, and each has its identity.
  EXPECT_FALSE(system.FileExists(At("Racer.exe")));
  EXPECT_NE(system.FileIdentity(At("RACER.EXE")), system.FileIdentity(At("racer.exe")));
  // Two names of one file (a hard link) are one file.
  ASSERT_EQ(link((folder.Path() + "racer.exe").c_str(), (folder.Path() + "game.undo").c_str()), 0);
  EXPECT_EQ(system.FileIdentity(At("game.undo")), system.FileIdentity(At("racer.exe")));
}

TEST_F(PosixSystemTest, WritesInPlaceKeepTheSizeAndRefuseToReachPastTheEnd) {
  folder.Write("game.exe", "0123456789");
  const std::unique_ptr<HeldFile> held = system.HoldFile(At("game.exe"));
  held->WriteAt(3, Bytes{'a', 'b'});
  EXPECT_EQ(folder.Text("game.exe"), "012ab56789");
  EXPECT_THROW(held->WriteAt(9, Bytes{'x', 'y'}), FileError);
  EXPECT_EQ(folder.Text("game.exe"), "012ab56789");
}

TEST_F(PosixSystemTest, ReadOnlyFilesAreRefusedWhateverTheUser) {
  const std::string path = folder.Write("game.exe", "0123");
  chmod(path.c_str(), 0444);
  const std::string open_text = "Cannot open file \"" + path + "\". Permission denied";
  const Refusal create = system.CreateRefusal(At("GAME.EXE"));
  ASSERT_TRUE(create);
  EXPECT_EQ(FileErrorText(*create), "Cannot create file \"" + path + "\". Permission denied");
  EXPECT_EQ(create->Code(), EACCES);
  try {
    system.HoldFile(At("game.exe"));
    ADD_FAILURE() << "a read-only file was held for writing";
  } catch (const FileError& error) {
    EXPECT_EQ(FileErrorText(error), open_text);
  }
  EXPECT_THROW(system.WriteWholeFile(At("game.exe"), {'x'}), FileError);
  const std::string delete_text = "Cannot delete file \"" + path + "\". Permission denied";
  const Refusal remove = system.RemoveRefusal(At("game.exe"));
  ASSERT_TRUE(remove);
  EXPECT_EQ(FileErrorText(*remove), delete_text);
  EXPECT_THROW(system.RemoveFile(At("game.exe")), FileError);
  folder.Write("game.undo.new", "new");
  EXPECT_THROW(system.MoveOver(At("game.undo.new"), At("game.exe")), FileError);
  EXPECT_EQ(folder.Text("game.exe"), "0123");
}

// Two copies of the program (two systems: each lock is its own) never hold one
// game file at once; the second waits a little, then is refused.
TEST_F(PosixSystemTest, AGameFileIsHeldByOneCopyAtATime) {
  folder.Write("game.exe", "0123");
  PosixSystem other;
  {
    std::unique_ptr<HeldFile> held = system.HoldFile(At("game.exe"));
    auto second = std::async(std::launch::async, [&] { return other.HoldFile(At("GAME.EXE")); });
    if (second.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
      held.reset();  // a copy that would wait for ever gets the file, and the run goes on
      FAIL() << "the second copy still waits after 5 s";
    }
    EXPECT_THROW(second.get(), FileError);
    held->WriteAt(1, Bytes{'x'});
    EXPECT_EQ(std::string(held->Content().begin(), held->Content().end()), "0x23");
    EXPECT_THROW(held->WriteAt(3, Bytes{'y', 'z'}), FileError);  // never extends the file
  }
  EXPECT_NE(other.HoldFile(At("game.exe")), nullptr);
  EXPECT_EQ(folder.Text("game.exe"), "0x23");
}

// A copy that finds the game file held waits for it: held for a moment
// (another copy finishing its Patch), it is then held here.
TEST_F(PosixSystemTest, AGameFileHeldForAMomentIsWaitedFor) {
  folder.Write("game.exe", "0123");
  PosixSystem other;
  std::unique_ptr<HeldFile> held = system.HoldFile(At("game.exe"));
  std::thread release([&held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    held.reset();
  });
  std::unique_ptr<HeldFile> mine;
  EXPECT_NO_THROW(mine = other.HoldFile(At("game.exe")));
  release.join();
  EXPECT_NE(mine, nullptr);
}

// Another program that has the game file open, or only mapped (a game running
// under Wine maps its executable), keeps the file from being held, as Windows
// would refuse to open it; once it is gone, the file is held.
TEST_F(PosixSystemTest, AGameFileAnotherProgramHasOpenOrMappedIsNotHeld) {
  const std::string path = folder.Write("game.exe", std::string(8192, 'x'));
  for (const bool mapped_only : {false, true}) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const int fd = open(path.c_str(), O_RDONLY);
      void* map = mmap(nullptr, 8192, PROT_READ, MAP_SHARED, fd, 0);
      if (mapped_only) close(fd);
      (void)!write(ready[1], map == MAP_FAILED ? "n" : "y", 1);
      pause();
      _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    try {
      system.HoldFile(At("game.exe"));
      ADD_FAILURE() << "held while process " << child << " has it"
                    << (mapped_only ? " mapped" : " open");
    } catch (const FileError& error) {
      EXPECT_NE(FileErrorText(error).find("Another program has the file open: process " +
                                          std::to_string(child)),
                std::string::npos)
          << FileErrorText(error);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_NE(system.HoldFile(At("game.exe")), nullptr);
  }
}

// A record place that is a symbolic link is refused: a write would reach the file it names.
TEST_F(PosixSystemTest, ALinkIsNoPlaceForARecord) {
  const std::string target = folder.Write("victim.exe", "keep");
  ASSERT_EQ(symlink(target.c_str(), (folder.Path() + "game.undo").c_str()), 0);
  const Refusal refusal = system.CreateRefusal(At("game.undo"));
  ASSERT_NE(refusal, std::nullopt);
  EXPECT_EQ(refusal->Cause(), FileCause::kLinkPlace);
  try {
    system.WriteWholeFile(At("game.undo"), {'1'});
    ADD_FAILURE() << "written through a link";
  } catch (const FileError& error) {
    EXPECT_EQ(error.Cause(), FileCause::kLinkPlace);
  }
  EXPECT_EQ(folder.Text("victim.exe"), "keep");
}

TEST_F(PosixSystemTest, RefusalsChangeNothing) {
  EXPECT_EQ(system.CreateRefusal(At("record.undo")), std::nullopt);
  EXPECT_FALSE(folder.Exists("record.undo"));
  const Refusal no_folder = system.CreateRefusal(At("no folder") + "/record.undo");
  ASSERT_NE(no_folder, std::nullopt);
  EXPECT_EQ(no_folder->Code(), ENOENT);
  EXPECT_FALSE(system.FileExists(At("")));
  EXPECT_TRUE(system.FolderExists(At("")));
}

// Each place that is no plain file is refused for what it is, by the hold of a
// game file, its view and the whole write of a record: the system's error where
// it has one, the program's own cause otherwise. Nothing is written through
// it, and a record written anew takes the permissions the user's mask allows.
TEST_F(PosixSystemTest, EachPlaceThatIsNoPlainFileIsRefusedForWhatItIs) {
  const std::string file = folder.Write("game.exe", "x");
  ASSERT_EQ(::mkdir(At("folder").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(At("pipe").c_str(), 0644), 0);
  // A reader, so that a write that opened the pipe regardless would not wait for one.
  const int reader = ::open(At("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(::symlink(file.c_str(), At("link").c_str()), 0);
  ASSERT_EQ(::link(file.c_str(), At("second").c_str()), 0);
  using Why = std::pair<FileCause, std::int64_t>;
  const auto why = [](const std::function<void()>& call) {
    const std::optional<FileError> error = testing::FileErrorOf(call);
    return error ? Why(error->Cause(), error->Code()) : Why(FileCause::kSystem, 0);
  };
  const Why none(FileCause::kSystem, 0);
  const Why not_regular(FileCause::kNotRegular, 0);
  const struct {
    const char* name;
    Why hold, view, write;
  } cases[] = {
      {"missing", {FileCause::kSystem, ENOENT}, {FileCause::kSystem, ENOENT}, none},
      {"folder", not_regular, {FileCause::kSystem, EISDIR}, {FileCause::kSystem, EISDIR}},
      {"pipe", not_regular, not_regular, not_regular},
      {"link", {FileCause::kSymbolicLink, 0}, none, {FileCause::kLinkPlace, 0}},
      {"second", {FileCause::kOtherNames, 2}, none, {FileCause::kOtherNames, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(why([&] { system.HoldFile(At(c.name)); }), c.hold);
    EXPECT_EQ(why([&] { system.ViewFile(At(c.name)); }), c.view);
    EXPECT_EQ(why([&] { system.WriteWholeFile(At(c.name), {'y'}); }), c.write);
    EXPECT_EQ(system.FolderExists(At(c.name)), std::string(c.name) == "folder");
    EXPECT_EQ(folder.Text("game.exe"), "x");
  }
  EXPECT_EQ(why([&] { system.WriteWholeFile(At("none") + "/x.undo", {'y'}); }),
            Why(FileCause::kSystem, ENOENT));
  const mode_t mask = ::umask(022);
  ::umask(mask);
  struct stat info {};
  ASSERT_EQ(::stat(At("missing").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
  ::close(reader);
}

// Each call on a missing name, a folder, a named pipe and a file of one byte:
// only the file is read, sized, timed, created over and removed; the others
// are refused or answered as absent, whatever errno held before the call.
TEST_F(PosixSystemTest, OnlyARegularFileIsReadTimedOrReplaced) {
  const std::string file = folder.Write("game.exe", "x");
  ASSERT_EQ(::mkdir(At("folder").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(At("pipe").c_str(), 0644), 0);
  const auto code = [](const Refusal& refusal) { return refusal ? refusal->Code() : 0; };
  const auto cause = [](const Refusal& refusal) {
    return refusal ? std::optional<FileCause>(refusal->Cause()) : std::nullopt;
  };
  // Each answer for a missing name follows one for a file or a folder, so that
  // one taken from what the last call found shows.
  for (const std::string name : {"missing", "folder", "pipe"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(system.FileSize(file), 1);
    try {
      system.FileSize(At(name));
      ADD_FAILURE() << "a size";
    } catch (const FileError& error) {
      EXPECT_EQ(error.Code(), name == "missing" ? ENOENT : name == "folder" ? EISDIR : 0);
    }
    EXPECT_THROW(system.ReadWholeFile(At(name)), FileError);
    EXPECT_TRUE(system.ModificationTime(file));
    EXPECT_EQ(system.ModificationTime(At(name)), std::nullopt);
  }
  EXPECT_FALSE(system.SetModificationTime(At("missing"), 1'000'000'000));
  EXPECT_EQ(code(system.RemoveRefusal(At("folder"))), EISDIR);
  EXPECT_EQ(system.RemoveRefusal(At("missing")), std::nullopt);
  EXPECT_EQ(code(system.CreateRefusal(At("folder"))), EISDIR);
  EXPECT_EQ(cause(system.CreateRefusal(At("pipe"))), FileCause::kNotRegular);

  EXPECT_EQ(system.ReadWholeFile(file), Bytes{'x'});
  EXPECT_EQ(system.CreateRefusal(file), std::nullopt);
  const TimeStamp time = system.ModificationTime(file);
  ASSERT_TRUE(time);
  EXPECT_FALSE(system.SetModificationTime(file, std::nullopt));
  EXPECT_FALSE(system.HoldFile(file)->SetModificationTime(std::nullopt));
  EXPECT_EQ(system.ModificationTime(file), time);
  EXPECT_TRUE(system.SetModificationTime(file, *time - 3'000'000'007));
  EXPECT_EQ(system.ModificationTime(file), *time - 3'000'000'007);
  errno = EACCES;
  EXPECT_NO_THROW(system.RemoveFile(file));
  EXPECT_FALSE(folder.Exists("game.exe"));
}

TEST_F(PosixSystemTest, MoveOverReplacesInOneStepUnderAnySpelling) {
  folder.Write("game.undo", "old");
  folder.Write("pending", "new");
  system.MoveOver(At("pending"), At("GAME.UNDO"));
  EXPECT_EQ(folder.Text("game.undo"), "new");
  EXPECT_FALSE(folder.Exists("pending"));
  EXPECT_FALSE(folder.Exists("GAME.UNDO"));
}

TEST_F(PosixSystemTest, TheModificationTimeComesBackExactly) {
  folder.Write("game.exe", "0123");
  const TimeStamp before = system.ModificationTime(At("game.exe"));
  ASSERT_TRUE(before);
  system.HoldFile(At("game.exe"))->WriteAt(0, Bytes{'x'});
  system.SetModificationTime(At("game.exe"), *before - 1'500'000'001);
  EXPECT_EQ(system.ModificationTime(At("game.exe")), *before - 1'500'000'001);
}

TEST_F(PosixSystemTest, ListingsAreSortedAndHideDotNamesAndLinkedFolders) {
  folder.Write("b/x", "");
  folder.Write("A.txt", "");
  folder.Write(".hidden/x", "");
  ASSERT_EQ(symlink((folder.Path() + "b").c_str(), (folder.Path() + "c-link").c_str()), 0);
  const std::vector<DirEntry> all = system.ListFolder(At("")).entries;
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0].name, ".hidden");
  EXPECT_TRUE(all[0].hidden);
  EXPECT_EQ(all[1].name, "A.txt");
  EXPECT_FALSE(all[1].folder);
  EXPECT_EQ(all[2].name, "b");
  EXPECT_TRUE(all[2].folder && !all[2].hidden);
  EXPECT_EQ(all[3].name, "c-link");
  EXPECT_TRUE(all[3].folder && all[3].hidden);
  const FolderListing file = system.ListFolder(At("A.txt/"));
  EXPECT_TRUE(file.entries.empty());
  ASSERT_TRUE(file.refusal);
  EXPECT_EQ(file.refusal->Code(), ENOTDIR);
  // A name may hold a backslash or a colon: paths are the system's own.
  folder.Write("a\\b: c/x.exe", "x");
  EXPECT_TRUE(system.FileExists(At("a\\b: c/X.EXE")));
  ASSERT_EQ(system.ListFolder(At("a\\b: c/")).entries.size(), 1u);
  EXPECT_EQ(system.ListFolder(At("a\\b: c/")).entries[0].name, "x.exe");
  // With no drives, a search walks the home folder, hidden folders included.
  const std::vector<SearchPlace> roots = PosixSystem(folder.Path()).SearchRoots();
  ASSERT_EQ(roots.size(), 1u);
  EXPECT_EQ(roots[0].folder, folder.Path());
  EXPECT_TRUE(roots[0].hidden_folders);
}

}  // namespace
}  // namespace quillfen
