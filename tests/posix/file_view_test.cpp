// The read-only mapping of an open file on real files: what it shows at first,
// that it shows writes made after it was mapped, and the files it refuses.
#include "platform/posix/file_view.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/file_error.h"
#include "platform/posix/posix_system.h"
#include "posix/temp_folder.h"

namespace quillfen {
namespace {

using testing::TempFolder;

// Closes the descriptor when the test is done with it.
struct Fd {
  explicit Fd(const std::string& path, int flags) : fd(::open(path.c_str(), flags | O_CLOEXEC)) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  int fd;
};

Bytes Copy(std::span<const std::uint8_t> view) {
  return Bytes(view.begin(), view.end());
}

TEST(PosixFileView, ShowsTheFileAndWritesMadeThroughAnyDescriptorAfterwards) {
  TempFolder folder;
  Bytes content(3 * 4096 + 17);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7);
  const std::string path = folder.Write("game.exe", content);
  const Fd file(path, O_RDWR);
  ASSERT_GE(file.fd, 0);
  const FileView view(file.fd, path);
  EXPECT_EQ(Copy(view.Bytes()), content);

  // Through the same descriptor, across a page boundary and at the last byte.
  const std::uint8_t written[] = {0xDE, 0xAD, 0xBE, 0xEF};
  ASSERT_EQ(::pwrite(file.fd, written, sizeof written, 4094), 4);
  ASSERT_EQ(::pwrite(file.fd, written, 1, static_cast<off_t>(content.size() - 1)), 1);
  std::copy(std::begin(written), std::end(written), content.begin() + 4094);
  content.back() = 0xDE;
  EXPECT_EQ(Copy(view.Bytes()), content);

  // Through the system, which opens the file anew for each write.
  PosixSystem system;
  system.WriteBytesAt(ToEnginePath(path), 2, Bytes{1, 2, 3});
  std::copy_n(Bytes{1, 2, 3}.begin(), 3, content.begin() + 2);
  EXPECT_EQ(Copy(view.Bytes()), content);

  // The view outlives the descriptor it was made from, and moves.
  FileView moved;
  {
    const Fd reader(path, O_RDONLY);
    moved = FileView(reader.fd, path);
  }
  EXPECT_EQ(Copy(moved.Bytes()), content);
}

TEST(PosixFileView, AnEmptyFileGivesAnEmptyViewAndOtherFilesAreRefused) {
  TempFolder folder;
  const std::string empty = folder.Write("empty.dat", Bytes{});
  const Fd file(empty, O_RDONLY);
  EXPECT_TRUE(FileView(file.fd, empty).Bytes().empty());

  // A folder, and a file open only for writing, which cannot be mapped for reading.
  const std::string game = folder.Write("game.exe", Bytes{1, 2, 3});
  const Fd directory(folder.Path(), O_RDONLY | O_DIRECTORY);
  const Fd write_only(game, O_WRONLY);
  const auto refused = [](int fd, const std::string& path, const std::string& why) {
    try {
      FileView view(fd, path);
      ADD_FAILURE() << "mapped " << path;
    } catch (const FileError& error) {
      EXPECT_EQ(error.what(), "Cannot open file \"" + path + "\". " + why);
    }
  };
  refused(directory.fd, folder.Path(), std::strerror(EISDIR));
  refused(write_only.fd, game, std::strerror(EACCES));
}

}  // namespace
}  // namespace quillfen
