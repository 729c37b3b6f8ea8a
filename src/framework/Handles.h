#pragma once

#include <windows.h>
#include <objbase.h>

// One move-only owner per kind of handle. The traits say what "no handle" is and how one is
// released; an owner is never copied, so a handle can never be closed twice.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept : handle_(Traits::Invalid()) {}
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

  Handle release() noexcept {
    Handle handle = handle_;
    handle_ = Traits::Invalid();
    return handle;
  }

  void reset(Handle handle = Traits::Invalid()) noexcept {
    if (handle_ != Traits::Invalid()) Traits::Close(handle_);
    handle_ = handle;
  }

  // For Windows calls that return a handle through a pointer argument.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_;
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

// CreateFileA reports failure with INVALID_HANDLE_VALUE, not with a null handle.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { ::RegCloseKey(handle); }
};

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { ::DeleteObject(handle); }
};

struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { ::DestroyIcon(handle); }
};

struct CoTaskMemoryTraits {
  using Handle = void*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle memory) noexcept { ::CoTaskMemFree(memory); }
};

struct WindowsHookTraits {
  using Handle = HHOOK;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle hook) noexcept { ::UnhookWindowsHookEx(hook); }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using RegistryKey = UniqueHandle<RegistryKeyTraits>;
using GdiObject = UniqueHandle<GdiObjectTraits>;
using Icon = UniqueHandle<IconTraits>;
using CoTaskMemory = UniqueHandle<CoTaskMemoryTraits>;
using WindowsHook = UniqueHandle<WindowsHookTraits>;

// COM stays initialised on this thread for the life of the object, when the initialisation worked.
class ScopedComInitialization {
 public:
  explicit ScopedComInitialization(DWORD model) noexcept
      : result_(::CoInitializeEx(nullptr, model)), initialized_(SUCCEEDED(result_)) {}
  ScopedComInitialization(const ScopedComInitialization&) = delete;
  ScopedComInitialization& operator=(const ScopedComInitialization&) = delete;
  ~ScopedComInitialization() {
    if (initialized_) ::CoUninitialize();
  }

  HRESULT Result() const noexcept { return result_; }

 private:
  HRESULT result_;
  bool initialized_;
};
