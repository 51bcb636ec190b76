#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "e2e/harness.h"
#include "shared/worked_example.h"

namespace proxanto::e2e {
namespace {

using namespace std::chrono_literals;

const std::string& kDatabase = test_data::kWorkedExample;

bool is_database_address(const std::string& address) {
  return address == "192.0.2.10:8080" || address == "203.0.113.25:80" ||
         address == "192.0.2.200:8000" || address == "198.51.100.33:8080";
}

class StartUpE2E : public ::testing::Test {
 protected:
  void SetUp() override { reset_registry(); }
  void TearDown() override { reset_registry(); }
};

TEST_F(StartUpE2E, NoDatabaseAsksInCzechAndNoEndsWithTheProxyReset) {
  ProxantoRun run(std::nullopt);
  run.start();
  const auto box = run.wait_message_box();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, "Proxanto");
  EXPECT_EQ(box->text, "IP adresy nebyly nalezeny !\r\nPřejete si stáhnout novou databázi ?");
  EXPECT_TRUE(box->has(IDYES));
  EXPECT_TRUE(box->has(IDNO));
  EXPECT_EQ(box->buttons.size(), 2u);
  run.answer(*box, IDNO);
  ASSERT_TRUE(run.wait_exit().has_value());
  EXPECT_EQ(proxy_enable(), 0u);
  EXPECT_FALSE(proxy_server_exists());
}

TEST_F(StartUpE2E, YesWithoutADownloadSourceSaysTheUpdateFailedAndEnds) {
  ProxantoRun run{std::string("[IP]\r\ncount=0\r\n")};
  run.start();
  auto box = run.wait_message_box();
  ASSERT_TRUE(box.has_value());
  run.answer(*box, IDYES);
  ASSERT_TRUE(wait_for([&] {
    box = run.message_box();
    return box && box->text == "Aktualizace se nezdařila !";
  }));
  EXPECT_EQ(box->title, "Proxanto");
  run.answer(*box, IDOK);
  EXPECT_TRUE(run.wait_exit().has_value());
  EXPECT_EQ(proxy_enable(), 0u);
  EXPECT_FALSE(proxy_server_exists());
}

TEST_F(StartUpE2E, UsableDatabaseKeepsRunningWithAProxyAndSessionEndResetsIt) {
  ASSERT_EQ(tray_icon_count(), 0);
  ProxantoRun run{std::string(kDatabase)};
  run.start();
  ASSERT_TRUE(wait_for([] { return proxy_enable() == 1u; }));
  EXPECT_TRUE(is_database_address(proxy_server())) << proxy_server();
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));
  EXPECT_TRUE(run.running());
  EXPECT_FALSE(run.message_box().has_value());
  HWND main = run.main_window();
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(IsWindowVisible(main));

  run.end_session();
  ASSERT_TRUE(run.wait_exit().has_value());
  EXPECT_EQ(proxy_enable(), 0u);
  EXPECT_FALSE(proxy_server_exists());
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 0; }));
}

TEST_F(StartUpE2E, TheIconComesBackWhenTheTaskBarRestarts) {
  ProxantoRun run{std::string(kDatabase)};
  run.start();
  ASSERT_TRUE(wait_for([] { return tray_icon_count() == 1; }));
  // The restarted shell has lost every icon.
  NOTIFYICONDATAW icon = {};
  icon.cbSize = sizeof(icon);
  icon.hWnd = run.main_window();
  icon.uID = 1;
  Shell_NotifyIconW(NIM_DELETE, &icon);
  ASSERT_TRUE(wait_for([] { return tray_icon_count() == 0; }));
  broadcast_taskbar_created(run.main_window());
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));
}

TEST_F(StartUpE2E, SavedFilterMatchingNothingAsksAsForAnEmptyDatabase) {
  {
    HKEY key = nullptr;
    RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Marvedo\\Quillet", &key);
    RegSetValueExW(key, L"filter_id", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"5"), 2);
    RegSetValueExW(key, L"filter_index", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"9"), 2);
    RegCloseKey(key);
  }
  ProxantoRun run{std::string(kDatabase)};
  run.start();
  const auto box = run.wait_message_box();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, "IP adresy nebyly nalezeny !\r\nPřejete si stáhnout novou databázi ?");
  run.answer(*box, IDNO);
  EXPECT_TRUE(run.wait_exit().has_value());
}

}  // namespace
}  // namespace proxanto::e2e
