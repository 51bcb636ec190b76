#pragma once
// Shared pieces of the Win32 adapters: one move-only owner for every kind of
// handle, UTF-8/UTF-16 conversion at the API boundary, and twips.

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace proxanto::win {

// Owns one handle and releases it with Deleter; move-only.
template <typename T, typename Deleter>
class Unique {
 public:
  Unique() = default;
  explicit Unique(T handle) : handle_(handle) {}
  ~Unique() { reset(); }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : handle_(std::exchange(other.handle_, T{})) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, T{}));
    return *this;
  }
  T get() const { return handle_; }
  T* out() {
    reset();
    return &handle_;
  }
  T release() { return std::exchange(handle_, T{}); }
  void reset(T handle = T{}) {
    if (handle_) Deleter{}(handle_);
    handle_ = handle;
  }
  explicit operator bool() const { return handle_ != T{}; }

 private:
  T handle_{};
};

struct HkeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct MenuDestroyer {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct IconDestroyer {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct WindowDestroyer {
  void operator()(HWND window) const { DestroyWindow(window); }
};
struct KernelHandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

using UniqueHkey = Unique<HKEY, HkeyCloser>;
using UniqueFont = Unique<HFONT, GdiObjectDeleter>;
using UniqueBrush = Unique<HBRUSH, GdiObjectDeleter>;
using UniquePen = Unique<HPEN, GdiObjectDeleter>;
using UniqueBitmap = Unique<HBITMAP, GdiObjectDeleter>;
using UniqueMenu = Unique<HMENU, MenuDestroyer>;
using UniqueIcon = Unique<HICON, IconDestroyer>;
using UniqueWindow = Unique<HWND, WindowDestroyer>;
using UniqueHandle = Unique<HANDLE, KernelHandleCloser>;

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// Twips (1440 per inch) to pixels at the screen's real DPI.
int twips_to_px_x(int twips);
int twips_to_px_y(int twips);
// A rectangle given in twips, in pixels.
RECT twips_rect(int left, int top, int width, int height);
inline int width_of(const RECT& r) { return r.right - r.left; }
inline int height_of(const RECT& r) { return r.bottom - r.top; }

// The program's own module, which holds its resources.
inline HINSTANCE module() { return GetModuleHandleW(nullptr); }
// The full path of the program file.
std::wstring module_path();

}  // namespace proxanto::win
