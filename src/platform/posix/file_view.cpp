#include "platform/posix/file_view.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/file_error.h"

namespace quillfen {

// The views alive, so that the handler of SIGBUS knows a fault on one of
// their pages for what it is: a page of the file that could not be read (the
// file became shorter since it was mapped, or the disk failed). Each slot is a
// range of addresses from begin to end. A free slot has begin 0 and end 0; one
// being taken has begin 1 until its range is stored. Its end is stored last and
// cleared first, so that a slot never holds a range it does not own.
struct FileViewSlot {
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<bool> faulted{false};
};

namespace {

constexpr std::size_t kViewSlots = 1024;
FileViewSlot g_views[kViewSlots];
std::uintptr_t g_page_size = 4096;
struct sigaction g_previous_handler;

// A fault on a page of a view: the page is replaced by one of zeros, so the
// read goes on, and the view is marked. Any other fault is handed back to the
// handling there was before, which the faulting instruction then meets again.
void OnBusError(int, siginfo_t* info, void*) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (FileViewSlot& view : g_views) {
    const std::uintptr_t begin = view.begin.load();
    if (address < begin || address >= view.end.load()) continue;
    void* page = reinterpret_cast<void*>(address & ~(g_page_size - 1));
    if (::mmap(page, g_page_size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      view.faulted.store(true);
      return;
    }
    break;
  }
  ::sigaction(SIGBUS, &g_previous_handler, nullptr);
}

void InstallBusErrorHandler() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    g_page_size = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previous_handler);
  });
}

// Takes a free slot for the range; nothing when all are taken.
FileViewSlot* Register(const void* data, std::size_t size) {
  for (FileViewSlot& view : g_views) {
    std::uintptr_t expected = 0;
    if (!view.begin.compare_exchange_strong(expected, 1)) continue;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    view.faulted.store(false);
    view.begin.store(begin);
    view.end.store(begin + size);
    return &view;
  }
  return nullptr;
}

}  // namespace

namespace {

FileError CannotOpen(const std::string& path, int error) {
  return SystemFileError(FileAction::kOpen, path, error, std::strerror(error));
}

FileError CannotOpen(const std::string& path, FileCause cause) {
  return OwnFileError(FileAction::kOpen, path, cause);
}

}  // namespace

FileView::FileView(int fd, const std::string& path) : path_(path) {
  struct stat info;
  if (::fstat(fd, &info) != 0) throw CannotOpen(path, errno);
  if (S_ISDIR(info.st_mode)) throw CannotOpen(path, EISDIR);
  if (!S_ISREG(info.st_mode)) throw CannotOpen(path, FileCause::kNotRegular);
  if (info.st_size == 0) return;  // mmap refuses a length of 0
  InstallBusErrorHandler();
  const auto size = static_cast<std::size_t>(info.st_size);
  void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  if (mapped == MAP_FAILED) throw CannotOpen(path, errno);
  range_ = Register(mapped, size);
  if (range_ == nullptr) {
    ::munmap(mapped, size);
    throw CannotOpen(path, FileCause::kTooManyOpen);
  }
  data_ = static_cast<const std::uint8_t*>(mapped);
  size_ = size;
}

FileView::~FileView() {
  Unmap();
}

FileView::FileView(FileView&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      range_(std::exchange(other.range_, nullptr)),
      path_(std::move(other.path_)) {}

FileView& FileView::operator=(FileView&& other) noexcept {
  if (this != &other) {
    Unmap();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    range_ = std::exchange(other.range_, nullptr);
    path_ = std::move(other.path_);
  }
  return *this;
}

void FileView::CheckRead() const {
  if (range_ != nullptr && range_->faulted.load()) {
    throw CannotOpen(path_, FileCause::kCutShort);
  }
}

void FileView::Unmap() noexcept {
  if (range_ != nullptr) {
    range_->end.store(0);
    range_->begin.store(0);
    range_ = nullptr;
  }
  if (data_ != nullptr) ::munmap(const_cast<std::uint8_t*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace quillfen
