// The read-only mapping of an open file on real files: what it shows at first,
// that it shows writes made after it was mapped, and the files it refuses.
#include "platform/posix/file_view.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/crc32.h"
#include "engine/locate.h"
#include "engine/one_pass.h"
#include "engine/one_pass_internal.h"
#include "engine/patching.h"
#include "engine/signature.h"
#include "engine/signature_internal.h"
#include "fuzz/plain_scan.h"
#include "platform/file_error.h"
#include "platform/posix/posix_system.h"
#include "posix/temp_folder.h"
#include "support/game_files.h"
#include "ui/error_text.h"
#include "words/fault_words.h"

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

  // Through the system's hold of the file, another descriptor.
  PosixSystem system;
  system.HoldFile(path)->WriteAt(2, Bytes{1, 2, 3});
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
      EXPECT_EQ(FileErrorText(error), "Cannot open file \"" + path + "\". " + why);
    }
  };
  refused(directory.fd, folder.Path(), std::strerror(EISDIR));
  refused(write_only.fd, game, std::strerror(EACCES));
  refused(-1, game, std::strerror(EBADF));

  // A device shows no size; it is no file to read as empty.
  const Fd device("/dev/null", O_RDONLY);
  try {
    FileView view(device.fd, "/dev/null");
    ADD_FAILURE() << "mapped /dev/null";
  } catch (const FileError& error) {
    EXPECT_EQ(error.Cause(), FileCause::kNotRegular);
  }

  // Past the views the program can watch for a cut file, a view is refused,
  // not made unwatched; those made before it show the file.
  const Fd reader(game, O_RDONLY);
  std::vector<FileView> views;
  try {
    while (views.size() < 4096) views.emplace_back(reader.fd, game);
    ADD_FAILURE() << "made 4096 views";
  } catch (const FileError& error) {
    EXPECT_EQ(error.Cause(), FileCause::kTooManyOpen);
  }
  EXPECT_TRUE(std::all_of(views.begin(), views.end(), [](const FileView& view) {
    return Copy(view.Bytes()) == Bytes{1, 2, 3};
  }));
}

// The pages of a file emptied under its view read as zeros, wherever in a page
// the first read of each falls (its very first byte too), and only that view is
// marked; views given back before, any number of them, leave no trace.
TEST(PosixFileView, EachPageOfAnEmptiedFileReadsAsZerosAndMarksItsViewOnly) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  TempFolder folder;
  const std::string kept = folder.Write("kept.dat", Bytes(10, 7));
  const std::string emptied = folder.Write("emptied.dat", Bytes(4 * page, 9));
  const Fd kept_fd(kept, O_RDONLY);
  const Fd emptied_fd(emptied, O_RDONLY);
  for (int round = 0; round < 3000; ++round) FileView(kept_fd.fd, kept);

  const FileView other(kept_fd.fd, kept);
  auto before = std::make_unique<FileView>(kept_fd.fd, kept);
  const FileView view(emptied_fd.fd, emptied);
  before.reset();
  ASSERT_EQ(::truncate(emptied.c_str(), 0), 0);
  for (const std::size_t at : {std::size_t{0}, page + 100, 2 * page + 7, 4 * page - 1}) {
    EXPECT_EQ(view.Bytes()[at], 0) << at;
  }
  try {
    view.CheckRead();
    ADD_FAILURE() << "the emptied file's view is not marked";
  } catch (const FileError& error) {
    EXPECT_EQ(error.Cause(), FileCause::kCutShort);
  }
  EXPECT_NO_THROW(other.CheckRead());
}

// Two threads that make views at once never take one slot for two views: the
// views the program watches stay as many as its slots, however the threads meet.
TEST(PosixFileView, ViewsMadeAtOnceByTwoThreadsTakeASlotEach) {
  TempFolder folder;
  const std::string game = folder.Write("game.exe", Bytes{1, 2, 3});
  const Fd reader(game, O_RDONLY);
  const auto fill = [&](std::vector<FileView>& views) {
    try {
      while (views.size() < 4096) views.emplace_back(reader.fd, game);
    } catch (const FileError&) {
    }
  };
  std::vector<FileView> alone;
  fill(alone);
  const std::size_t slots = alone.size();
  alone.clear();
  for (int round = 0; round < 100; ++round) {
    std::vector<FileView> first;
    std::vector<FileView> second;
    std::atomic<bool> go{false};
    std::thread other([&] {
      while (!go.load()) std::this_thread::yield();
      fill(second);
    });
    go.store(true);
    fill(first);
    other.join();
    ASSERT_EQ(first.size() + second.size(), slots) << "round " << round;
  }
}

// Two views can lie back to back, the first page of one just past the last of
// the other, so a fault there belongs to the view it begins, whichever of the
// two is listed first. The system maps top down, into the highest gap that
// fits: a view given back leaves a gap just above the view made after it, the
// slot it gave back goes to a view too large for that gap, and a view made
// into the gap then lies just past the lower view and is listed after it.
TEST(PosixFileView, AFaultJustPastAViewBelongsToTheViewThatBeginsThere) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  TempFolder folder;
  const std::string gap = folder.Write("gap.dat", Bytes(2 * page, 1));
  const std::string lower = folder.Write("lower.dat", Bytes(page, 2));
  const std::string filler = folder.Write("filler.dat", Bytes(64 * page, 3));
  const std::string upper = folder.Write("upper.dat", Bytes(2 * page, 4));
  const Fd gap_fd(gap, O_RDONLY);
  const Fd lower_fd(lower, O_RDONLY);
  const Fd filler_fd(filler, O_RDONLY);
  const Fd upper_fd(upper, O_RDONLY);

  auto above = std::make_unique<FileView>(gap_fd.fd, gap);
  const FileView below(lower_fd.fd, lower);
  above.reset();
  const FileView elsewhere(filler_fd.fd, filler);
  const FileView view(upper_fd.fd, upper);
  if (view.Bytes().data() != below.Bytes().data() + below.Bytes().size()) {
    GTEST_SKIP() << "the system did not map the two views back to back";
  }
  ASSERT_EQ(::truncate(upper.c_str(), 0), 0);
  EXPECT_EQ(view.Bytes()[0], 0);
  EXPECT_THROW(view.CheckRead(), FileError);
  EXPECT_NO_THROW(below.CheckRead());
}

// A mapping ends where its last page ends: a search or checksum that read one
// byte past the file would stop the program here, where a buffer would let
// it pass. Files of whole pages, the signature on the last candidate, every
// way of searching and the one pass, against the plain scan.
TEST(PosixFileView, EveryScanOfTheMappedBytesStopsAtTheirEnd) {
  using signature_internal::Strategy;
  TempFolder folder;
  std::mt19937 random(4096);
  const long page = ::sysconf(_SC_PAGESIZE);
  for (const std::size_t pages : {1, 2, 5}) {
    for (const bool zeros : {false, true}) {
      Bytes content(pages * static_cast<std::size_t>(page));
      for (auto& b : content) b = zeros ? 0 : static_cast<std::uint8_t>(random() % 4);
      const Bytes sig = zeros ? Bytes(40, 0) : Bytes{3, 1, 2, 0, 3, 3, 1};
      const Bytes wild(sig.size(), 0);
      std::copy(sig.begin(), sig.end(),
                content.end() - static_cast<std::ptrdiff_t>(sig.size() + 1));
      const std::string path = folder.Write("game.exe", content);
      const Fd file(path, O_RDONLY);
      // A page no one may read right after the view: the system places a new
      // mapping in the highest gap that fits it, here the hole in front of it.
      const std::size_t size = content.size();
      auto* hole =
          static_cast<std::uint8_t*>(::mmap(nullptr, size + static_cast<std::size_t>(page),
                                            PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
      ASSERT_NE(hole, MAP_FAILED);
      ::munmap(hole, size);
      const FileView view(file.fd, path);
      ASSERT_EQ(view.Bytes().data(), hole) << "the view is not in front of the guard page";
      ASSERT_EQ(view.Bytes().size(), content.size());
      const std::int64_t total = CountSignature(view.Bytes(), sig, wild);
      std::vector<SignatureQuery> queries;
      for (const std::int32_t occur :
           {1, static_cast<std::int32_t>(total), static_cast<std::int32_t>(total + 1)}) {
        const std::int32_t expected = reference::PlainScan(content, sig, wild, 0, occur);
        for (const Strategy strategy : {Strategy::kEveryCandidate, Strategy::kSse2Blocks,
                                        Strategy::kAvx2Blocks, Strategy::kAvx512Blocks}) {
          EXPECT_EQ(
              signature_internal::FindSignatureUsing(strategy, view.Bytes(), sig, wild, 0, occur),
              expected)
              << pages << " pages, strategy " << static_cast<int>(strategy);
        }
        queries.push_back({sig, wild, occur, 0, 1});
      }
      const PassResult pass =
          one_pass_internal::ChecksumAndFindInPieces(view.Bytes(), queries, 1000, true);
      EXPECT_EQ(pass.crc, Crc32Of(content));
      for (std::size_t k = 0; k < queries.size(); ++k) {
        EXPECT_EQ(pass.found[k].xpos,
                  reference::PlainScan(content, sig, wild, 0, queries[k].occur));
      }
      ::munmap(hole + size, static_cast<std::size_t>(page));
    }
  }
}

// The POSIX system, but each game file it shows is cut to `keep` bytes as soon
// as its bytes are first asked for: another program truncating the file in
// the middle of a read, which POSIX cannot forbid.
class CuttingSystem : public PosixSystem {
 public:
  explicit CuttingSystem(off_t keep) : keep_(keep) {}

  std::unique_ptr<FileBytes> ViewFile(const std::string& path) override {
    return std::make_unique<Cut<FileBytes>>(PosixSystem::ViewFile(path), path, keep_);
  }
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override {
    return std::make_unique<CutHeld>(PosixSystem::HoldFile(path), path, keep_);
  }

 private:
  template <class Base>
  class Cut : public Base {
   public:
    Cut(std::unique_ptr<Base> inner, std::string path, off_t keep)
        : inner_(std::move(inner)), path_(std::move(path)), keep_(keep) {}
    std::span<const std::uint8_t> Content() override {
      const std::span<const std::uint8_t> bytes = inner_->Content();
      if (!cut_ && ::truncate(path_.c_str(), keep_) == 0) cut_ = true;
      return bytes;
    }
    void CheckRead() override { inner_->CheckRead(); }

   protected:
    std::unique_ptr<Base> inner_;

   private:
    std::string path_;
    off_t keep_;
    bool cut_ = false;
  };
  class CutHeld : public Cut<HeldFile> {
   public:
    using Cut<HeldFile>::Cut;
    std::int64_t Size() override { return inner_->Size(); }
    void WriteAt(std::int64_t position, std::span<const std::uint8_t> bytes) override {
      inner_->WriteAt(position, bytes);
    }
    TimeStamp ModificationTime() override { return inner_->ModificationTime(); }
    bool SetModificationTime(const TimeStamp& time) override {
      return inner_->SetModificationTime(time);
    }
  };

  off_t keep_;
};

// A game file cut short while locate, Patch or Undo Patch reads it: the pages
// past the new end read as zeros instead of stopping the program with SIGBUS,
// and the operation ends with an error that says what happened, before it
// writes anything. A large file's pieces are shared with a second thread,
// which meets the cut pages too.
TEST(PosixFileView, AFileCutShortWhileReadIsAnErrorNotACrash) {
  const long page = ::sysconf(_SC_PAGESIZE);
  for (const std::size_t pages : {std::size_t{64}, (std::size_t{5} << 20) / page}) {
    SCOPED_TRACE(std::to_string(pages) + " pages");
    TempFolder folder;
    const Bytes original = testing::GameFile(pages * static_cast<std::size_t>(page), 5, 1024, 768);
    const std::string game = folder.Write("game/racer.exe", original);
    const std::string record = folder.Path() + "game/racer.undo";
    const PatchEntry entry = testing::GameEntry("racer.exe", "racer.undo");
    const std::string cut_text =
        "Cannot open file \"" + game +
        "\". The file became shorter while it was read, or a part of it could not be read";
    CuttingSystem cutting(page);
    PosixSystem plain;
    const auto list = [&] {
      PatchList patches;
      patches.Append(entry);
      return patches;
    };
    const auto fails_with_cut = [&](const std::function<void()>& operation, const char* what) {
      try {
        operation();
        ADD_FAILURE() << what << " went through a file cut short";
      } catch (const FileError& error) {
        EXPECT_EQ(FileErrorText(error), cut_text) << what;
      }
    };

    fails_with_cut([&] { LocatePatch(cutting, folder.Path() + "game/", entry); }, "locate");

    folder.Write("game/racer.exe", original);
    PatchList patch = list();
    fails_with_cut([&] { ApplyPatches(cutting, patch, folder.Path() + "game/", 1920, 1080); },
                   "Patch");
    EXPECT_FALSE(folder.Exists("game/racer.undo")) << "a record was written";

    folder.Write("game/racer.exe", original);
    PatchList patched = list();
    ASSERT_TRUE(ApplyPatches(plain, patched, folder.Path() + "game/", 1920, 1080).done);
    const Bytes kept = folder.Read("game/racer.undo");
    PatchList undo = list();
    fails_with_cut([&] { RemovePatches(cutting, undo, folder.Path() + "game/"); }, "Undo Patch");
    EXPECT_EQ(folder.Read("game/racer.undo"), kept) << "the record did not stay";
  }
}

}  // namespace
}  // namespace quillfen
