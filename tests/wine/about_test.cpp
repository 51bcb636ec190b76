#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "win/about_ids.h"
#include "win/about_win.h"
#include "win/popup_win.h"
#include "win/win_util.h"
#include "win/window_util.h"

namespace proxanto::win {
namespace {

constexpr wchar_t kCaption[] = L"O programu Proxanto";
constexpr int kGiveUpTicks = 200;

std::wstring text_of(HWND window) {
  wchar_t buffer[256] = {};
  GetWindowTextW(window, buffer, 256);
  return buffer;
}

RECT rect_in(HWND control, HWND parent) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool underlined(HWND label) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
  if (!handle || !GetObjectW(handle, sizeof(font), &font)) return false;
  return font.lfUnderline != 0;
}

// True when `upper` lies above `lower` in the z-order.
bool above(HWND upper, HWND lower) {
  for (HWND w = GetWindow(upper, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == lower) return true;
  }
  return false;
}

// What the probe, running on a timer inside the box's modal loop, does with
// the open box. Each test sets one.
struct Probe {
  void (*inspect)(HWND box, Probe& probe) = nullptr;
  HWND owner = nullptr;
  int ticks = 0;
  bool inspected = false;
  bool closed_by_force = false;
};
Probe* g_probe = nullptr;

void CALLBACK probe_tick(HWND, UINT, UINT_PTR, DWORD) {
  Probe& probe = *g_probe;
  ++probe.ticks;
  HWND box = FindWindowW(nullptr, kCaption);
  if (box && IsWindowVisible(box) && !probe.inspected) {
    probe.inspected = true;
    probe.inspect(box, probe);
    return;
  }
  if (probe.ticks < kGiveUpTicks) return;
  // The box did not close as it should (or carries another caption): end it,
  // so that the failure is reported instead of hanging the test program.
  probe.closed_by_force = true;
  HWND any = box ? box : GetActiveWindow();
  if (any) PostMessageW(any, WM_COMMAND, IDCANCEL, 0);
}

// Opens the box with `inspect` run on it; returns when the box is closed.
Probe run_about_box(void (*inspect)(HWND, Probe&), HWND owner = nullptr) {
  Probe probe;
  probe.inspect = inspect;
  probe.owner = owner;
  g_probe = &probe;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &probe_tick);
  show_about_box(owner, LoadIconW(nullptr, IDI_APPLICATION));
  KillTimer(nullptr, timer);
  g_probe = nullptr;
  return probe;
}

void check_contents_and_click_close(HWND box, Probe& probe) {
  EXPECT_EQ(text_of(box), kCaption);
  const LONG style = GetWindowLongW(box, GWL_STYLE);
  EXPECT_EQ(style & WS_SYSMENU, 0) << "no control box";
  EXPECT_EQ(style & WS_THICKFRAME, 0) << "fixed border";
  EXPECT_NE(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  RECT client{};
  GetClientRect(box, &client);
  EXPECT_EQ(client.right, twips_to_px_x(4335));
  EXPECT_EQ(client.bottom, twips_to_px_y(1695));
  RECT outer{};
  GetWindowRect(box, &outer);
  EXPECT_NEAR(outer.left + outer.right, GetSystemMetrics(SM_CXSCREEN), 1) << "centred";
  EXPECT_NEAR(outer.top + outer.bottom, GetSystemMetrics(SM_CYSCREEN), 1) << "centred";

  EXPECT_EQ(text_of(GetDlgItem(box, kAboutVersionId)), L"Verze: 2.1.16");
  EXPECT_EQ(text_of(GetDlgItem(box, kAboutTitleId)), L"Proxanto");
  EXPECT_EQ(text_of(GetDlgItem(box, kAboutCreatedById)), L"created by");
  EXPECT_EQ(text_of(GetDlgItem(box, kAboutSignatureId)), L"Marvedo-World");
  EXPECT_EQ(text_of(GetDlgItem(box, kAboutMailId)), L"info@marvedo.com");
  EXPECT_EQ(text_of(GetDlgItem(box, kAboutWebId)), L"http://www.marvedo.com/");

  // The links are fitted to their text and keep their right edges.
  const RECT mail = rect_in(GetDlgItem(box, kAboutMailId), box);
  const RECT web = rect_in(GetDlgItem(box, kAboutWebId), box);
  EXPECT_EQ(mail.right, twips_to_px_x(4245));
  EXPECT_EQ(web.right, twips_to_px_x(4230));
  EXPECT_EQ(mail.top, twips_to_px_y(600));
  EXPECT_EQ(web.top, twips_to_px_y(840));
  EXPECT_GT(web.right - web.left, mail.right - mail.left) << "the longer text, the wider link";
  const RECT version = rect_in(GetDlgItem(box, kAboutVersionId), box);
  EXPECT_EQ(version.left, twips_to_px_x(960));
  EXPECT_EQ(version.top, twips_to_px_y(480));

  if (probe.owner) {
    EXPECT_EQ(GetWindow(box, GW_OWNER), probe.owner);
    EXPECT_FALSE(IsWindowEnabled(probe.owner)) << "modal";
  }

  HWND close = GetDlgItem(box, kAboutCloseId);
  ASSERT_TRUE(close);
  EXPECT_EQ(text_of(close), L"Zavřít");
  EXPECT_NE(GetWindowLongW(close, GWL_STYLE) & BS_FLAT, 0);
  SendMessageW(close, BM_CLICK, 0, 0);
}

TEST(AboutBoxTest, ShowsTheProgramAndTheMakerAndClosesWithItsButton) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(owner);
  const Probe probe = run_about_box(&check_contents_and_click_close, owner);
  EXPECT_TRUE(probe.inspected) << "the box never appeared with its caption";
  EXPECT_FALSE(probe.closed_by_force) << "the button did not close the box";
  EXPECT_FALSE(IsWindow(FindWindowW(nullptr, kCaption)));
  EXPECT_TRUE(IsWindowEnabled(owner));
  DestroyWindow(owner);
}

// Posts a key to the focused control, as the keyboard would, through the
// dialog manager of the box's modal loop.
void press_escape(HWND box, Probe&) {
  HWND focus = GetFocus();
  PostMessageW(focus ? focus : box, WM_KEYDOWN, VK_ESCAPE, 0);
}

void press_enter(HWND box, Probe&) {
  HWND focus = GetFocus();
  PostMessageW(focus ? focus : box, WM_KEYDOWN, VK_RETURN, 0);
}

TEST(AboutBoxTest, EscapeAndEnterCloseTheBox) {
  for (const auto press : {&press_escape, &press_enter}) {
    const Probe probe = run_about_box(press);
    EXPECT_TRUE(probe.inspected);
    EXPECT_FALSE(probe.closed_by_force);
  }
}

void check_hover_underline(HWND box, Probe&) {
  HWND mail = GetDlgItem(box, kAboutMailId);
  HWND web = GetDlgItem(box, kAboutWebId);
  const auto hover_link = [box](HWND link) {
    SendMessageW(box, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  };
  const auto move_to = [box](int x_twips, int y_twips) {
    SendMessageW(box, WM_MOUSEMOVE, 0, MAKELPARAM(twips_to_px_x(x_twips), twips_to_px_y(y_twips)));
  };
  EXPECT_FALSE(underlined(mail));
  EXPECT_FALSE(underlined(web));

  hover_link(web);
  EXPECT_TRUE(underlined(web));
  EXPECT_FALSE(underlined(mail));

  // Over another label (here "created by") nothing changes.
  move_to(300, 1200);
  EXPECT_TRUE(underlined(web));

  hover_link(mail);
  EXPECT_TRUE(underlined(mail));
  EXPECT_TRUE(underlined(web)) << "only the box's own surface takes the underline away";

  // The panel behind the title is the box's own surface.
  move_to(800, 1000);
  EXPECT_FALSE(underlined(mail));
  EXPECT_FALSE(underlined(web));

  hover_link(web);
  move_to(2000, 1600);  // below the line, beside the signature
  EXPECT_FALSE(underlined(web));

  SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
}

TEST(AboutBoxTest, HoveringALinkUnderlinesItUntilTheMouseIsOverTheBox) {
  const Probe probe = run_about_box(&check_hover_underline);
  EXPECT_TRUE(probe.inspected);
  EXPECT_FALSE(probe.closed_by_force);
}

void check_stays_above_the_popup(HWND box, Probe&) {
  const HWND active_before = GetActiveWindow();
  {
    Form2Popup popup;
    popup.place();
    popup.fade_in();
    HWND window = popup.hwnd();
    ASSERT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(above(box, window)) << "the popup covers the about box";
    EXPECT_EQ(GetActiveWindow(), active_before) << "the popup took the keyboard from the box";
    popup.fade_out_and_close();
  }
  SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
}

TEST(AboutBoxTest, StaysAboveANotificationShownWhileItIsOpen) {
  const Probe probe = run_about_box(&check_stays_above_the_popup);
  EXPECT_TRUE(probe.inspected);
  EXPECT_FALSE(probe.closed_by_force);
}

TEST(WindowUtilTest, FlatButtonAddsTheFlatStyleAndKeepsTheRest) {
  HWND button = CreateWindowExW(0, L"BUTTON", L"b", WS_POPUP | BS_DEFPUSHBUTTON, 0, 0, 50, 20,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(button);
  FlatButton(button);
  const LONG style = GetWindowLongW(button, GWL_STYLE);
  EXPECT_NE(style & BS_FLAT, 0);
  EXPECT_EQ(style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  DestroyWindow(button);
}

TEST(WindowUtilTest, MakeTopmostNeitherMovesNorSizes) {
  HWND window = CreateWindowExW(0, L"STATIC", L"w", WS_POPUP | WS_VISIBLE, 30, 40, 120, 60, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(window);
  EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  MakeTopmost(window);
  EXPECT_NE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT r{};
  GetWindowRect(window, &r);
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.top, 40);
  EXPECT_EQ(r.right - r.left, 120);
  EXPECT_EQ(r.bottom - r.top, 60);
  DestroyWindow(window);
}

}  // namespace
}  // namespace proxanto::win
