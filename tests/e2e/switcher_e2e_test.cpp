#include <gtest/gtest.h>

#include <thread>

#include "e2e/harness.h"
#include "shared/worked_example.h"
#include "win/about_ids.h"
#include "win/popup_ids.h"

namespace proxanto::e2e {
namespace {

using namespace std::chrono_literals;

const std::string& kDatabase = test_data::kWorkedExample;

// Positions in the tray menu for the keyboard: separators are skipped, the
// disabled first item is not.
constexpr int kChangeIp = 3;
constexpr int kCopy = 6;
constexpr int kBlock = 7;
constexpr int kStop = 11;
constexpr int kRestore = 12;
constexpr int kAbout = 13;
constexpr int kExit = 15;

struct PopupView {
  std::string first, second;
  RECT rect{};
};

class SwitcherE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_registry();
    run.start();
    ASSERT_TRUE(wait_for([] { return proxy_enable() == 1u; }));
    // The start-up announcement closes about three and a half seconds later.
    ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));
  }
  void TearDown() override { reset_registry(); }

  std::optional<PopupView> wait_popup(const std::string& first_line) {
    std::optional<PopupView> view;
    wait_for([&] {
      HWND popup = run.popup();
      if (popup == nullptr) return false;
      PopupView v;
      v.first = window_text(GetDlgItem(popup, win::kPopupMessageId));
      v.second = window_text(GetDlgItem(popup, win::kPopupStateId));
      GetWindowRect(popup, &v.rect);
      view = v;
      return first_line.empty() || v.first == first_line;
    });
    return view;
  }
  void pick_proxy(int position) { run.choose_from_menu(kChangeIp, {position}); }

  ProxantoRun run{kDatabase};
};

TEST_F(SwitcherE2E, PickFromTheIpMenuIsAppliedAndAnnouncedAtTheTopRight) {
  pick_proxy(2);
  ASSERT_TRUE(wait_for([] { return proxy_server() == "192.0.2.200:8000"; }));
  EXPECT_EQ(proxy_enable(), 1u);
  const auto popup = wait_popup("192.0.2.200:8000");
  ASSERT_TRUE(popup.has_value());
  EXPECT_EQ(popup->second, "Ruská Federace");
  EXPECT_EQ(popup->rect.top, 0);
  EXPECT_EQ(popup->rect.right, GetSystemMetrics(SM_CXSCREEN));
}

TEST_F(SwitcherE2E, StopContinueRestoreAndExit) {
  pick_proxy(0);
  ASSERT_TRUE(wait_for([] { return proxy_server() == "192.0.2.10:8080"; }));

  run.choose_from_menu(kStop);
  ASSERT_TRUE(wait_for([] { return proxy_enable() == 0u; }));
  EXPECT_FALSE(proxy_server_exists());
  auto popup = wait_popup("Anonymizace");
  ASSERT_TRUE(popup.has_value());
  EXPECT_EQ(popup->second, "byla přerušena");

  run.choose_from_menu(kStop);  // the same item now continues
  popup = wait_popup("192.0.2.10:8080");
  ASSERT_TRUE(popup.has_value());
  EXPECT_EQ(popup->second, "Spojené Státy");

  run.choose_from_menu(kRestore);
  popup = wait_popup("Nastavení:");
  ASSERT_TRUE(popup.has_value());
  EXPECT_EQ(popup->second, "Výchozí nastavení");
  EXPECT_EQ(proxy_enable(), 0u);
  EXPECT_FALSE(proxy_server_exists());

  pick_proxy(1);
  ASSERT_TRUE(wait_for([] { return proxy_server() == "203.0.113.25:80"; }));
  run.choose_from_menu(kExit);
  ASSERT_TRUE(run.wait_exit().has_value());
  EXPECT_EQ(proxy_enable(), 0u);
  EXPECT_FALSE(proxy_server_exists());
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 0; }));
}

TEST_F(SwitcherE2E, AboutBoxOpensFromTheMenuAndCloses) {
  run.choose_from_menu(kAbout);
  HWND about = nullptr;
  ASSERT_TRUE(wait_for([&] { return (about = FindWindowW(nullptr, L"O programu Proxanto")); }));
  EXPECT_NE(GetWindowLongW(about, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(window_text(GetDlgItem(about, win::kAboutVersionId)), "Verze: 2.1.16");
  // Asked for again while it is open, the box comes to the front; no second
  // one opens.
  run.choose_from_menu(kAbout);
  std::this_thread::sleep_for(500ms);
  int boxes = 0;
  for (HWND w = FindWindowW(nullptr, L"O programu Proxanto"); w != nullptr;
       w = FindWindowExW(nullptr, w, nullptr, L"O programu Proxanto")) {
    ++boxes;
  }
  EXPECT_EQ(boxes, 1);
  HWND close = GetDlgItem(about, win::kAboutCloseId);
  EXPECT_EQ(window_text(close), "Zavřít");
  PostMessageW(about, WM_COMMAND, MAKEWPARAM(win::kAboutCloseId, BN_CLICKED),
               reinterpret_cast<LPARAM>(close));
  EXPECT_TRUE(wait_for([&] { return !IsWindow(about); }));
  EXPECT_TRUE(run.running());
}

TEST_F(SwitcherE2E, CopyPutsTheAddressOnTheClipboardAndSaysSo) {
  const std::string in_use = proxy_server();
  run.choose_from_menu(kCopy);
  const auto box = run.wait_message_box();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, "Proxanto");
  EXPECT_EQ(box->text, "IP adresa byla zkopírována");
  EXPECT_EQ(clipboard_text(), in_use);
  run.answer(*box, IDOK);
  EXPECT_TRUE(wait_for([&] { return !run.message_box().has_value(); }));
}

TEST_F(SwitcherE2E, BlockMarksTheEntryNumberAndDropsTheProxy) {
  pick_proxy(1);  // position 1 is entry 2
  ASSERT_TRUE(wait_for([] { return proxy_server() == "203.0.113.25:80"; }));
  run.choose_from_menu(kBlock);
  ASSERT_TRUE(wait_for([&] { return run.read_ini() == kDatabase + "2_block=1\r\n"; }))
      << run.read_ini();
  ASSERT_TRUE(wait_for([] { return proxy_server() != "203.0.113.25:80"; }));
  EXPECT_EQ(proxy_enable(), 1u);
  // Three proxies are left: the third position, which was entry 3 before,
  // is now entry 5.
  pick_proxy(2);
  EXPECT_TRUE(wait_for([] { return proxy_server() == "198.51.100.33:8080"; }));
}

TEST_F(SwitcherE2E, AltF4AfterAClosedMenuDoesNotEndTheProgram) {
  run.tray_event(WM_RBUTTONDOWN);
  run.tray_event(WM_RBUTTONUP);
  ASSERT_TRUE(wait_for([&] { return run.tray_menu() != nullptr; }));
  press_keys({VK_ESCAPE});
  ASSERT_TRUE(wait_for([&] { return run.tray_menu() == nullptr; }));
  INPUT keys[4] = {};
  for (INPUT& key : keys) key.type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[3].ki.wVk = VK_MENU;
  keys[1].ki.wVk = keys[2].ki.wVk = VK_F4;
  keys[2].ki.dwFlags = keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, keys, sizeof(INPUT));
  EXPECT_FALSE(run.wait_exit(1500ms).has_value());
  EXPECT_EQ(proxy_enable(), 1u);
}

TEST_F(SwitcherE2E, DoubleClickShowsTheProxyInUseAndChangesNothing) {
  const std::string in_use = proxy_server();
  run.tray_event(WM_LBUTTONDBLCLK);
  const auto popup = wait_popup(in_use);
  ASSERT_TRUE(popup.has_value());
  EXPECT_EQ(popup->first, in_use);
  EXPECT_EQ(proxy_server(), in_use);
  EXPECT_TRUE(run.running());
}

}  // namespace
}  // namespace proxanto::e2e
