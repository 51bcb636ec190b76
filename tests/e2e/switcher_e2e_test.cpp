#include <thread>

#include "e2e/harness.h"
#include "win/about_ids.h"

namespace proxanto::e2e {
namespace {

using namespace std::chrono_literals;

class SwitcherE2E : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    start_running(run);
  }
  // Chooses a proxy by its position in the IP menu and waits until it is in use.
  void pick(int position, const std::string& address) {
    run.choose_from_menu(kChangeIp, {position});
    ASSERT_TRUE(wait_for([&] { return proxy_server() == address; })) << proxy_server();
  }
  void expect_proxy_reset() {
    EXPECT_EQ(proxy_enable(), 0u);
    EXPECT_FALSE(proxy_server_exists());
  }
};

TEST_F(SwitcherE2E, PickIsAnnouncedAtTheTopRightShownAgainByADoubleClickAndCopied) {
  const std::string address = "192.0.2.200:8000";
  pick(2, address);
  EXPECT_EQ(proxy_enable(), 1u);
  const auto popup = run.wait_popup(address);
  ASSERT_TRUE(popup.has_value());
  EXPECT_EQ(popup->second, "Ruská Federace");
  EXPECT_EQ(popup->rect.top, 0);
  EXPECT_EQ(popup->rect.right, GetSystemMetrics(SM_CXSCREEN));

  // A double click shows the proxy in use again and changes nothing.
  ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));
  run.tray_event(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(run.wait_popup(address).has_value());
  EXPECT_EQ(proxy_server(), address);

  run.choose_from_menu(kCopy);
  const auto box = run.wait_message_box("IP adresa byla zkopírována");
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, "Proxanto");
  EXPECT_EQ(clipboard_text(), address);
  run.answer(*box, IDOK);
  EXPECT_TRUE(wait_for([&] { return !run.message_box().has_value(); }));
  EXPECT_TRUE(run.running());
}

TEST_F(SwitcherE2E, StopContinueRestoreAndExit) {
  pick(0, "192.0.2.10:8080");
  // Stop and restore reset the proxy; continue (the same item as stop) only
  // hands it to WinINet again.
  const std::pair<int, std::string> steps[] = {{kStop, "Anonymizace|byla přerušena"},
                                               {kStop, "192.0.2.10:8080|Spojené Státy"},
                                               {kRestore, "Nastavení:|Výchozí nastavení"}};
  for (const auto& [item, lines] : steps) {
    run.choose_from_menu(item);
    const auto popup = run.wait_popup(lines.substr(0, lines.find('|')));
    ASSERT_TRUE(popup.has_value()) << lines;
    EXPECT_EQ(popup->first + "|" + popup->second, lines);
    if (!lines.starts_with("192")) expect_proxy_reset();
  }
  pick(1, "203.0.113.25:80");
  run.choose_from_menu(kExit);
  ASSERT_TRUE(run.wait_exit().has_value());
  expect_proxy_reset();
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 0; }));
}

TEST_F(SwitcherE2E, AboutBoxOpensFromTheMenuOnceAndCloses) {
  const auto boxes = [] {
    int count = 0;
    for (HWND w = FindWindowW(nullptr, L"O programu Proxanto"); w;
         w = FindWindowExW(nullptr, w, nullptr, L"O programu Proxanto")) {
      ++count;
    }
    return count;
  };
  run.choose_from_menu(kAbout);
  HWND about = nullptr;
  ASSERT_TRUE(wait_for([&] { return (about = FindWindowW(nullptr, L"O programu Proxanto")); }));
  EXPECT_NE(GetWindowLongW(about, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(window_text(GetDlgItem(about, win::kAboutVersionId)), "Verze: 2.1.16");
  // Asked for again while it is open, the box comes to the front; no second
  // one opens.
  run.choose_from_menu(kAbout);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(boxes(), 1);
  EXPECT_EQ(window_text(GetDlgItem(about, win::kAboutCloseId)), "Zavřít");
  invoke(about, win::kAboutCloseId);
  EXPECT_TRUE(wait_for([&] { return !IsWindow(about); }));
  EXPECT_TRUE(run.running());
}

TEST_F(SwitcherE2E, BlockMarksTheEntryNumberAndDropsTheProxy) {
  pick(1, "203.0.113.25:80");  // position 1 is entry 2
  run.choose_from_menu(kBlock);
  ASSERT_TRUE(wait_for([&] { return run.read_file() == test_data::kWorkedExample + "2_block=1\r\n"; }))
      << run.read_file().value_or("(none)");
  ASSERT_TRUE(wait_for([] { return proxy_server() != "203.0.113.25:80"; }));
  EXPECT_EQ(proxy_enable(), 1u);
  // Three proxies are left: the third position, which was entry 3 before,
  // is now entry 5.
  pick(2, "198.51.100.33:8080");
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

}  // namespace
}  // namespace proxanto::e2e
