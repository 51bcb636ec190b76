#pragma once
// The about box (about): program icon, title, version, the maker's signature
// and links. Modal: the owner is disabled while it is open, and the thread's
// timers keep being served.

#include <windows.h>

namespace proxanto::win {

// Shows the box and returns when the user closes it. `owner` and `icon` may
// be null.
void show_about_box(HWND owner, HICON icon);

}  // namespace proxanto::win
