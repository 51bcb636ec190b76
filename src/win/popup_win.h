#pragma once
// The notification popup (Form2): a small topmost tool window at the top
// right corner of the screen with a banner and two lines of text.

#include <windows.h>

#include <string>

#include "app/ports.h"
#include "win/win_util.h"

namespace proxanto::win {

class Form2Popup final : public PopupPort {
 public:
  // The popup is owned by `owner` (may be null); it never appears on the task bar.
  explicit Form2Popup(HWND owner = nullptr);
  ~Form2Popup() override;
  Form2Popup(const Form2Popup&) = delete;
  Form2Popup& operator=(const Form2Popup&) = delete;

  void place() override;
  void fade_in() override;
  void repaint() override;
  void set_lines(const std::string& txt, const std::string& txt2) override;
  void fade_out_and_close() override;

  // Null while the popup does not exist.
  HWND hwnd() const { return window_.get(); }

 private:
  // Pixel geometry at the DPI of the popup's monitor.
  struct Layout {
    SIZE client{};
    RECT banner{};
    RECT message{};
    RECT state{};
    RECT logo{};
    RECT background{};
    int line_y = 0;
    int line_right = 0;
    int wide_line = 0;  // width of the grey separator
    int thin_line = 0;  // width of the green separator
  };

  static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void create();
  // Sizes the popup, its labels, fonts and pictures for `dpi`.
  void lay_out(UINT dpi);
  // Grows the second line's label, and the popup with it, to the lines its
  // text needs at the label's width.
  void fit_state_line();
  void paint_surface(HDC dc) const;
  void draw_banner(const DRAWITEMSTRUCT& item) const;
  void draw_line_label(const DRAWITEMSTRUCT& item, COLORREF colour) const;
  void restack() const;

  HWND owner_;
  Layout layout_;
  int extra_height_ = 0;  // below the design height, for a second line that wraps
  UniqueBitmap background_;  // both pictures at the size of the layout
  UniqueBitmap logo_;
  UniqueBrush surface_brush_;
  UniqueBrush banner_brush_;
  UniqueBrush wide_line_brush_;
  UniqueBrush thin_line_brush_;
  UniqueFont banner_font_;
  UniqueFont line_font_;
  // Declared last so that it is destroyed before the objects it paints with.
  UniqueWindow window_;
};

}  // namespace proxanto::win
