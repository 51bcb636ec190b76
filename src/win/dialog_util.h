#pragma once
// The program's dialogs are built in memory: an empty template, with the
// controls created in WM_INITDIALOG at their twips positions.

#include <windows.h>

namespace proxanto::win {

class DialogHandler {
 public:
  // Every message from WM_INITDIALOG on, as a dialog procedure gets it.
  virtual INT_PTR handle(HWND box, UINT message, WPARAM wparam, LPARAM lparam) = 0;

 protected:
  ~DialogHandler() = default;
};

// Shows a modal dialog without controls, menu, class or title and returns
// when it is closed. A failure inside the handler closes the dialog rather
// than leaving the user in a modal window that may not work.
void run_dialog(HWND owner, DWORD style, DWORD ex_style, DialogHandler& handler);

// A child control of the dialog at `rect`, in `font`.
HWND add_control(HWND box, int id, const wchar_t* window_class, const wchar_t* text, DWORD style,
                 const RECT& rect, HFONT font);

// Sizes the dialog to a client area of the given twips and centres it on the
// screen.
void size_and_centre(HWND box, int client_width_twips, int client_height_twips);

}  // namespace proxanto::win
