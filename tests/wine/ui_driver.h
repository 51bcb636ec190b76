#pragma once
// Drives the program's windows from inside the test program: reads them, and
// acts on a modal window from a timer that runs inside its modal loop.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "win/win_util.h"

namespace proxanto::win {

inline std::wstring text_of(HWND window) {
  wchar_t buffer[256] = {};
  GetWindowTextW(window, buffer, 256);
  return buffer;
}

inline RECT rect_in(HWND control, HWND parent) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// True when `upper` lies above `lower` in the z-order.
inline bool above(HWND upper, HWND lower) {
  for (HWND w = GetWindow(upper, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == lower) return true;
  }
  return false;
}

// A window with a client area of the given twips, centred on the screen.
inline void expect_client_twips_and_centred(HWND window, int width, int height) {
  RECT client{}, outer{};
  GetClientRect(window, &client);
  GetWindowRect(window, &outer);
  EXPECT_EQ(client.right, twips_to_px_x(width));
  EXPECT_EQ(client.bottom, twips_to_px_y(height));
  EXPECT_NEAR(outer.left + outer.right, GetSystemMetrics(SM_CXSCREEN), 1) << "centred";
  EXPECT_NEAR(outer.top + outer.bottom, GetSystemMetrics(SM_CYSCREEN), 1) << "centred";
}

inline UniqueWindow make_window(DWORD style = WS_POPUP, int x = 0, int y = 0, int width = 10,
                                int height = 10) {
  return UniqueWindow(CreateWindowExW(0, L"STATIC", L"", style, x, y, width, height, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr));
}

inline void pump_messages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Posts a key to the focused control, as the keyboard would, through the
// dialog manager of the modal loop.
inline void press_key(HWND dialog, WPARAM key) {
  HWND focus = GetFocus();
  PostMessageW(focus ? focus : dialog, WM_KEYDOWN, key, 0);
}

inline void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

struct ModalRun {
  bool inspected = false;        // the window appeared and was handed to `inspect`
  bool closed_by_force = false;  // it did not close as it should
};

namespace detail {
struct Driver {
  std::function<HWND()> find;
  std::function<void(HWND)> inspect;
  ModalRun run;
  int ticks = 0;
};
inline Driver* g_driver = nullptr;

inline void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  Driver& d = *g_driver;
  HWND window = d.find();
  if (window && !d.run.inspected) {
    d.run.inspected = true;
    d.inspect(window);
    return;
  }
  if (++d.ticks < 500) return;
  // Ended here, so that the failure is reported instead of hanging the test
  // program.
  d.run.closed_by_force = true;
  if (!window) window = GetActiveWindow();
  if (window) EndDialog(window, 0);
}
}  // namespace detail

// Runs `open`, which shows a modal window and returns once it is closed;
// `inspect` gets the window as soon as `find` sees it.
inline ModalRun drive_modal(const std::function<void()>& open, std::function<HWND()> find,
                            std::function<void(HWND)> inspect) {
  detail::Driver driver{std::move(find), std::move(inspect), {}, 0};
  detail::g_driver = &driver;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &detail::tick);
  open();
  KillTimer(nullptr, timer);
  detail::g_driver = nullptr;
  return driver.run;
}

}  // namespace proxanto::win
