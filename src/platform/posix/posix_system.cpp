#include "platform/posix/posix_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "base/ascii_case.h"
#include "base/text.h"
#include "platform/file_error.h"
#include "platform/hold_lock.h"
#include "platform/posix/file_users.h"
#include "platform/posix/file_view.h"

namespace quillfen {

namespace {

FileError Failed(FileAction action, const std::string& path, int error) {
  return SystemFileError(action, path, error, std::strerror(error));
}

[[noreturn]] void ThrowCannotOpen(const std::string& path, int error) {
  throw Failed(FileAction::kOpen, path, error);
}

[[noreturn]] void ThrowCannotOpen(const std::string& path, FileCause cause,
                                  std::string description = {}) {
  throw OwnFileError(FileAction::kOpen, path, cause, 0, std::move(description));
}

[[noreturn]] void ThrowCannotCreate(const std::string& path, int error) {
  throw Failed(FileAction::kCreate, path, error);
}

[[noreturn]] void ThrowCannotCreate(const std::string& path, FileCause cause,
                                    std::int64_t code = 0) {
  throw OwnFileError(FileAction::kCreate, path, cause, code);
}

// Closes a file descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  bool Valid() const { return fd_ >= 0; }
  int Get() const { return fd_; }
  // Closes now, reporting the error a delayed write may only show here.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// An open directory listing of opendir, closed when it goes out of scope.
struct CloseDir {
  void operator()(DIR* folder) const noexcept { ::closedir(folder); }
};
using UniqueDir = std::unique_ptr<DIR, CloseDir>;

bool StatOf(const std::string& path, struct stat& info) {
  return ::stat(path.c_str(), &info) == 0;
}

// A file no one may write: Windows refuses to open a read-only file for writing.
bool ReadOnly(const struct stat& info) {
  return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// An existing regular file opened for reading and writing; a read-only file is
// refused as Windows refuses it. Throws FileError ("Cannot open file"), and
// LinkedFileError for a symbolic link or a file with more than one name.
Descriptor OpenWritable(const std::string& native) {
  struct stat info {};
  if (::lstat(native.c_str(), &info) != 0) ThrowCannotOpen(native, errno);
  if (S_ISLNK(info.st_mode)) throw LinkedFileError(native, FileCause::kSymbolicLink);
  if (!S_ISREG(info.st_mode)) ThrowCannotOpen(native, FileCause::kNotRegular);
  if (ReadOnly(info)) ThrowCannotOpen(native, EACCES);
  Descriptor file(::open(native.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
  if (!file.Valid()) ThrowCannotOpen(native, errno);
  // Judged again on what was opened: the name may have changed meanwhile.
  if (::fstat(file.Get(), &info) != 0) ThrowCannotOpen(native, errno);
  if (!S_ISREG(info.st_mode)) ThrowCannotOpen(native, FileCause::kNotRegular);
  if (info.st_nlink > 1) throw LinkedFileError(native, FileCause::kOtherNames, info.st_nlink);
  return file;
}

// A file's modification time as the program keeps it: nanoseconds.
TimeStamp StampOf(const struct stat& info) {
  return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

// The times futimens and utimensat take to set the modification time back and
// leave the access time.
struct WriteTimes {
  explicit WriteTimes(std::int64_t stamp)
      : times{{0, UTIME_OMIT},
              {static_cast<time_t>(stamp / 1'000'000'000),
               static_cast<long>(stamp % 1'000'000'000)}} {}
  struct timespec times[2];
};

// The folder of a path, "." for a bare name, as the calls that open it take it.
std::string FolderOf(const std::string& native) {
  const std::string folder = FolderOfPath(native, '/');
  return folder.empty() ? std::string(".") : folder;
}

std::string NameOf(const std::string& native) {
  return NameInPath(native, '/');
}

// Writes every byte at the position, retrying short writes.
int WriteAll(int fd, const std::uint8_t* data, std::size_t size, off_t position) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written =
        ::pwrite(fd, data + done, size - done, position + static_cast<off_t>(done));
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;
    done += static_cast<std::size_t>(written);
  }
  return 0;
}

}  // namespace

namespace {

// The home folder that the password database gives the user; empty when it
// gives none.
#if defined(QUILLFEN_STATIC_LIBC)
// A statically linked C library cannot load the system's name services: the
// local password file, name:password:uid:gid:comment:home:shell.
std::string PasswordDatabaseHome() {
  std::ifstream file("/etc/passwd");
  const std::string uid = std::to_string(::getuid());
  for (std::string line; std::getline(file, line);) {
    std::vector<std::string> fields(1);
    for (char c : line) {
      if (c == ':') {
        fields.emplace_back();
      } else {
        fields.back().push_back(c);
      }
    }
    if (fields.size() >= 6 && fields[2] == uid) return fields[5];
  }
  return {};
}
#else
std::string PasswordDatabaseHome() {
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 4096);
  passwd entry{};
  passwd* found = nullptr;
  while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
         buffer.size() < (std::size_t{1} << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  return found != nullptr && found->pw_dir != nullptr ? found->pw_dir : "";
}
#endif

}  // namespace

PosixSystem::PosixSystem() {
  // $HOME, as every program takes it; the password database's without it.
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    home_ = home;
  } else {
    home_ = PasswordDatabaseHome();
  }
}

std::string PosixSystem::Resolve(const std::string& native) {
  const std::string name = NameOf(native);
  struct stat info;
  if (name.empty() || name == "." || name == ".." || ::lstat(native.c_str(), &info) == 0) {
    return native;
  }
  const UniqueDir folder(::opendir(FolderOf(native).c_str()));
  if (!folder) return native;
  std::string found;
  int matches = 0;
  const std::string wanted = UpperAscii(name);
  while (const dirent* entry = ::readdir(folder.get())) {
    if (UpperAscii(entry->d_name) == wanted) {
      found = entry->d_name;
      ++matches;
    }
  }
  if (matches != 1) return native;
  return native.substr(0, native.size() - name.size()) + found;
}

std::string PosixSystem::ExecutablePath() {
  std::string path(PATH_MAX, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  return path;
}

std::string PosixSystem::ExecutableFolder() {
  // Without /proc (an empty chroot) the path is unknown: files beside the
  // program are then looked for in the working folder.
  return FolderOfPath(ExecutablePath(), '/');
}

std::string PosixSystem::ReadProfileString(const std::string& section, const std::string& key,
                                           const std::string& path) {
  const std::string native = Resolve(path);
  struct stat info;
  if (!StatOf(native, info) || !S_ISREG(info.st_mode)) return {};
  const std::string stamp = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
                            std::to_string(info.st_size) + ":" +
                            std::to_string(info.st_mtim.tv_sec) + "." +
                            std::to_string(info.st_mtim.tv_nsec);
  auto cached = profiles_.find(native);
  if (cached == profiles_.end() || cached->second.stamp != stamp) {
    Bytes content;
    try {
      content = ReadWholeFile(path);
    } catch (const FileError&) {
      return {};  // an unreadable file reads as empty values, as an absent one does
    }
    const std::string text(content.begin(), content.end());
    cached = profiles_.insert_or_assign(native, CachedProfile{stamp, Profile::Parse(text)}).first;
  }
  return cached->second.profile.Value(section, key);
}

bool PosixSystem::FileExists(const std::string& path) {
  struct stat info;
  return StatOf(Resolve(path), info) && S_ISREG(info.st_mode);
}

bool PosixSystem::FolderExists(const std::string& path) {
  struct stat info;
  return StatOf(Resolve(path), info) && S_ISDIR(info.st_mode);
}

std::int64_t PosixSystem::FileSize(const std::string& path) {
  const std::string native = Resolve(path);
  struct stat info;
  if (!StatOf(native, info)) ThrowCannotOpen(native, errno);
  if (S_ISDIR(info.st_mode)) ThrowCannotOpen(native, EISDIR);
  if (!S_ISREG(info.st_mode)) ThrowCannotOpen(native, FileCause::kNotRegular);
  return static_cast<std::int64_t>(info.st_size);
}

Bytes PosixSystem::ReadWholeFile(const std::string& path) {
  const std::string native = Resolve(path);
  // Non-blocking, so that a named pipe does not wait for a writer before it is refused.
  const Descriptor file(::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.Valid()) ThrowCannotOpen(native, errno);
  struct stat info;
  if (::fstat(file.Get(), &info) != 0) ThrowCannotOpen(native, errno);
  if (S_ISDIR(info.st_mode)) ThrowCannotOpen(native, EISDIR);
  if (!S_ISREG(info.st_mode)) ThrowCannotOpen(native, FileCause::kNotRegular);
  Bytes content(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t read = ::read(file.Get(), content.data() + done, content.size() - done);
    if (read < 0) {
      if (errno == EINTR) continue;
      ThrowCannotOpen(native, errno);
    }
    if (read == 0) break;  // the file shrank while it was read
    done += static_cast<std::size_t>(read);
  }
  content.resize(done);
  return content;
}

void PosixSystem::WriteWholeFile(const std::string& path, const Bytes& content) {
  const std::string native = Resolve(path);
  struct stat info;
  const bool existed = ::lstat(native.c_str(), &info) == 0;
  if (existed && S_ISLNK(info.st_mode)) ThrowCannotCreate(native, FileCause::kLinkPlace);
  if (existed && S_ISDIR(info.st_mode)) ThrowCannotCreate(native, EISDIR);
  if (existed && !S_ISREG(info.st_mode)) ThrowCannotCreate(native, FileCause::kNotRegular);
  if (existed && ReadOnly(info)) ThrowCannotCreate(native, EACCES);
  if (existed && info.st_nlink > 1)
    ThrowCannotCreate(native, FileCause::kOtherNames, info.st_nlink);
  Descriptor file(
      ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!file.Valid()) ThrowCannotCreate(native, errno);
  int error = WriteAll(file.Get(), content.data(), content.size(), 0);
  if (error == 0 && ::fsync(file.Get()) != 0) error = errno;
  if (file.Close() != 0 && error == 0) error = errno;
  if (error != 0) ThrowCannotCreate(native, error);
}

void PosixSystem::MoveOver(const std::string& from, const std::string& to) {
  const std::string source = Resolve(from);
  const std::string target = Resolve(to);
  struct stat info;
  if (StatOf(target, info)) {
    if (S_ISDIR(info.st_mode)) ThrowCannotCreate(target, EISDIR);
    if (ReadOnly(info)) ThrowCannotCreate(target, EACCES);
  }
  if (::rename(source.c_str(), target.c_str()) != 0) ThrowCannotCreate(target, errno);
}

std::string PosixSystem::FileIdentity(const std::string& path) {
  const std::string native = Resolve(path);
  struct stat info;
  if (StatOf(native, info)) {
    return "file:" + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  }
  // No file: the folder as the system resolves it and the name as a lookup
  // matches it, so that two spellings of one new file compare equal.
  std::string folder = FolderOf(native);
  if (char* real = ::realpath(folder.c_str(), nullptr)) {
    folder = std::string(real) + "/";
    std::free(real);
  }
  return "path:" + folder + UpperAscii(NameOf(native));
}

void PosixSystem::RemoveFile(const std::string& path) {
  if (const Refusal refusal = RemoveRefusal(path)) throw *refusal;
  const std::string native = Resolve(path);
  if (::unlink(native.c_str()) != 0 && errno != ENOENT) {
    throw Failed(FileAction::kDelete, native, errno);
  }
}

void PosixSystem::SyncFolder(const std::string& folder) {
  const std::string native = folder.empty() ? std::string(".") : Resolve(folder);
  const Descriptor opened(::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (opened.Valid()) ::fsync(opened.Get());
}

Refusal PosixSystem::RemoveRefusal(const std::string& path) {
  const std::string native = Resolve(path);
  struct stat info {};
  if (::lstat(native.c_str(), &info) != 0) return std::nullopt;
  if (S_ISDIR(info.st_mode)) return Failed(FileAction::kDelete, native, EISDIR);
  if (S_ISREG(info.st_mode) && ReadOnly(info)) return Failed(FileAction::kDelete, native, EACCES);
  if (::access(FolderOf(native).c_str(), W_OK | X_OK) != 0) {
    return Failed(FileAction::kDelete, native, errno);
  }
  return std::nullopt;
}

namespace {

// A game file held for one operation: an exclusive advisory lock, which a
// second copy of the program asks for too, on a descriptor open for reading
// and writing. Its content is mapped, so it shows the writes made through it.
class PosixHeldFile : public HeldFile {
 public:
  PosixHeldFile(std::string native, Descriptor file)
      : native_(std::move(native)), file_(std::move(file)) {}

  std::int64_t Size() override {
    struct stat info;
    if (::fstat(file_.Get(), &info) != 0) ThrowCannotOpen(native_, errno);
    return info.st_size;
  }

  std::span<const std::uint8_t> Content() override {
    if (!mapped_) {
      view_ = FileView(file_.Get(), native_);
      mapped_ = true;
    }
    return view_.Bytes();
  }

  void CheckRead() override { view_.CheckRead(); }

  void WriteAt(std::int64_t position, std::span<const std::uint8_t> bytes) override {
    // Never extend the file: a write that would is refused before any byte changes.
    if (position < 0 || position + static_cast<std::int64_t>(bytes.size()) > Size()) {
      ThrowCannotOpen(native_, FileCause::kPastEnd);
    }
    int error = WriteAll(file_.Get(), bytes.data(), bytes.size(), static_cast<off_t>(position));
    if (error == 0 && ::fsync(file_.Get()) != 0) error = errno;
    if (error != 0) ThrowCannotOpen(native_, error);
  }

  TimeStamp ModificationTime() override {
    struct stat info;
    if (::fstat(file_.Get(), &info) != 0) return std::nullopt;
    return StampOf(info);
  }

  bool SetModificationTime(const TimeStamp& time) override {
    if (!time) return false;
    const WriteTimes times(*time);
    return ::futimens(file_.Get(), times.times) == 0;
  }

 private:
  std::string native_;
  Descriptor file_;
  FileView view_;
  bool mapped_ = false;
};

// A file mapped for reading, as long as the object lives.
class PosixFileBytes : public FileBytes {
 public:
  explicit PosixFileBytes(FileView view) : view_(std::move(view)) {}
  std::span<const std::uint8_t> Content() override { return view_.Bytes(); }
  void CheckRead() override { view_.CheckRead(); }

 private:
  FileView view_;
};

// Takes the lock that copies of the program, of either build, take on a game
// file they hold (platform/hold_lock.h). It belongs to the open file
// description, so it lasts until the descriptor and the mapping made from it
// are closed, and two holds within one process exclude each other too.
bool LockForHold(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(kHoldLockOffset);
  lock.l_len = static_cast<off_t>(kHoldLockLength);
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// How long a file locked by another copy of the program is waited for.
constexpr int kHoldAttempts = 20;
constexpr long kHoldPauseNs = 50'000'000;

}  // namespace

std::unique_ptr<FileBytes> PosixSystem::ViewFile(const std::string& path) {
  const std::string native = Resolve(path);
  // Non-blocking, so that a named pipe does not wait for a writer before it is refused.
  const Descriptor file(::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.Valid()) ThrowCannotOpen(native, errno);
  return std::make_unique<PosixFileBytes>(FileView(file.Get(), native));
}

std::unique_ptr<HeldFile> PosixSystem::HoldFile(const std::string& path) {
  const std::string native = Resolve(path);
  Descriptor file = OpenWritable(native);
  for (int attempt = 1; !LockForHold(file.Get()); ++attempt) {
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
      ThrowCannotOpen(native, errno);
    }
    if (attempt == kHoldAttempts) {
      ThrowCannotOpen(native, FileCause::kHeldByAnotherCopy);
    }
    const struct timespec pause { 0, kHoldPauseNs };
    ::nanosleep(&pause, nullptr);
  }
  // Windows would not open a file another program has open; here another
  // program's hold is looked for in /proc.
  struct stat info;
  if (::fstat(file.Get(), &info) != 0) ThrowCannotOpen(native, errno);
  if (const std::optional<std::string> user = OtherProcessUsing(info.st_dev, info.st_ino)) {
    ThrowCannotOpen(native, FileCause::kOpenElsewhere, *user);
  }
  return std::make_unique<PosixHeldFile>(native, std::move(file));
}

Refusal PosixSystem::CreateRefusal(const std::string& path) {
  const std::string native = Resolve(path);
  const auto refused = [&](int error) { return Failed(FileAction::kCreate, native, error); };
  const auto own = [&](FileCause cause, std::int64_t code = 0) {
    return OwnFileError(FileAction::kCreate, native, cause, code);
  };
  for (int attempt = 0; attempt < 2; ++attempt) {
    struct stat info;
    if (::lstat(native.c_str(), &info) == 0) {
      if (S_ISLNK(info.st_mode)) return own(FileCause::kLinkPlace);
      if (S_ISDIR(info.st_mode)) return refused(EISDIR);
      if (!S_ISREG(info.st_mode)) return own(FileCause::kNotRegular);
      if (ReadOnly(info)) return refused(EACCES);
      if (info.st_nlink > 1) return own(FileCause::kOtherNames, info.st_nlink);
      // Opening it for writing, without truncating, changes neither content nor
      // time; without blocking, so that a pipe put there meanwhile is refused at once.
      const Descriptor file(::open(native.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
      if (!file.Valid()) return refused(errno);
      return std::nullopt;
    }
    // No file yet: create one and remove it again.
    const Descriptor file(::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (file.Valid()) {
      ::unlink(native.c_str());
      return std::nullopt;
    }
    if (errno != EEXIST) return refused(errno);
    // Someone created it meanwhile: judge it as an existing file.
  }
  return refused(EEXIST);
}

TimeStamp PosixSystem::ModificationTime(const std::string& path) {
  struct stat info;
  if (!StatOf(Resolve(path), info) || !S_ISREG(info.st_mode)) return std::nullopt;
  return StampOf(info);
}

bool PosixSystem::SetModificationTime(const std::string& path, const TimeStamp& time) {
  if (!time) return false;
  const WriteTimes times(*time);
  return ::utimensat(AT_FDCWD, Resolve(path).c_str(), times.times, 0) == 0;
}

std::vector<SearchPlace> PosixSystem::SearchRoots() {
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return {{home, true}};
}

std::string PosixSystem::HomeFolder() {
  if (home_.empty() || home_.back() == '/') return home_;
  return home_ + "/";
}

FolderListing PosixSystem::ListFolder(const std::string& folder) {
  const UniqueDir listing(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!listing) return {{}, Failed(FileAction::kList, folder, errno)};
  std::vector<DirEntry> entries;
  while (const dirent* entry = ::readdir(listing.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    DirEntry listed{name, {}, false, name[0] == '.', false};
    struct stat info;
    const std::string full = folder + name;
    if (::lstat(full.c_str(), &info) == 0) {
      listed.folder = S_ISDIR(info.st_mode);
      if (S_ISLNK(info.st_mode) && StatOf(full, info) && S_ISDIR(info.st_mode)) {
        listed.folder = true;
        listed.hidden = true;
        listed.link = true;
      }
    }
    entries.push_back(std::move(listed));
  }
  std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
    const std::string ua = UpperAscii(a.name);
    const std::string ub = UpperAscii(b.name);
    return ua != ub ? ua < ub : a.name < b.name;
  });
  return {std::move(entries), std::nullopt};
}

bool PosixSystem::SameTextNoCase(const std::string& a, const std::string& b) {
  return SameAsciiNoCase(a, b);
}

}  // namespace quillfen
