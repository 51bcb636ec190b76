#pragma once
// Reads the program's windows, checks their layout at a DPI and works a
// modal window from a timer inside its modal loop.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "win/win_util.h"

namespace proxanto::win {

// This test program run again with `arguments`, started directly (Wine's cmd now
// and then failed to): its exit code and output; nothing if it did not end in time.
inline std::optional<std::pair<DWORD, std::string>> run_self(const std::wstring& arguments,
                                                             DWORD timeout_ms = 30000) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" " + arguments;
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  UniqueHandle reading, writing;
  // The pipe holds all a test program says, so waiting before reading never blocks it.
  if (!CreatePipe(reading.out(), writing.out(), &inheritable, 1 << 20)) return std::nullopt;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = writing.get();
  PROCESS_INFORMATION child = {};
  const bool started = CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &child);
  if (!started) return std::nullopt;
  writing.reset();  // the child's copy alone keeps the pipe open
  const UniqueHandle process(child.hProcess), thread(child.hThread);
  if (WaitForSingleObject(process.get(), timeout_ms) != WAIT_OBJECT_0) {
    return TerminateProcess(process.get(), 1), std::nullopt;
  }
  std::string output;
  char buffer[4096];
  for (DWORD got = 0; ReadFile(reading.get(), buffer, sizeof(buffer), &got, nullptr) && got;) {
    output.append(buffer, got);
  }
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  return std::pair{code, output};
}

inline std::wstring text_of(HWND window) {
  wchar_t buffer[256] = {};
  return std::wstring(buffer, static_cast<std::size_t>(GetWindowTextW(window, buffer, 256)));
}

inline RECT rect_of(HWND window, HWND parent = nullptr) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The DPI the windows are laid out for: the system's, or PROXANTO_TEST_DPI.
inline UINT test_dpi() {
  const char* dpi = std::getenv("PROXANTO_TEST_DPI");
  return dpi ? static_cast<UINT>(std::atoi(dpi)) : dpi_of(nullptr);
}
inline UINT other_dpi() { return test_dpi() == 144 ? 96 : 144; }

// Twips at `dpi`, reckoned apart from the program's own conversion.
inline long px(int twips, UINT dpi) { return std::lround(twips * static_cast<double>(dpi) / 1440); }

// A control's design place in twips; labels sized to their text keep one edge.
enum class Keeps { kAll, kLeftEdge, kRightEdge };
struct Place { int id, left, top, width, height; Keeps keeps = Keeps::kAll; };

// The client area and every control at their design places at `dpi`, each
// edge within a pixel; every caption whole and in 8 points or more.
inline void expect_layout(HWND window, SIZE twips, std::initializer_list<Place> places, UINT dpi) {
  RECT r{};
  GetClientRect(window, &r);
  EXPECT_NEAR(r.right, px(twips.cx, dpi), 1) << "client width at " << dpi << " DPI";
  EXPECT_NEAR(r.bottom, px(twips.cy, dpi), 1) << "client height at " << dpi << " DPI";
  for (const Place& p : places) {
    HWND control = GetDlgItem(window, p.id);
    r = rect_of(control, window);
    RECT want{px(p.left, dpi), px(p.top, dpi), px(p.left + p.width, dpi), px(p.top + p.height, dpi)};
    if (p.keeps == Keeps::kRightEdge) want.left = r.left;
    if (p.keeps == Keeps::kLeftEdge) want.right = r.right;
    if (p.keeps != Keeps::kAll) want.bottom = std::max(want.bottom, r.bottom);
    const LONG got[] = {r.left, r.top, r.right, r.bottom};
    const LONG edges[] = {want.left, want.top, want.right, want.bottom};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], edges[i], 1) << "control " << p.id << " at " << dpi;

    const std::wstring text = text_of(control);
    wchar_t kind[8] = {};
    GetClassNameW(control, kind, 8);
    const bool button = kind == std::wstring(L"Button");
    if (text.empty() || (!button && kind != std::wstring(L"Static"))) continue;
    HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT need{}, room{};
    DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    GetClientRect(control, &room);
    if (button) InflateRect(&room, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
    EXPECT_TRUE(need.right <= room.right && need.bottom <= room.bottom) << "clipped: " << narrow(text);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_GE(std::abs(font.lfHeight), px(160, dpi)) << "under 8 points at " << dpi << " DPI: " << narrow(text);
  }
}

// The layout at the test's DPI, and at the other one once the window is told
// so, as the system does, with the top left corner (40, 30) suggested.
inline void expect_layout_follows_dpi(HWND window, SIZE twips, std::initializer_list<Place> places) {
  expect_layout(window, twips, places, test_dpi());
  const RECT suggested{40, 30, 340, 230};
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(other_dpi(), other_dpi()), reinterpret_cast<LPARAM>(&suggested));
  expect_layout(window, twips, places, other_dpi());
}

inline int icon_width(HICON icon) {
  ICONINFO info{};
  BITMAP bitmap{};
  if (!icon || !GetIconInfo(icon, &info)) return 0;
  const UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
  return GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap) ? bitmap.bmWidth : 0;
}

inline UniqueWindow make_window(DWORD style = WS_POPUP) {
  return UniqueWindow(CreateWindowExW(0, L"STATIC", L"", style, 100, 100, 200, 100, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr));
}

inline HWND open_dialog() {
  HWND dialog = FindWindowW(L"#32770", nullptr);
  return IsWindowVisible(dialog) ? dialog : nullptr;
}

// A key for the focused control, through the dialog manager of the modal loop.
inline void press_key(HWND dialog, WPARAM key) {
  PostMessageW(GetFocus() ? GetFocus() : dialog, WM_KEYDOWN, key, 0);
}

inline void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

inline std::function<void()> g_tick;
inline void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) { g_tick(); }

// Runs `open`, which shows a modal window; `inspect` gets the window as soon
// as `find` sees it and must close it. One still open ten seconds on is
// ended, so that the test program reports it rather than hangs.
inline void drive_modal(const std::function<void()>& open, const std::function<HWND()>& find,
                        const std::function<void(HWND)>& inspect) {
  bool inspected = false;
  int ticks = 0;
  g_tick = [&] {
    HWND window = find();
    if (window && !inspected) {
      inspected = true;
      inspect(window);
    } else if (++ticks >= 500 && (window || (window = GetActiveWindow()))) {
      if (ticks == 500) ADD_FAILURE() << "the modal window did not close";
      EndDialog(window, 0);
    }
  };
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &tick);
  open();
  KillTimer(nullptr, timer);
  EXPECT_TRUE(inspected) << "the window never appeared";
}

}  // namespace proxanto::win
