#include "win/dialog_util.h"

#include <commctrl.h>

#include <vector>

#include "win/win_util.h"

namespace proxanto::win {

namespace {

INT_PTR CALLBACK dialog_proc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
  try {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(box, DWLP_USER, lparam);
      INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
      InitCommonControlsEx(&controls);
    }
    auto* handler = reinterpret_cast<DialogHandler*>(GetWindowLongPtrW(box, DWLP_USER));
    if (handler) return handler->handle(box, message, wparam, lparam);
  } catch (...) {
    EndDialog(box, 0);
  }
  return FALSE;
}

}  // namespace

void run_dialog(HWND owner, DWORD style, DWORD ex_style, DialogHandler& handler) {
  std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
  auto* head = reinterpret_cast<DLGTEMPLATE*>(words.data());
  head->style = style;
  head->dwExtendedStyle = ex_style;
  // Menu, window class and title follow as empty entries (the zeros).
  DialogBoxIndirectParamW(module(), head, owner, &dialog_proc, reinterpret_cast<LPARAM>(&handler));
}

HWND add_control(HWND box, int id, const wchar_t* window_class, const wchar_t* text, DWORD style,
                 const RECT& rect, HFONT font) {
  HWND control = CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, rect.left,
                                 rect.top, width_of(rect), height_of(rect), box,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module(),
                                 nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void size_and_centre(HWND box, int client_width_twips, int client_height_twips) {
  RECT outer{0, 0, twips_to_px_x(client_width_twips), twips_to_px_y(client_height_twips)};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(box, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(box, GWL_EXSTYLE)));
  const int width = width_of(outer);
  const int height = height_of(outer);
  SetWindowPos(box, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace proxanto::win
