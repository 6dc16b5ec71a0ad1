#pragma once

// Owners of the Win32 resources the window holds: each resource has exactly
// one owner, which frees it when it goes, including on the way out of an
// exception. COM interfaces are held in Microsoft::WRL::ComPtr.

#include <windows.h>
// After <windows.h>, which the following headers need.
#include <objbase.h>
#include <shtypes.h>
#include <wrl/client.h>

#include <utility>

namespace quillfen::win32 {

// A move-only owner of one resource of handle type T, freed by Close. The
// null value of T means "none".
template <typename T, auto Close>
class UniqueAny {
 public:
  UniqueAny() noexcept = default;
  explicit UniqueAny(T value) noexcept : value_(value) {}
  UniqueAny(UniqueAny&& other) noexcept : value_(other.Release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  ~UniqueAny() { Reset(); }

  T Get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != T{}; }

  // Gives the resource up to the caller, who frees it from now on.
  [[nodiscard]] T Release() noexcept { return std::exchange(value_, T{}); }
  // Frees the resource held, if any, and holds `value` instead.
  void Reset(T value = T{}) noexcept {
    if (T old = std::exchange(value_, value); old != T{}) Close(old);
  }
  // Frees the resource held and gives the place for a function that hands
  // out a new one through a pointer.
  T* Put() noexcept {
    Reset();
    return &value_;
  }

 private:
  T value_{};
};

inline void FreeItemIdList(ITEMIDLIST* pidl) noexcept {
  CoTaskMemFree(pidl);
}

// A shell item identifier list, allocated by the shell with the task allocator.
using UniquePidl = UniqueAny<ITEMIDLIST*, &FreeItemIdList>;

using Microsoft::WRL::ComPtr;

}  // namespace quillfen::win32
