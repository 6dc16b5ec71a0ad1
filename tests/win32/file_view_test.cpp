// The read-only mapping of an open file on real files of the test drive: what
// it shows at first, that it shows writes made after it was mapped, and the
// files it refuses.
#include "platform/win32/file_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_error.h"
#include "ui/error_text.h"
#include "platform/win32/win32_owners.h"
#include "platform/win32/win32_system.h"
#include "win32/real_files.h"
#include "words/fault_words.h"

namespace quillfen {
namespace {

using testing::ScratchFolder;
using win32::UniqueFile;

UniqueFile Open(const std::string& path, DWORD access) {
  return UniqueFile(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Writes the bytes at the position through the handle.
void WriteAt(HANDLE file, std::uint64_t position, const std::string& bytes) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(position);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &at));
  ASSERT_EQ(written, bytes.size());
}

std::string TextOf(std::span<const std::uint8_t> view) {
  return std::string(view.begin(), view.end());
}

TEST(Win32FileView, ShowsTheFileAndWritesMadeThroughAnyHandleAfterwards) {
  const ScratchFolder folder("file-view");
  std::string content(3 * 4096 + 17, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  const std::string path = folder.Write("game.exe", content);
  const UniqueFile file = Open(path, GENERIC_READ | GENERIC_WRITE);
  ASSERT_TRUE(file);
  const FileView view(file.Get(), path);
  EXPECT_EQ(TextOf(view.Bytes()), content);

  // Through the same handle, across a page boundary and at the last byte.
  WriteAt(file.Get(), 4094, "WXYZ");
  WriteAt(file.Get(), content.size() - 1, "!");
  content.replace(4094, 4, "WXYZ");
  content.back() = '!';
  EXPECT_EQ(TextOf(view.Bytes()), content);

  // Through another handle of the file.
  {
    const UniqueFile other = Open(path, GENERIC_WRITE);
    ASSERT_TRUE(other);
    WriteAt(other.Get(), 2, "abc");
    content.replace(2, 3, "abc");
  }
  EXPECT_EQ(TextOf(view.Bytes()), content);

  // The view outlives the handle it was made from, and moves.
  FileView moved;
  {
    const UniqueFile reader = Open(path, GENERIC_READ);
    moved = FileView(reader.Get(), path);
  }
  EXPECT_EQ(TextOf(moved.Bytes()), content);
}

TEST(Win32FileView, AnEmptyFileGivesAnEmptyViewAndAFileOpenOnlyForWritingIsRefused) {
  const ScratchFolder folder("file-view-empty");
  const std::string empty = folder.Write("empty.dat", "");
  const UniqueFile file = Open(empty, GENERIC_READ);
  ASSERT_TRUE(file);
  EXPECT_TRUE(FileView(file.Get(), empty).Bytes().empty());

  const std::string game = folder.Write("game.exe", "abc");
  const UniqueFile write_only = Open(game, GENERIC_WRITE);
  ASSERT_TRUE(write_only);
  try {
    FileView view(write_only.Get(), game);
    ADD_FAILURE() << "mapped a file open only for writing";
  } catch (const FileError& error) {
    EXPECT_EQ(FileErrorText(error),
              "Cannot open file \"" + game + "\". " + SystemErrorText(ERROR_ACCESS_DENIED));
  }
}

}  // namespace
}  // namespace quillfen
