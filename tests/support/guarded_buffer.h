#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillfen::testing {

// Bytes whose last one lies just before a page that no one may read or write,
// so that a scan reading one byte past them stops the test program instead of
// passing unnoticed; bytes of whole pages also start just after such a page,
// which stops a read before the first. Implemented per system (posix/, win32/).
class GuardedBuffer {
 public:
  explicit GuardedBuffer(std::size_t size);
  ~GuardedBuffer();
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  std::span<std::uint8_t> Bytes() { return {data_, size_}; }

 private:
  void* mapping_ = nullptr;
  std::size_t mapped_ = 0;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace quillfen::testing
