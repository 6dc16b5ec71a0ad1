#include <sys/mman.h>
#include <unistd.h>

#include <stdexcept>

#include "support/guarded_buffer.h"

namespace quillfen::testing {

GuardedBuffer::GuardedBuffer(std::size_t size) : size_(size) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t pages = (size + page - 1) / page;
  mapped_ = (pages + 2) * page;
  mapping_ = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping_ == MAP_FAILED) throw std::runtime_error("mmap failed");
  auto* front = static_cast<std::uint8_t*>(mapping_);
  auto* guard = front + (pages + 1) * page;
  if (::mprotect(front, page, PROT_NONE) != 0 || ::mprotect(guard, page, PROT_NONE) != 0) {
    throw std::runtime_error("mprotect failed");
  }
  data_ = guard - size;
}

GuardedBuffer::~GuardedBuffer() {
  ::munmap(mapping_, mapped_);
}

}  // namespace quillfen::testing
