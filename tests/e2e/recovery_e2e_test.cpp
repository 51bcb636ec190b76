// The program dies without its exit sequence, or is started twice: the
// system is never left pointing at a proxy that nothing manages.

#include "e2e/harness.h"
#include "proxy/recovery.h"
#include "win/registry_win.h"

namespace proxanto::e2e {
namespace {

using namespace std::chrono_literals;

std::string record() { return reg_string(RegRoot::CurrentUser, kRecordKey, kRecordValue); }

TEST_F(ProgramTest, AKilledProgramLeavesADirectConnectionButNotAProxySetByHand) {
  for (const bool by_hand : {false, true}) {
    ProxantoRun program{test_data::kWorkedExample};
    start_running(program);
    EXPECT_EQ(record(), proxy_server());
    if (by_hand) set_reg_string(RegRoot::CurrentUser, kInternetSettings, "ProxyServer", "10.9.9.9:3128");
    program.kill();
    // The watcher cleans up at once.
    ASSERT_TRUE(wait_for([] { return record().empty(); }, 2s)) << by_hand;
    if (by_hand) {
      EXPECT_EQ(proxy_server(), "10.9.9.9:3128");
    } else {
      EXPECT_TRUE(proxy_reset());
    }
    EXPECT_EQ(reg_string(RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue), "");
  }
}

TEST_F(ProgramTest, ASecondStartShowsTheRunningProgramAndEndsTouchingNothing) {
  start_running(run);
  const std::optional<std::string> in_use = proxy_server();
  ProxantoRun second{test_data::kWorkedExample};
  second.start();
  ASSERT_TRUE(second.wait_exit().has_value());
  EXPECT_TRUE(run.wait_popup(*in_use).has_value()) << "the running program shows its proxy";
  EXPECT_EQ(proxy_server(), in_use);
  EXPECT_EQ(proxy_enable(), 1u);
  EXPECT_EQ(tray_icon_count(), 1);
  EXPECT_TRUE(run.running());
}

TEST_F(ProgramTest, RecoveryAtLogOnResetsWhatACrashedRunLeftAndShowsNothing) {
  // What a power loss leaves: the proxy in the settings and the records.
  win::Win32Registry registry;
  set_reg_string(RegRoot::CurrentUser, kInternetSettings, "ProxyServer", "192.0.2.10:8080");
  SetRegDword(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 1);
  record_applied(registry, "192.0.2.10:8080", "x /recover");
  ProxantoRun recovery{test_data::kWorkedExample};
  recovery.start(kNoUpdateServer, L"/recover");
  ASSERT_TRUE(recovery.wait_exit().has_value());
  EXPECT_TRUE(proxy_reset());
  EXPECT_EQ(record(), "");
  EXPECT_EQ(tray_icon_count(), 0);
}

}  // namespace
}  // namespace proxanto::e2e
