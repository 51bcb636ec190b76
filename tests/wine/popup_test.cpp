#include <windows.h>

#include <gtest/gtest.h>

#include "win/popup_ids.h"
#include "win/popup_win.h"
#include "wine/ui_driver.h"

namespace proxanto::win {
namespace {

std::wstring lines_of(HWND popup) {
  return text_of(GetDlgItem(popup, kPopupMessageId)) + L"|" +
         text_of(GetDlgItem(popup, kPopupStateId));
}

void expect_at_the_top_right(HWND window) {
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.top, 0);
  EXPECT_EQ(outer.right, GetSystemMetrics(SM_CXSCREEN));
}

TEST(Form2Popup, PlaceCreatesTheHiddenToolWindowAtTheTopRightCorner) {
  Form2Popup popup;
  EXPECT_EQ(popup.hwnd(), nullptr);
  popup.place();
  HWND window = popup.hwnd();
  ASSERT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));
  expect_at_the_top_right(window);
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

  // The banner and the two lines are labels that UI automation can read.
  for (const int id : {kPopupBannerId, kPopupMessageId, kPopupStateId}) {
    wchar_t window_class[64] = {};
    GetClassNameW(GetDlgItem(window, id), window_class, 64);
    EXPECT_EQ(std::wstring(window_class), L"Static") << id;
  }
  EXPECT_EQ(text_of(GetDlgItem(window, kPopupBannerId)), L"\r\n  Proxanto");
  EXPECT_EQ(lines_of(window), L"|");
  const RECT line = rect_in(GetDlgItem(window, kPopupStateId), window);
  EXPECT_EQ(line.left, twips_to_px_x(120));
  EXPECT_EQ(line.top, twips_to_px_y(1200));
  EXPECT_EQ(width_of(line), twips_to_px_x(2415));

  // A popup moved away is put back, not created anew.
  SetWindowPos(window, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  popup.place();
  EXPECT_EQ(popup.hwnd(), window);
  expect_at_the_top_right(window);
}

TEST(Form2Popup, FadesInShowsBothLinesAndIsDestroyedByTheFadeOut) {
  Form2Popup popup;
  popup.place();
  HWND window = popup.hwnd();
  popup.fade_in();
  EXPECT_TRUE(IsWindowVisible(window));
  popup.repaint();
  popup.set_lines("185.72.10.4:3128", "Česká republika");
  EXPECT_EQ(lines_of(window), L"185.72.10.4:3128|Česká republika");

  // A second announcement while shown: same window, new lines.
  popup.place();
  popup.fade_in();
  popup.set_lines("Anonymizace", "byla přerušena");
  EXPECT_EQ(popup.hwnd(), window);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(lines_of(window), L"Anonymizace|byla přerušena");

  popup.fade_out_and_close();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(popup.hwnd(), nullptr);
  // Nothing to act on until the next placement, which starts afresh.
  popup.fade_in();
  popup.repaint();
  popup.set_lines("x", "y");
  popup.fade_out_and_close();
  EXPECT_EQ(popup.hwnd(), nullptr);
  popup.place();
  ASSERT_TRUE(IsWindow(popup.hwnd()));
  EXPECT_FALSE(IsWindowVisible(popup.hwnd()));
  EXPECT_EQ(lines_of(popup.hwnd()), L"|");
}

TEST(Form2Popup, IsForgottenWhenDestroyedFromOutsideOrWithItsOwner) {
  UniqueWindow owner = make_window();
  Form2Popup popup(owner.get());
  popup.place();
  ASSERT_TRUE(IsWindow(popup.hwnd()));
  EXPECT_EQ(GetWindow(popup.hwnd(), GW_OWNER), owner.get());
  DestroyWindow(popup.hwnd());
  EXPECT_EQ(popup.hwnd(), nullptr);
  popup.place();
  EXPECT_TRUE(IsWindow(popup.hwnd()));
  owner.reset();
  EXPECT_EQ(popup.hwnd(), nullptr);
}

TEST(Form2Popup, PaintsTheTwoToneRuleAndLeavesTheKeyboardWhereItWas) {
  const UniqueWindow working = make_window(WS_POPUP | WS_VISIBLE, 100, 100, 200, 100);
  SetForegroundWindow(working.get());
  SetActiveWindow(working.get());
  ASSERT_EQ(GetActiveWindow(), working.get());
  Form2Popup popup;
  popup.place();
  popup.fade_in();
  HWND window = popup.hwnd();
  ASSERT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetActiveWindow(), working.get());
  popup.repaint();
  pump_messages();

  HDC dc = GetDC(window);
  ASSERT_TRUE(dc);
  const int rule = twips_to_px_y(720);
  const COLORREF colours[] = {GetPixel(dc, 2, 2), GetPixel(dc, 2, rule - 1), GetPixel(dc, 2, rule)};
  ReleaseDC(window, dc);
  EXPECT_EQ(colours[0], RGB(255, 255, 255)) << "banner";
  EXPECT_EQ(colours[1], RGB(192, 192, 192)) << "grey line";
  EXPECT_EQ(colours[2], RGB(192, 255, 192)) << "green line";
  popup.fade_out_and_close();
}

}  // namespace
}  // namespace proxanto::win
