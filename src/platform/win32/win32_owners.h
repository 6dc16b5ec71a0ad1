#pragma once

// Owners of the Win32 resources the program holds: each resource has exactly
// one owner, which frees it when it goes, including on the way out of an
// exception. COM interfaces are held in Microsoft::WRL::ComPtr. No other file
// closes, frees or releases a Win32 resource by hand.

#include <windows.h>
// After <windows.h>, which the following headers need.
#include <objbase.h>
#include <ole2.h>
#include <shtypes.h>
#include <wrl/client.h>

#include <cstdint>
#include <type_traits>
#include <utility>

namespace quillfen::win32 {

// A move-only owner of one resource of handle type T, freed by Close. Invalid
// is the value that means "none", the one the function handing the resource
// out returns on failure: null for most kinds, INVALID_HANDLE_VALUE (-1) for
// files and listings. It is given as an integer since a handle constant is no
// constant expression; the owner never frees it.
template <typename T, auto Close, std::intptr_t Invalid = 0>
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

  // The value that holds nothing.
  static T InvalidValue() noexcept {
    if constexpr (std::is_pointer_v<T>) {
      return reinterpret_cast<T>(Invalid);
    } else {
      return static_cast<T>(Invalid);
    }
  }

  T Get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != InvalidValue(); }

  // Gives the resource up to the caller, who frees it from now on.
  [[nodiscard]] T Release() noexcept { return std::exchange(value_, InvalidValue()); }
  // Frees the resource held, if any, and holds `value` instead.
  void Reset(T value = InvalidValue()) noexcept {
    if (T old = std::exchange(value_, value); old != InvalidValue()) Close(old);
  }
  // Frees the resource held and gives the place for a function that hands
  // out a new one through a pointer.
  T* Put() noexcept {
    Reset();
    return &value_;
  }

 private:
  T value_ = InvalidValue();
};

inline void FreeItemIdList(ITEMIDLIST* pidl) noexcept {
  CoTaskMemFree(pidl);
}

inline void FreeCoTaskText(wchar_t* text) noexcept {
  CoTaskMemFree(text);
}

// A text the shell allocated with the task allocator (StrRetToStrW).
using UniqueCoTaskText = UniqueAny<wchar_t*, &FreeCoTaskText>;

// A shell item identifier list, allocated by the shell with the task allocator.
using UniquePidl = UniqueAny<ITEMIDLIST*, &FreeItemIdList>;

inline void CloseKernelHandle(HANDLE handle) noexcept {
  CloseHandle(handle);
}
inline void CloseFind(HANDLE find) noexcept {
  FindClose(find);
}

// The value CreateFileW and FindFirstFileW return on failure (INVALID_HANDLE_VALUE).
inline constexpr std::intptr_t kInvalidHandle = -1;

// A kernel object handle whose functions return null on failure (a file
// mapping, a process, a thread).
using UniqueHandle = UniqueAny<HANDLE, &CloseKernelHandle>;
// A file of CreateFileW.
using UniqueFile = UniqueAny<HANDLE, &CloseKernelHandle, kInvalidHandle>;

inline void UnmapView(const void* view) noexcept {
  UnmapViewOfFile(view);
}
// A view of a file mapping (MapViewOfFile); it keeps the mapping alive after
// the mapping's handle is closed.
using UniqueMappedView = UniqueAny<const void*, &UnmapView>;
// A directory listing of FindFirstFileW.
using UniqueFind = UniqueAny<HANDLE, &CloseFind, kInvalidHandle>;

inline void CloseRegistryKey(HKEY key) noexcept {
  RegCloseKey(key);
}
// An open registry key.
using UniqueKey = UniqueAny<HKEY, &CloseRegistryKey>;

inline void FreeLocal(LPWSTR* block) noexcept {
  LocalFree(block);
}
// The argument array of CommandLineToArgvW, one block of LocalAlloc.
using UniqueArgv = UniqueAny<LPWSTR*, &FreeLocal>;

inline void DeleteGdiObject(HGDIOBJ object) noexcept {
  DeleteObject(object);
}
inline void DestroyMenuHandle(HMENU menu) noexcept {
  DestroyMenu(menu);
}
inline void UnhookHook(HHOOK hook) noexcept {
  UnhookWindowsHookEx(hook);
}

// A font of CreateFont.
using UniqueFont = UniqueAny<HFONT, &DeleteGdiObject>;
// A menu of CreateMenu or CreatePopupMenu that no window holds.
using UniqueMenu = UniqueAny<HMENU, &DestroyMenuHandle>;
// A hook of SetWindowsHookEx.
using UniqueHook = UniqueAny<HHOOK, &UnhookHook>;

// The device context of a window's client area (GetDC), given back to the
// window when it goes. A null window means the screen.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
  WindowDc(WindowDc&& other) noexcept
      : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
  WindowDc& operator=(WindowDc&& other) noexcept {
    if (this != &other) {
      Reset();
      window_ = other.window_;
      dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() { Reset(); }

  HDC Get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  void Reset() noexcept {
    if (HDC dc = std::exchange(dc_, nullptr)) ReleaseDC(window_, dc);
  }

  HWND window_;
  HDC dc_;
};

// An object selected into a device context; the object it replaced is
// selected again when this goes, so that the context never outlives it
// holding an object of ours.
class [[nodiscard]] SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// OLE on the calling thread, from its initialisation until this goes; the
// shell's folder tree and context menus need it.
class OleInitialization {
 public:
  OleInitialization() noexcept : initialized_(SUCCEEDED(OleInitialize(nullptr))) {}
  OleInitialization(const OleInitialization&) = delete;
  OleInitialization& operator=(const OleInitialization&) = delete;
  ~OleInitialization() {
    if (initialized_) OleUninitialize();
  }

 private:
  bool initialized_;
};

using Microsoft::WRL::ComPtr;

}  // namespace quillfen::win32
