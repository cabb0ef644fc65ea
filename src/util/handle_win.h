// One move-only owner for every kind of Win32 handle. Each kind names its
// invalid value and how it is released, so "released on every path" holds
// by construction: reset() and reassignment close the old handle.
#pragma once

#include <windows.h>

#include <utility>

template <typename T, T Invalid, typename Close>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(T h) : h_(h) {}
  ~UniqueAny() { reset(); }
  UniqueAny(UniqueAny&& o) noexcept : h_(o.release()) {}
  UniqueAny& operator=(UniqueAny&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;

  T get() const { return h_; }
  bool valid() const { return h_ != Invalid; }
  explicit operator bool() const { return valid(); }
  T release() { return std::exchange(h_, Invalid); }
  void reset(T h = Invalid) {
    if (h_ != Invalid) Close()(h_);
    h_ = h;
  }
  // For APIs that write a handle through a pointer.
  T* put() {
    reset();
    return &h_;
  }

 private:
  T h_ = Invalid;
};

struct CloseHandleFn { void operator()(HANDLE h) const { ::CloseHandle(h); } };
struct FindCloseFn { void operator()(HANDLE h) const { ::FindClose(h); } };
struct RegCloseKeyFn { void operator()(HKEY h) const { ::RegCloseKey(h); } };
struct FreeLibraryFn { void operator()(HMODULE h) const { ::FreeLibrary(h); } };
struct DeleteObjectFn { void operator()(HGDIOBJ h) const { ::DeleteObject(h); } };
struct DestroyWindowFn { void operator()(HWND h) const { ::DestroyWindow(h); } };
struct GlobalDeleteAtomFn { void operator()(ATOM a) const { ::GlobalDeleteAtom(a); } };

// CreateFile and the find functions fail with INVALID_HANDLE_VALUE, most
// other APIs with NULL; owners hold NULL for "none", so wrap those results
// with NullIfInvalid.
inline HANDLE NullIfInvalid(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }

using UniqueHandle = UniqueAny<HANDLE, nullptr, CloseHandleFn>;
using UniqueFind = UniqueAny<HANDLE, nullptr, FindCloseFn>;
using UniqueKey = UniqueAny<HKEY, nullptr, RegCloseKeyFn>;
using UniqueModule = UniqueAny<HMODULE, nullptr, FreeLibraryFn>;
using UniqueGdi = UniqueAny<HGDIOBJ, nullptr, DeleteObjectFn>;
using UniqueWindow = UniqueAny<HWND, nullptr, DestroyWindowFn>;
using UniqueGlobalAtom = UniqueAny<ATOM, ATOM(0), GlobalDeleteAtomFn>;
