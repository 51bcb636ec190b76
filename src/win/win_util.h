#pragma once
// Shared pieces of the Win32 adapters: one move-only owner for every kind of
// handle, UTF-8/UTF-16 conversion at the API boundary, twips and DPI.

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

// A function of user32 that older systems lack, or null: the program runs
// from Windows 7 on, so newer functions are looked up at run time.
template <typename Function>
Function user32_function(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// Dots per inch at 100 % scale.
inline constexpr UINT kDefaultDpi = 96;

// The DPI `window` is laid out for: that of its monitor where the system
// tells (Windows 10 1607 and later), otherwise the system's. A null window
// gives the system's.
UINT dpi_of(HWND window);

// Twips (1440 per inch) to pixels at `dpi`.
int twips_to_px(int twips, UINT dpi);
// A rectangle given in twips, in pixels at `dpi`.
RECT twips_rect(int left, int top, int width, int height, UINT dpi);
inline int width_of(const RECT& r) { return r.right - r.left; }
inline int height_of(const RECT& r) { return r.bottom - r.top; }

// A system metric (SM_CXSMICON, ...) as the system gives it at `dpi`.
int metric_for_dpi(int index, UINT dpi);

// Resizes `window`, keeping its top left corner, so that its client area is
// `width` x `height` pixels with the frame it has at `dpi`.
void set_client_size(HWND window, int width, int height, UINT dpi);

// The program's icon at `size` pixels square, from the image made for that
// size when the resource has one.
UniqueIcon load_program_icon(int size);

// The program's own module, which holds its resources.
inline HINSTANCE module() { return GetModuleHandleW(nullptr); }
// The full path of the program file.
std::wstring module_path();

}  // namespace proxanto::win
