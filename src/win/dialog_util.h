#pragma once
// The program's dialogs are built in memory: an empty template, with the
// controls created in WM_INITDIALOG and laid out from their twips positions
// for the dialog's DPI.

#include <windows.h>

namespace proxanto::win {

class DialogHandler {
 public:
  // Every message from WM_INITDIALOG on, as a dialog procedure gets it.
  virtual INT_PTR handle(HWND box, UINT message, WPARAM wparam, LPARAM lparam) = 0;
  // Sizes the client area and places the controls, their fonts and pictures
  // for `dpi`. The handler calls it when it loads; a change of DPI while the
  // dialog is open calls it again, and the dialog then moves to the corner
  // the system suggests.
  virtual void lay_out(HWND box, UINT dpi) = 0;

 protected:
  ~DialogHandler() = default;
};

// Shows a modal dialog without controls, menu, class or title and returns
// when it is closed. A failure inside the handler closes the dialog rather
// than leaving the user in a modal window that may not work.
void run_dialog(HWND owner, DWORD style, DWORD ex_style, DialogHandler& handler);

// A child control of the dialog; lay_out gives it its place and font.
HWND add_control(HWND box, int id, const wchar_t* window_class, const wchar_t* text, DWORD style);

// Moves a child control to `rect` and gives it `font`.
void place_control(HWND control, const RECT& rect, HFONT font);

// Centres the dialog on the screen.
void centre(HWND box);

}  // namespace proxanto::win
