#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "win/popup_ids.h"
#include "win/popup_win.h"
#include "win/win_util.h"

namespace proxanto::win {
namespace {

std::wstring text_of(HWND window) {
  wchar_t buffer[256] = {};
  GetWindowTextW(window, buffer, 256);
  return buffer;
}

std::wstring class_of(HWND window) {
  wchar_t buffer[64] = {};
  GetClassNameW(window, buffer, 64);
  return buffer;
}

// Lets the popup paint what is pending.
void pump_messages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

TEST(Form2PopupTest, PlaceCreatesTheHiddenToolWindowAtTheTopRightCorner) {
  Form2Popup popup;
  EXPECT_EQ(popup.hwnd(), nullptr);
  popup.place();
  HWND window = popup.hwnd();
  ASSERT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));

  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.top, 0);
  EXPECT_EQ(outer.right, GetSystemMetrics(SM_CXSCREEN));
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, twips_to_px_x(2955));
  EXPECT_EQ(client.bottom, twips_to_px_y(1695));

  EXPECT_EQ(text_of(window), L"Proxanto");
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  const LONG ex_style = GetWindowLongW(window, GWL_EXSTYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(style & WS_SYSMENU, 0) << "no control box";
  EXPECT_EQ(style & WS_THICKFRAME, 0) << "fixed border";
  EXPECT_NE(ex_style & WS_EX_TOOLWINDOW, 0) << "no task-bar button";
  EXPECT_NE(ex_style & WS_EX_TOPMOST, 0);

  HWND banner = GetDlgItem(window, kPopupBannerId);
  HWND message = GetDlgItem(window, kPopupMessageId);
  HWND state = GetDlgItem(window, kPopupStateId);
  for (HWND label : {banner, message, state}) {
    ASSERT_TRUE(IsWindow(label));
    EXPECT_EQ(class_of(label), L"Static");
  }
  EXPECT_EQ(text_of(banner), L"\r\n  Proxanto");
  EXPECT_EQ(text_of(message), L"");
  EXPECT_EQ(text_of(state), L"");

  RECT line_rect{};
  GetWindowRect(state, &line_rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&line_rect), 2);
  EXPECT_EQ(line_rect.left, twips_to_px_x(120));
  EXPECT_EQ(line_rect.top, twips_to_px_y(1200));
  EXPECT_EQ(line_rect.right - line_rect.left, twips_to_px_x(2415));

  // A popup moved away is put back, not created anew.
  SetWindowPos(window, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  popup.place();
  EXPECT_EQ(popup.hwnd(), window);
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.top, 0);
  EXPECT_EQ(outer.right, GetSystemMetrics(SM_CXSCREEN));
}

TEST(Form2PopupTest, FadesInShowsBothLinesAndIsDestroyedByTheFadeOut) {
  Form2Popup popup;
  popup.place();
  HWND window = popup.hwnd();
  ASSERT_TRUE(IsWindow(window));
  popup.fade_in();
  EXPECT_TRUE(IsWindowVisible(window));
  popup.repaint();

  popup.set_lines("185.72.10.4:3128", "Česká republika");
  EXPECT_EQ(text_of(GetDlgItem(window, kPopupMessageId)), L"185.72.10.4:3128");
  EXPECT_EQ(text_of(GetDlgItem(window, kPopupStateId)), L"Česká republika");

  // A second announcement while shown: same window, new lines.
  popup.place();
  popup.fade_in();
  popup.set_lines("Anonymizace", "byla přerušena");
  EXPECT_EQ(popup.hwnd(), window);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(text_of(GetDlgItem(window, kPopupMessageId)), L"Anonymizace");
  EXPECT_EQ(text_of(GetDlgItem(window, kPopupStateId)), L"byla přerušena");

  popup.fade_out_and_close();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(popup.hwnd(), nullptr);

  // Nothing to act on until the next placement.
  popup.fade_in();
  popup.repaint();
  popup.set_lines("x", "y");
  popup.fade_out_and_close();
  EXPECT_EQ(popup.hwnd(), nullptr);

  popup.place();
  HWND again = popup.hwnd();
  ASSERT_TRUE(IsWindow(again));
  EXPECT_FALSE(IsWindowVisible(again));
  EXPECT_EQ(text_of(GetDlgItem(again, kPopupMessageId)), L"");
  EXPECT_EQ(text_of(GetDlgItem(again, kPopupStateId)), L"");
}

TEST(Form2PopupTest, APopupDestroyedFromOutsideIsForgotten) {
  Form2Popup popup;
  popup.place();
  HWND window = popup.hwnd();
  ASSERT_TRUE(IsWindow(window));
  DestroyWindow(window);
  EXPECT_EQ(popup.hwnd(), nullptr);
  popup.place();
  EXPECT_TRUE(IsWindow(popup.hwnd()));
}

TEST(Form2PopupTest, IsOwnedByTheGivenWindowAndClosesWithIt) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(owner);
  Form2Popup popup(owner);
  popup.place();
  ASSERT_TRUE(IsWindow(popup.hwnd()));
  EXPECT_EQ(GetWindow(popup.hwnd(), GW_OWNER), owner);
  DestroyWindow(owner);
  EXPECT_EQ(popup.hwnd(), nullptr);
}

TEST(Form2PopupTest, DoesNotTakeTheKeyboardFromAWindowOfTheProgram) {
  HWND working = CreateWindowExW(0, L"STATIC", L"working", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(working);
  SetForegroundWindow(working);
  SetActiveWindow(working);
  ASSERT_EQ(GetActiveWindow(), working);
  {
    Form2Popup popup;
    popup.place();
    popup.fade_in();
    EXPECT_TRUE(IsWindowVisible(popup.hwnd()));
    EXPECT_EQ(GetActiveWindow(), working);
    popup.fade_out_and_close();
  }
  DestroyWindow(working);
}

TEST(Form2PopupTest, PaintsTheBannerWithTheTwoToneRuleAtItsFoot) {
  Form2Popup popup;
  popup.place();
  popup.fade_in();
  HWND window = popup.hwnd();
  ASSERT_TRUE(IsWindowVisible(window));
  popup.repaint();
  pump_messages();

  HDC dc = GetDC(window);
  ASSERT_TRUE(dc);
  const int rule = twips_to_px_y(720);
  const COLORREF banner = GetPixel(dc, 2, 2);
  const COLORREF green = GetPixel(dc, 2, rule);
  const COLORREF grey = GetPixel(dc, 2, rule - 1);
  ReleaseDC(window, dc);
  EXPECT_EQ(banner, RGB(255, 255, 255));
  EXPECT_EQ(green, RGB(192, 255, 192));
  EXPECT_EQ(grey, RGB(192, 192, 192));
  popup.fade_out_and_close();
}

}  // namespace
}  // namespace proxanto::win
