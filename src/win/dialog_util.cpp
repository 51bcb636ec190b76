#include "win/dialog_util.h"

#include <commctrl.h>

#include <vector>

#include "win/win_util.h"

namespace proxanto::win {

namespace {

// The dialog manager of Windows 10 1703 and later rescales dialogs on its
// own when the DPI changes; these dialogs lay themselves out instead.
void disable_system_rescaling(HWND box) {
  using SetBehavior = BOOL(WINAPI*)(HWND, int, int);
  constexpr int kDisableAll = 1;  // DDC_DISABLE_ALL
  static const auto set_behavior = user32_function<SetBehavior>("SetDialogDpiChangeBehavior");
  if (set_behavior) set_behavior(box, kDisableAll, kDisableAll);
}

INT_PTR CALLBACK dialog_proc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
  try {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(box, DWLP_USER, lparam);
      INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
      InitCommonControlsEx(&controls);
      disable_system_rescaling(box);
    }
    auto* handler = reinterpret_cast<DialogHandler*>(GetWindowLongPtrW(box, DWLP_USER));
    if (handler && message == WM_DPICHANGED) {
      handler->lay_out(box, HIWORD(wparam));
      const auto& suggested = *reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(box, nullptr, suggested.left, suggested.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    }
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

HWND add_control(HWND box, int id, const wchar_t* window_class, const wchar_t* text, DWORD style) {
  return CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, box,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module(), nullptr);
}

void place_control(HWND control, const RECT& rect, HFONT font) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  MoveWindow(control, rect.left, rect.top, width_of(rect), height_of(rect), TRUE);
}

void centre(HWND box) {
  RECT outer{};
  GetWindowRect(box, &outer);
  SetWindowPos(box, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width_of(outer)) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height_of(outer)) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace proxanto::win
