#pragma once
// Scoped GDI helpers for painting code: a memory device context, a window's
// (or the screen's) context, an object selected into a context for one
// scope, and a window's paint cycle.

#include <windows.h>

#include "win/win_util.h"

namespace proxanto::win {

struct DcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
using UniqueDc = Unique<HDC, DcDeleter>;

// GetDC for the lifetime of the object, ReleaseDC after; a null window is
// the screen.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// BeginPaint for the lifetime of the object, EndPaint after.
class PaintCycle {
 public:
  explicit PaintCycle(HWND window) : window_(window) { dc_ = BeginPaint(window_, &paint_); }
  ~PaintCycle() { EndPaint(window_, &paint_); }
  PaintCycle(const PaintCycle&) = delete;
  PaintCycle& operator=(const PaintCycle&) = delete;
  HDC dc() const { return dc_; }
  const RECT& area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

// A font as a form designer gives it: face, size in points and look.
struct FontLook {
  const wchar_t* face;
  double points;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  BYTE charset = EASTEUROPE_CHARSET;
};

// The font at `dpi`: its character height is `points` at that many dots per
// inch.
UniqueFont make_font(const FontLook& look, UINT dpi);

// A bitmap resource at `width` x `height` pixels, scaled smoothly unless that
// is its own size. A picture that also comes twice as large (`large_id`, 0
// for none) is taken from that size when the screen needs it larger than the
// small one: scaled down, its edges stay sharp.
UniqueBitmap load_picture(int resource_id, int large_id, int width, int height);

}  // namespace proxanto::win
