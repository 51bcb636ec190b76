#include "win/window_util.h"

namespace proxanto::win {

void MakeTopmost(HWND window) {
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void FlatButton(HWND button) {
  const LONG style = GetWindowLongW(button, GWL_STYLE);
  SetWindowLongW(button, GWL_STYLE, style | BS_FLAT);
  // A button already on the screen keeps its old look until it is redrawn.
  InvalidateRect(button, nullptr, TRUE);
}

}  // namespace proxanto::win
