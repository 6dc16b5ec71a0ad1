#include <windows.h>

#include <stdexcept>

#include "support/guarded_buffer.h"

namespace quillfen::testing {

GuardedBuffer::GuardedBuffer(std::size_t size) : size_(size) {
  SYSTEM_INFO info;
  ::GetSystemInfo(&info);
  const std::size_t page = info.dwPageSize;
  const std::size_t pages = (size + page - 1) / page;
  mapped_ = (pages + 2) * page;
  mapping_ = ::VirtualAlloc(nullptr, mapped_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (mapping_ == nullptr) throw std::runtime_error("VirtualAlloc failed");
  auto* front = static_cast<std::uint8_t*>(mapping_);
  auto* guard = front + (pages + 1) * page;
  DWORD before = 0;
  if (!::VirtualProtect(front, page, PAGE_NOACCESS, &before) ||
      !::VirtualProtect(guard, page, PAGE_NOACCESS, &before)) {
    throw std::runtime_error("VirtualProtect failed");
  }
  data_ = guard - size;
}

GuardedBuffer::~GuardedBuffer() {
  ::VirtualFree(mapping_, 0, MEM_RELEASE);
}

}  // namespace quillfen::testing
