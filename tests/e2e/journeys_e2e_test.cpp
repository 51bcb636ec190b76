// Journeys through the real program, driven from outside as a user would:
// the start-up prompt, and a run through the tray icon to its exit.

#include "e2e/harness.h"

#include <shellapi.h>

#include <thread>

#include "proxy/recovery.h"
#include "win/about_ids.h"

namespace proxanto::e2e {
namespace {

using namespace std::chrono_literals;

// An empty database at start-up: the prompt speaks the saved language, and
// No ends the program through the exit sequence.
TEST_F(ProgramTest, EmptyDatabasePromptsAndNoEndsWithTheProxyReset) {
  set_reg_string(RegRoot::LocalMachine, kOwnKey, "lang", "1");
  set_reg_string(RegRoot::CurrentUser, kInternetSettings, "ProxyServer", "192.0.2.1:80");
  ProxantoRun empty{std::string("[IP]\r\ncount=0\r\n")};
  empty.start();
  const auto box = empty.wait_message_box(
      "IP adresy was not found !\r\nWould you like to download new database ?");
  ASSERT_TRUE(box.has_value());
  EXPECT_TRUE(GetDlgItem(box->window, IDYES) && GetDlgItem(box->window, IDNO));
  empty.answer(*box, IDNO);
  ASSERT_TRUE(empty.wait_exit().has_value());
  EXPECT_TRUE(proxy_reset());
}

// Keys the program reads from the global keyboard state.
void hold(const std::vector<WORD>& keys, const std::function<bool()>& until) {
  std::vector<INPUT> down(keys.size()), up(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    down[i].type = up[i].type = INPUT_KEYBOARD;
    down[i].ki.wVk = up[i].ki.wVk = keys[i];
    up[i].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  SendInput(static_cast<UINT>(down.size()), down.data(), sizeof(INPUT));
  wait_for(until, 5s);
  SendInput(static_cast<UINT>(up.size()), up.data(), sizeof(INPUT));
}

TEST_F(ProgramTest, ARunThroughTheTrayIconToItsExit) {
  start_running(run);
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));
  HWND main = run.main_window();
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(IsWindowVisible(main));

  // A pick from the IP menu is announced at the top right.
  run.choose_from_menu(kChangeIp, {2});
  ASSERT_TRUE(wait_for([] { return proxy_server() == "192.0.2.200:8000"; }));
  EXPECT_EQ(run.wait_popup("192.0.2.200:8000"), "192.0.2.200:8000|Ruská Federace");
  RECT popup{};
  GetWindowRect(run.popup(), &popup);
  EXPECT_EQ(popup.top, 0);
  EXPECT_EQ(popup.right, GetSystemMetrics(SM_CXSCREEN));
  // While a proxy is applied, the next log-on would recover from a crash.
  EXPECT_EQ(reg_string(RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue),
            "\"" + run.path("proxanto.exe") + "\" /recover");

  // Copy, with its message box.
  run.choose_from_menu(kCopy);
  const auto copied = run.wait_message_box("IP adresa byla zkopírována");
  ASSERT_TRUE(copied.has_value());
  EXPECT_EQ(clipboard_text(), "192.0.2.200:8000");
  run.answer(*copied, IDOK);

  // CTRL+Q from anywhere changes the proxy.
  ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));
  hold({VK_CONTROL, 'Q'}, [&] { return run.popup() != nullptr; });
  EXPECT_NE(run.popup(), nullptr);

  // Stop, continue, restore.
  run.choose_from_menu(kStop);
  EXPECT_TRUE(run.wait_popup("Anonymizace").has_value());
  EXPECT_TRUE(proxy_reset());
  run.choose_from_menu(kStop);
  ASSERT_TRUE(wait_for([] { return proxy_enable() == 1u && proxy_server().has_value(); }));
  run.choose_from_menu(kRestore);
  EXPECT_TRUE(run.wait_popup("Nastavení:").has_value());
  EXPECT_TRUE(proxy_reset());

  // Block marks the entry number of the proxy in use (position 1 is entry 2).
  run.choose_from_menu(kChangeIp, {1});
  ASSERT_TRUE(wait_for([] { return proxy_server() == "203.0.113.25:80"; }));
  run.choose_from_menu(kBlock);
  EXPECT_TRUE(wait_for([&] { return run.read_file() == test_data::kWorkedExample + "2_block=1\r\n"; }));
  EXPECT_TRUE(wait_for([] { return proxy_server() != "203.0.113.25:80"; }));

  // The about box opens once, however often it is asked for.
  run.choose_from_menu(kAbout);
  run.choose_from_menu(kAbout);
  HWND about = nullptr;
  ASSERT_TRUE(wait_for([&] { return (about = FindWindowW(nullptr, L"O programu Proxanto")); }));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(FindWindowExW(nullptr, about, nullptr, L"O programu Proxanto"), nullptr);
  invoke(about, win::kAboutCloseId);
  ASSERT_TRUE(wait_for([&] { return !IsWindow(about); }));

  // Alt+F4 on the hidden window that had the menu's focus ends nothing.
  press_keys({VK_ESCAPE});
  INPUT alt_f4[4] = {};
  for (INPUT& key : alt_f4) key.type = INPUT_KEYBOARD;
  alt_f4[0].ki.wVk = alt_f4[3].ki.wVk = VK_MENU;
  alt_f4[1].ki.wVk = alt_f4[2].ki.wVk = VK_F4;
  alt_f4[2].ki.dwFlags = alt_f4[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SetForegroundWindow(main);
  SendInput(4, alt_f4, sizeof(INPUT));
  EXPECT_FALSE(run.wait_exit(1s).has_value());

  // The icon comes back when the task bar restarts and has lost it.
  NOTIFYICONDATAW icon = {};
  icon.cbSize = sizeof(icon);
  icon.hWnd = main;
  icon.uID = 1;
  Shell_NotifyIconW(NIM_DELETE, &icon);
  ASSERT_TRUE(wait_for([] { return tray_icon_count() == 0; }));
  PostMessageW(main, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));

  run.choose_from_menu(kExit);
  ASSERT_TRUE(run.wait_exit().has_value());
  EXPECT_TRUE(proxy_reset());
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 0; }));
  EXPECT_EQ(reg_string(RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue), "");
}

}  // namespace
}  // namespace proxanto::e2e
