#include <windows.h>

#include <gtest/gtest.h>

#include "win/popup_ids.h"
#include "win/popup_win.h"
#include "wine/ui_driver.h"

namespace proxanto::win {
namespace {

std::wstring lines_of(HWND popup) {
  return text_of(GetDlgItem(popup, kPopupMessageId)) + L"|" + text_of(GetDlgItem(popup, kPopupStateId));
}

const std::pair<LONG, LONG> kTopRight{0, GetSystemMetrics(SM_CXSCREEN)};

// A topmost tool window at the top right corner, laid out for its DPI and
// again when the DPI changes.
TEST(Popup, LayoutFollowsTheDpi) {
  Form2Popup popup;
  popup.place();
  HWND window = popup.hwnd();
  EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST),
            WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
  popup.set_lines("198.51.100.33:8080", "Russian Federation");
  EXPECT_EQ((std::pair{rect_of(window).top, rect_of(window).right}), kTopRight);
  expect_layout_follows_dpi(window, {2955, 1695},
                            {{kPopupBannerId, 0, 0, 3015, 735},
                             {kPopupMessageId, 120, 840, 2415, 375},
                             {kPopupStateId, 120, 1200, 2415, 375}});
  EXPECT_EQ((std::pair{rect_of(window).top, rect_of(window).right}), kTopRight);
}

// The counts after a check do not fit one line: the second line wraps, its
// label and the popup grow alike, the corner stays; a short line shrinks
// them back.
TEST(Popup, ALongSecondLineWrapsAndThePopupGrowsToHoldIt) {
  Form2Popup popup;
  popup.place();
  HWND window = popup.hwnd();
  const auto heights = [&] {
    RECT client{};
    GetClientRect(window, &client);
    const RECT label = rect_of(GetDlgItem(window, kPopupStateId));
    return std::pair{client.bottom, label.bottom - label.top};
  };
  popup.set_lines("Check finished", "x");
  const auto design = heights();
  popup.set_lines("Check finished", "57 working: 12 elite, 30 anonymous, 15 reveal your address");
  const auto grown = heights();
  EXPECT_GE(grown.second, 3 * design.second / 2);
  EXPECT_EQ(grown.first - design.first, grown.second - design.second);
  popup.place();
  EXPECT_EQ((std::pair{rect_of(window).top, rect_of(window).right}), kTopRight);
  popup.set_lines("Check finished", "57 working");
  EXPECT_EQ(heights(), design);
}

TEST(Popup, ShowsTheLinesWithoutTakingTheKeyboardAndIsForgottenOnceGone) {
  const UniqueWindow working = make_window(WS_POPUP | WS_VISIBLE);
  SetForegroundWindow(working.get());
  SetActiveWindow(working.get());
  UniqueWindow owner = make_window();
  Form2Popup popup(owner.get());
  popup.place();
  HWND window = popup.hwnd();
  popup.fade_in();
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetActiveWindow(), working.get());
  // A second announcement while shown: same window, new lines.
  popup.place();
  popup.fade_in();
  popup.set_lines("Anonymizace", "byla přerušena");
  EXPECT_EQ(popup.hwnd(), window);
  EXPECT_EQ(lines_of(window), L"Anonymizace|byla přerušena");
  popup.fade_out_and_close();
  EXPECT_FALSE(IsWindow(window));
  // Placed again, it starts afresh; destroyed from outside, it is forgotten.
  popup.place();
  EXPECT_FALSE(IsWindowVisible(popup.hwnd())) << "placed, it is still hidden";
  EXPECT_EQ(lines_of(popup.hwnd()), L"|");
  DestroyWindow(popup.hwnd());
  EXPECT_EQ(popup.hwnd(), nullptr);
  popup.place();
  owner.reset();
  EXPECT_EQ(popup.hwnd(), nullptr);
}

}  // namespace
}  // namespace proxanto::win
