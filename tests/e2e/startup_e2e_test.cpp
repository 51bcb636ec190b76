#include <windows.h>
#include <shellapi.h>

#include <set>

#include "e2e/harness.h"
#include "proxy/registry.h"
#include "win/registry_win.h"

namespace proxanto::e2e {
namespace {

using StartUpE2E = ProgramTest;

// An empty database prompts; No ends the program through the exit sequence.
TEST_F(StartUpE2E, NoDatabaseOrASavedFilterMatchingNothingAsksAndNoEndsWithTheProxyReset) {
  for (const bool filter : {false, true}) {
    if (filter) {
      win::Win32Registry registry;
      SetRegString(registry, RegRoot::LocalMachine, kOwnKey, "filter_id", "5");
      SetRegString(registry, RegRoot::LocalMachine, kOwnKey, "filter_index", "9");
    }
    ProxantoRun program(filter ? std::optional(test_data::kWorkedExample) : std::nullopt);
    program.start();
    const auto box = program.wait_message_box();
    ASSERT_TRUE(box.has_value()) << filter;
    EXPECT_EQ(box->title, "Proxanto");
    EXPECT_EQ(box->text, kEmptyPrompt);
    EXPECT_EQ(box->buttons.size(), 2u);
    EXPECT_TRUE(GetDlgItem(box->window, IDYES) && GetDlgItem(box->window, IDNO));
    program.answer(*box, IDNO);
    ASSERT_TRUE(program.wait_exit().has_value()) << filter;
    EXPECT_EQ(proxy_enable(), 0u);
    EXPECT_FALSE(proxy_server_exists());
  }
}

TEST_F(StartUpE2E, YesWithoutADownloadSourceSaysTheUpdateFailedAndEnds) {
  ProxantoRun program{std::string("[IP]\r\ncount=0\r\n")};
  program.start();
  const auto prompt = program.wait_message_box(kEmptyPrompt);
  ASSERT_TRUE(prompt.has_value());
  program.answer(*prompt, IDYES);
  const auto box = program.wait_message_box("Aktualizace se nezdařila !");
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, "Proxanto");
  program.answer(*box, IDOK);
  EXPECT_TRUE(program.wait_exit().has_value());
  EXPECT_EQ(proxy_enable(), 0u);
  EXPECT_FALSE(proxy_server_exists());
}

TEST_F(StartUpE2E, UsableDatabaseKeepsRunningWithAProxyAndSessionEndResetsIt) {
  ASSERT_EQ(tray_icon_count(), 0);
  run.start();
  ASSERT_TRUE(wait_for([] { return proxy_enable() == 1u; }));
  const std::set<std::string> addresses = {"192.0.2.10:8080", "203.0.113.25:80",
                                           "192.0.2.200:8000", "198.51.100.33:8080"};
  EXPECT_TRUE(addresses.contains(proxy_server())) << proxy_server();
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));
  EXPECT_TRUE(run.running());
  EXPECT_FALSE(run.message_box().has_value());
  HWND main = run.main_window();
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(IsWindowVisible(main));

  // The icon comes back when the task bar restarts: the restarted shell has
  // lost every icon.
  NOTIFYICONDATAW icon = {};
  icon.cbSize = sizeof(icon);
  icon.hWnd = main;
  icon.uID = 1;
  Shell_NotifyIconW(NIM_DELETE, &icon);
  ASSERT_TRUE(wait_for([] { return tray_icon_count() == 0; }));
  PostMessageW(main, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));

  run.end_session();
  ASSERT_TRUE(run.wait_exit().has_value());
  EXPECT_EQ(proxy_enable(), 0u);
  EXPECT_FALSE(proxy_server_exists());
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 0; }));
}

}  // namespace
}  // namespace proxanto::e2e
