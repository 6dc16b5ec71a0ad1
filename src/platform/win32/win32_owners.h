#pragma once

// Owners of the Win32 resources the program holds: each resource has exactly
// one owner, which frees it when it goes, including on the way out of an
// exception. COM interfaces are held in Microsoft::WRL::ComPtr. No other file
// closes, frees or releases a Win32 resource by hand.

#include <windows.h>
// After <windows.h>, which the following headers need.
#include <objbase.h>
#include <shtypes.h>
#include <wrl/client.h>

#include <utility>

namespace quillfen::win32 {

// A move-only owner of one resource of handle type T, freed by Close. The
// null value of T means "none"; a kind whose failure value is another (file
// handles: INVALID_HANDLE_VALUE) is kept as null instead (see UniqueFile).
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

inline void CloseKernelHandle(HANDLE handle) noexcept {
  CloseHandle(handle);
}
inline void CloseFind(HANDLE find) noexcept {
  FindClose(find);
}

// A kernel object handle (a file, a process, a thread).
using UniqueHandle = UniqueAny<HANDLE, &CloseKernelHandle>;
// A directory listing of FindFirstFileW.
using UniqueFind = UniqueAny<HANDLE, &CloseFind>;

// Takes what CreateFileW or FindFirstFileW returned: INVALID_HANDLE_VALUE,
// their failure, becomes an empty owner.
template <typename Owner>
Owner OwnValidHandle(HANDLE handle) noexcept {
  return Owner(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

using Microsoft::WRL::ComPtr;

}  // namespace quillfen::win32
