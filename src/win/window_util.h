#pragma once
// Small window functions shared by the program's dialogs.

#include <windows.h>

namespace proxanto::win {

// Puts a window above every window that is not topmost, without moving or
// sizing it.
void MakeTopmost(HWND window);

// Gives a push button the flat look.
void FlatButton(HWND button);

}  // namespace proxanto::win
