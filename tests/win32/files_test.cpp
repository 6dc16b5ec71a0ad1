#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <variant>

#include "base/text.h"
#include "engine/locate.h"
#include "engine/patching.h"
#include "platform/file_error.h"
#include "platform/win32/full_path.h"
#include "platform/win32/win32_owners.h"
#include "platform/win32/win32_system.h"
#include "ui/error_text.h"
#include "ui/report_text.h"
#include "win32/real_files.h"
#include "words/fault_words.h"

namespace quillfen {
namespace {

using testing::ScratchFolder;

std::string TextOf(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Another program holding the file open for reading, letting others read and write.
class OtherHandle {
 public:
  explicit OtherHandle(const std::string& path)
      : handle_(win32::UniqueFile(CreateFileA(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {}
  bool Open() const { return static_cast<bool>(handle_); }

 private:
  win32::UniqueFile handle_;
};

// A patch of <name>.exe whose width lies `offset` bytes after the bytes "SIG!".
PatchEntry WidthAfterSig(const std::string& name, std::int32_t offset) {
  PatchEntry entry;
  entry.modfile = name + ".exe";
  entry.undofile = name + ".undo";
  entry.sig = {'S', 'I', 'G', '!'};
  entry.sigwild = {0, 0, 0, 0};
  entry.hasx = true;
  entry.xoffset = offset;
  entry.occur = 1;
  return entry;
}

FILETIME LastWrite(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

bool SameTime(FILETIME a, FILETIME b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// Sets a file's last-write time to a local date and time.
void SetLocalTime(const std::string& path, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME local{};
  local.wYear = 2024;
  local.wMonth = 3;
  local.wDay = 15;
  local.wHour = hour;
  local.wMinute = minute;
  local.wSecond = second;
  FILETIME local_time;
  FILETIME utc;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &local_time));
  ASSERT_TRUE(LocalFileTimeToFileTime(&local_time, &utc));
  const auto file =
      win32::UniqueFile(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &utc));
}

SYSTEMTIME LocalLastWrite(const std::string& path) {
  const FILETIME utc = LastWrite(path);
  FILETIME local;
  FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME time{};
  FileTimeToSystemTime(&local, &time);
  return time;
}

TEST(Win32Files, ExistenceOfFilesAndFolders) {
  ScratchFolder folder("files-exist");
  Win32System system;
  const std::string file = folder.Write("a.bin", "x");
  EXPECT_TRUE(system.FileExists(file));
  EXPECT_FALSE(system.FolderExists(file));
  EXPECT_FALSE(system.FileExists(folder.Path()));
  EXPECT_TRUE(system.FolderExists(folder.Path()));
  EXPECT_FALSE(system.FileExists(folder.Path() + "none.bin"));
  EXPECT_EQ(system.FileSize(file), 1);
  system.RemoveFile(file);
  EXPECT_FALSE(system.FileExists(file));
  system.RemoveFile(file);  // a missing file is ignored
}

TEST(Win32Files, ErrorTextOfAFileThatCannotBeOpened) {
  ScratchFolder folder("files-error");
  Win32System system;
  const std::string path = folder.Path() + "missing.bin";
  const std::string description = SystemErrorText(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(description.empty());
  EXPECT_NE(description.back(), '\n');
  EXPECT_NE(description.back(), '\r');
  try {
    system.ReadWholeFile(path);
    FAIL() << "read a missing file";
  } catch (const FileError& error) {
    EXPECT_EQ(FileErrorText(error), "Cannot open file \"" + path + "\". " + description);
    EXPECT_EQ(error.Code(), ERROR_FILE_NOT_FOUND);
  }
  try {
    system.WriteWholeFile(folder.Path() + "no\\such\\x.bin", {});
    FAIL() << "created a file in a missing folder";
  } catch (const FileError& error) {
    EXPECT_EQ(FileErrorText(error).rfind("Cannot create file \"", 0), 0u);
  }
}

TEST(Win32Files, WholeFileReadLetsOthersOnlyRead) {
  ScratchFolder folder("files-read");
  Win32System system;
  const std::string path = folder.Write("a.bin", "content");
  {
    OtherHandle reader(path);
    ASSERT_TRUE(reader.Open());
    EXPECT_EQ(TextOf(system.ReadWholeFile(path)), "content");
  }
  auto writer =
      win32::UniqueFile(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  EXPECT_THROW(system.ReadWholeFile(path), FileError);
  writer.Reset();
  system.WriteWholeFile(path, Bytes{'n', 'e', 'w'});
  EXPECT_EQ(TextOf(system.ReadWholeFile(path)), "new");
}

// The hold is the write test: it changes nothing, and fails for a file held
// open by another program, a read-only file and a missing one.
TEST(Win32Files, WriteTestChangesNothingAndFailsForHeldOrReadOnlyFiles) {
  ScratchFolder folder("files-writable");
  Win32System system;
  const std::string path = folder.Write("game.exe", "the game");
  SetLocalTime(path, 9, 30, 0);
  const FILETIME time = LastWrite(path);
  EXPECT_NE(system.HoldFile(path), nullptr);
  EXPECT_EQ(TextOf(system.ReadWholeFile(path)), "the game");
  EXPECT_TRUE(SameTime(LastWrite(path), time));
  {
    OtherHandle other(path);
    ASSERT_TRUE(other.Open());
    EXPECT_THROW(system.HoldFile(path), FileError);
  }
  EXPECT_EQ(TextOf(system.ReadWholeFile(path)), "the game");
  EXPECT_TRUE(SameTime(LastWrite(path), time));
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_THROW(system.HoldFile(path), FileError);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_THROW(system.HoldFile(folder.Path() + "none.exe"), FileError);
}

TEST(Win32Files, CreateTestLeavesNoFileAndKeepsAnExistingOne) {
  ScratchFolder folder("files-creatable");
  Win32System system;
  const std::string fresh = folder.Path() + "game.undo";
  EXPECT_FALSE(system.CreateRefusal(fresh));
  EXPECT_FALSE(system.FileExists(fresh));
  const std::string existing = folder.Write("old.undo", "1\r\n2\r\n");
  EXPECT_FALSE(system.CreateRefusal(existing));
  EXPECT_EQ(TextOf(system.ReadWholeFile(existing)), "1\r\n2\r\n");
  {
    OtherHandle other(existing);
    EXPECT_TRUE(system.CreateRefusal(existing));
  }
  SetFileAttributesA(existing.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(system.CreateRefusal(existing));
  SetFileAttributesA(existing.c_str(), FILE_ATTRIBUTE_NORMAL);
  const Refusal missing_folder = system.CreateRefusal(folder.Path() + "no\\such\\x.undo");
  ASSERT_TRUE(missing_folder);
  EXPECT_EQ(missing_folder->Code(), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(system.CreateRefusal(folder.Path()));
  // A record of two names (hard links): a write through one would change both.
  ASSERT_TRUE(CreateHardLinkA((folder.Path() + "other.undo").c_str(), existing.c_str(), nullptr));
  const Refusal linked = system.CreateRefusal(existing);
  ASSERT_TRUE(linked);
  EXPECT_EQ(linked->Cause(), FileCause::kOtherNames);
  EXPECT_EQ(linked->Code(), 2);
}

TEST(Win32Files, InPlaceWriteChangesOnlyItsBytesAndNeverExtends) {
  ScratchFolder folder("files-inplace");
  Win32System system;
  const std::string path = folder.Write("game.exe", "abcdefgh");
  {
    const std::unique_ptr<HeldFile> held = system.HoldFile(path);
    held->WriteAt(2, Bytes{'X', 'Y'});
    EXPECT_THROW(held->WriteAt(7, Bytes{'1', '2'}), FileError);
  }
  EXPECT_EQ(TextOf(system.ReadWholeFile(path)), "abXYefgh");
}

// The time comes back exactly as it was read: the FILETIME itself, to the
// 100 ns, an odd second and a time before 1980 (a file extracted from an
// archive of 1970) included.
TEST(Win32Files, ModificationTimeComesBackExactly) {
  ScratchFolder folder("files-time");
  Win32System system;
  const std::string path = folder.Write("game.exe", "x");
  for (const std::int64_t ticks : {std::int64_t{116'444'736'000'000'000} + 864'000'000'001,
                                   std::int64_t{133'550'000'050'000'007}}) {
    FILETIME set{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    {
      const auto file =
          win32::UniqueFile(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(file);
      ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &set));
    }
    const TimeStamp time = system.ModificationTime(path);
    EXPECT_EQ(time, ticks);
    system.WriteWholeFile(path, Bytes{'y'});
    EXPECT_TRUE(system.SetModificationTime(path, time));
    EXPECT_TRUE(SameTime(LastWrite(path), set));
    {
      const std::unique_ptr<HeldFile> held = system.HoldFile(path);
      held->WriteAt(0, Bytes{'z'});
      EXPECT_TRUE(held->SetModificationTime(time));
    }
    EXPECT_TRUE(SameTime(LastWrite(path), set));
  }
  EXPECT_FALSE(system.ModificationTime(folder.Path() + "none"));
  // A time that was never read, or one before 1601, is not set, and saying so
  // is what makes the loss of the file's time reported. (A FILETIME of all
  // ones would even tell the system to stop keeping times for the handle.)
  const FILETIME kept = LastWrite(path);
  for (const TimeStamp& unset : {TimeStamp{}, TimeStamp{-1}}) {
    EXPECT_FALSE(system.SetModificationTime(path, unset));
    EXPECT_FALSE(system.HoldFile(path)->SetModificationTime(unset));
  }
  EXPECT_TRUE(SameTime(LastWrite(path), kept));
}

// A game file another program has open for a moment (a launcher checking it)
// is waited for, not refused.
TEST(Win32Files, AGameFileHeldForAMomentIsWaitedFor) {
  ScratchFolder folder("files-held-a-moment");
  Win32System system;
  const std::string path = folder.Write("game.exe", "the game");
  auto other = win32::UniqueFile(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(other);
  std::thread launcher([&other] {
    Sleep(200);
    other = win32::UniqueFile();
  });
  EXPECT_NO_THROW(system.HoldFile(path));
  launcher.join();
}

TEST(Win32Files, PatchAndUndoOnRealFiles) {
  ScratchFolder folder("files-patch");
  Win32System system;
  std::string content(200, '\x11');
  content.replace(50, 4, "SIG!");
  content.replace(58, 4, std::string("\x80\x02\0\0", 4));  // 640
  const std::string path = folder.Write("game.exe", content);
  SetLocalTime(path, 10, 0, 5);
  PatchList list;
  list.Append(WidthAfterSig("game", 8));
  ASSERT_TRUE(LocatePatch(system, folder.Path(), list.At(0)).located);
  {
    OtherHandle game(path);
    const OperationResult refused = ApplyPatches(system, list, folder.Path(), 1920, 900);
    EXPECT_EQ(BoxText(refused.reports.back(), '\\'), "Errors found.  Unable to patch game!");
  }
  EXPECT_EQ(TextOf(system.ReadWholeFile(path)), content);
  EXPECT_TRUE(ApplyPatches(system, list, folder.Path(), 1920, 900).done);
  const Bytes patched = system.ReadWholeFile(path);
  EXPECT_EQ(patched.size(), 200u);
  EXPECT_EQ(patched[58] | patched[59] << 8, 1920);
  EXPECT_EQ(LocalLastWrite(path).wSecond, 5);
  // Patched again over a record the user made hidden and a system file: the
  // record is replaced through a pending copy and keeps both attributes.
  const std::string record = folder.Path() + "game.undo";
  const DWORD hidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesA(record.c_str(), hidden));
  EXPECT_TRUE(ApplyPatches(system, list, folder.Path(), 1280, 720).done);
  EXPECT_EQ(GetFileAttributesA(record.c_str()) & hidden, hidden);
  EXPECT_EQ(BoxText(RemovePatches(system, list, folder.Path()).reports.back(), '\\'),
            "Patch successfully removed!");
  EXPECT_EQ(TextOf(system.ReadWholeFile(path)), content);
  EXPECT_FALSE(system.FileExists(folder.Path() + "game.undo"));
}

TEST(Win32Files, OneFileHasOneIdentityUnderEverySpelling) {
  ScratchFolder folder("files-identity");
  Win32System system;
  const std::string racer = folder.Write("Racer Championship.exe", "game");
  const std::string other = folder.Write("other.exe", "game");
  char short_path[MAX_PATH];
  ASSERT_GT(GetShortPathNameA(racer.c_str(), short_path, MAX_PATH), 0u);
  const std::string identity = system.FileIdentity(racer);
  EXPECT_EQ(identity.rfind("file:", 0), 0u);
  EXPECT_EQ(system.FileIdentity(short_path), identity) << short_path;
  EXPECT_EQ(system.FileIdentity(racer + "."), identity);
  EXPECT_EQ(system.FileIdentity(racer + " "), identity);
  EXPECT_NE(system.FileIdentity(other), identity);
  // Paths without a file compare as the system resolves them, the verbatim
  // form as the plain one.
  EXPECT_EQ(system.FileIdentity(folder.Path() + "game.undo."),
            system.FileIdentity(folder.Path() + "GAME.UNDO"));
  EXPECT_EQ(system.FileIdentity("\\\\?\\" + folder.Path() + "game.undo"),
            system.FileIdentity(folder.Path() + "GAME.UNDO"));
}

TEST(Win32Files, RecordsReplaceHiddenAndSystemFilesAndKeepTheirAttributes) {
  ScratchFolder folder("files-hidden");
  Win32System system;
  const std::string record = folder.Write("game.undo", "1\r\n");
  const DWORD hidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  ASSERT_TRUE(SetFileAttributesA(record.c_str(), hidden));
  system.WriteWholeFile(record, Bytes{'2', '\r', '\n'});
  EXPECT_EQ(TextOf(system.ReadWholeFile(record)), "2\r\n");
  EXPECT_EQ(GetFileAttributesA(record.c_str()) & hidden, hidden);
  const std::string pending = folder.Write("game.undo.new", "3\r\n");
  system.MoveOver(pending, record);
  EXPECT_EQ(TextOf(system.ReadWholeFile(record)), "3\r\n");
  EXPECT_EQ(GetFileAttributesA(record.c_str()) & hidden, hidden);
  EXPECT_FALSE(system.FileExists(pending));
  // A record moved to where none was takes neither attribute.
  const std::string other = folder.Write("other.undo.new", "4\r\n");
  system.MoveOver(other, folder.Path() + "other.undo");
  EXPECT_EQ(GetFileAttributesA((folder.Path() + "other.undo").c_str()) & hidden, 0u);
}

// quillfen-cli takes the folders it is given through FullPath. A patch through
// the verbatim form of a folder, and a locate and undo through the plain form,
// see one record, whatever its name: even one Windows cannot keep as written is
// either refused or kept where the plain form finds it.
TEST(Win32Files, AVerbatimFolderHoldsTheFilesOfThePlainOne) {
  ScratchFolder folder("files-verbatim");
  Win32System system;
  const std::string plain = folder.Path();
  const std::string verbatim = win32::FullPath("\\\\?\\" + plain);
  EXPECT_EQ(verbatim, plain);
  EXPECT_EQ(win32::FullPath("\\??\\" + plain), plain);
  EXPECT_EQ(win32::FullPath("//?/Q:/files-verbatim/"), plain);
  EXPECT_EQ(win32::FullPath("\\\\?\\UNC\\server\\share\\vd"), "\\\\server\\share\\vd");
  EXPECT_EQ(win32::FullPath("\\\\.\\Q:"), "\\\\.\\Q:");  // the volume itself, not a folder

  std::string content(200, '\x11');
  content.replace(50, 4, "SIG!");
  content.replace(58, 4, std::string("\x80\x02\0\0", 4));  // 640
  for (const char* name : {"game.undo", "game.undo.", "game.undo "}) {
    const std::string game = folder.Write("game.exe", content);
    PatchList through_verbatim;
    through_verbatim.Append(WidthAfterSig("game", 8));
    through_verbatim.At(0).undofile = name;
    PatchList through_plain = through_verbatim;
    // A name Windows would change is refused as it stands: not located, not patched.
    EXPECT_EQ(LocatePatch(system, verbatim, through_verbatim.At(0)).located,
              !ForeignNameReason(name))
        << name;
    if (ApplyPatches(system, through_verbatim, verbatim, 1920, 900).done) {
      const LocatedPatch seen = LocatePatch(system, plain, through_plain.At(0));
      EXPECT_TRUE(seen.from_record) << name;
      EXPECT_EQ(seen.width, 1920) << name;
      EXPECT_TRUE(RemovePatches(system, through_plain, plain).done) << name;
    }
    EXPECT_EQ(TextOf(system.ReadWholeFile(game)), content) << name;
    std::vector<std::string> left;
    for (const DirEntry& entry : system.ListFolder(plain).entries) {
      if (WildcardMatchNoCase("game*", entry.name)) left.push_back(entry.name);
    }
    EXPECT_EQ(left, std::vector<std::string>{"game.exe"}) << name;
  }
}

// A sparse file of 4 GiB + 8 KiB whose signature lies where a 32-bit sum wraps.
TEST(Win32Files, AFileOfGigabytesIsNeitherLocatedNorReadNorWritten) {
  ScratchFolder folder("files-huge");
  Win32System system;
  const std::string path = folder.Write("huge.exe", "");
  {
    const auto file = win32::UniqueFile(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER at;
    at.QuadPart = (std::int64_t{4} << 30) + 100;
    SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(file.Get(), "SIG!\x80\x02\0\0", 8, &written, nullptr);
    at.QuadPart = (std::int64_t{4} << 30) + 8192;
    SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(file.Get()));
  }
  SetLocalTime(path, 10, 0, 4);
  PatchList list;
  list.Append(WidthAfterSig("huge", 4));
  const ULONGLONG started = GetTickCount64();
  EXPECT_FALSE(LocatePatch(system, folder.Path(), list.At(0)).located);
  list.At(0).xpos = 105;  // as if located where the wrapped sum pointed
  const OperationResult result = ApplyPatches(system, list, folder.Path(), 1920, 900);
  EXPECT_LT(GetTickCount64() - started, 5000u);
  EXPECT_EQ(BoxText(result.reports.back(), '\\'), "Errors found.  Unable to patch game!");
  EXPECT_EQ(system.FileSize(path), (std::int64_t{4} << 30) + 8192);
  EXPECT_EQ(LocalLastWrite(path).wSecond, 4);
  EXPECT_FALSE(system.FileExists(folder.Path() + "huge.undo"));
}

// What only Windows can show: two record names that become one file through a
// short (8.3) name once the first exists, and game files that are the
// definition file or the running program. Patch refuses before any write, or
// Undo brings both files back byte for byte.
TEST(Win32Files, ShortNamesTheDefinitionFileAndTheProgramAreNoPlaceToWrite) {
  ScratchFolder folder("files-aliases");
  Win32System system;
  std::string content(200, '\x11');
  content.replace(50, 4, "SIG!");
  content.replace(58, 4, std::string("\x80\x02\0\0", 4));  // 640
  const std::string game = folder.Write("game.exe", content);
  const std::string data = folder.Write("data.exe", content);
  // The short name the system gives the first record when it is created.
  const std::string probe = folder.Write("longrecordname.undo", "");
  char short_path[MAX_PATH];
  ASSERT_GT(GetShortPathNameA(probe.c_str(), short_path, MAX_PATH), 0u);
  const std::string short_name = FileNamePart(short_path);
  ASSERT_NE(short_name, "longrecordname.undo");
  DeleteFileA(probe.c_str());

  PatchList list;
  list.Append(WidthAfterSig("game", 8));
  list.Append(WidthAfterSig("data", 8));
  list.At(0).undofile = short_name;
  list.At(1).undofile = "longrecordname.undo";  // written first: the walk goes from the last
  const OperationResult patched = ApplyPatches(system, list, folder.Path(), 1920, 900);
  if (patched.done) {
    EXPECT_TRUE(RemovePatches(system, list, folder.Path()).done);
  } else {
    EXPECT_TRUE(std::holds_alternative<reports::SharedRecord>(patched.reports.front()));
  }
  EXPECT_EQ(TextOf(system.ReadWholeFile(game)), content);
  EXPECT_EQ(TextOf(system.ReadWholeFile(data)), content);
  for (const DirEntry& entry : system.ListFolder(folder.Path()).entries) {
    EXPECT_FALSE(WildcardMatchNoCase("*.und*", entry.name)) << entry.name;
  }

  // The definition file in use, and the running program, are never game files.
  const std::string ini = folder.Write("patches.ini", content);
  PatchList definitions;
  definitions.Append(WidthAfterSig("patches", 8));
  definitions.At(0).modfile = "patches.ini";
  EXPECT_FALSE(ApplyPatches(system, definitions, folder.Path(), 1920, 900, {}, ini).done);
  EXPECT_EQ(TextOf(system.ReadWholeFile(ini)), content);
  PatchList program;
  program.Append(WidthAfterSig("x", 8));
  program.At(0).modfile = FileNamePart(system.ExecutablePath());
  const OperationResult refused =
      ApplyPatches(system, program, system.ExecutableFolder(), 1920, 900);
  EXPECT_FALSE(refused.done);
  EXPECT_TRUE(std::holds_alternative<reports::ChecksFailed>(refused.reports.back()));
}

}  // namespace
}  // namespace quillfen
