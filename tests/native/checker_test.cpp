// Checking the proxies: progress and results in the tray, the IP menu and the
// popup; the random change among working proxies; a load ending a check.

#include "form_test.h"

namespace proxanto::testing {
namespace {

using Outcome = ProbeResult::Outcome;

class Checking : public FormTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(start());
    EXPECT_TRUE(os.runs.empty()) << "nothing is probed unless asked";
  }
  // Answers the latest run, one result after another from `first` on.
  void answer(const std::vector<ProbeResult>& results, int first = 0) {
    for (std::size_t i = 0; i < results.size(); ++i) {
      form.probe_done(os.runs.back().first, first + static_cast<int>(i), results[i]);
    }
  }
};

TEST_F(Checking, ACheckShowsItsProgressThenEachProxysDelayOrWhyItFailed) {
  form.menu_click("check", 0);
  ASSERT_EQ(os.runs.size(), 1u);
  EXPECT_EQ(os.runs[0].second, (std::vector<std::string>{"192.0.2.10:8080", "203.0.113.25:80",
                                                         "192.0.2.200:8000", "198.51.100.33:8080"}));
  EXPECT_EQ(menu({"check"}), "Ověřit proxy (off)");
  EXPECT_EQ(os.popup_lines, "Ověřit proxy|Ověřeno 0 z 4, funkčních 0");
  answer({{Outcome::Working, 120}, {Outcome::Refused}});
  EXPECT_TRUE(os.tip().starts_with("Proxanto\r\nOvěřeno 2 z 4, funkčních 1"));
  answer({{Outcome::TimedOut}, {Outcome::WrongAnswer}}, 2);
  EXPECT_EQ(os.popup_lines, "Ověření dokončeno|Ověřeno 4 z 4, funkčních 1");
  EXPECT_EQ(menu({"check"}), "Ověřit proxy");
  EXPECT_EQ(menu({}, "ipadd"),
            "192.0.2.10:8080 (Spojené Státy) 120 ms | "
            "203.0.113.25:80 (Spojené Státy) \u2013 odmítnuto (off) | "
            "192.0.2.200:8000 (Ruská Federace) \u2013 neodpovídá (off) | "
            "198.51.100.33:8080 (Spojené Státy) \u2013 chybná odpověď (off)");
  EXPECT_EQ(os.ini(), kWorkedExample) << "a check never changes the database";
  form.probe_done(os.runs[0].first, 1, {Outcome::Working, 5});  // after its run: nothing
  EXPECT_EQ(form.probe_results["203.0.113.25:80"].outcome, Outcome::Refused);
}

TEST_F(Checking, OnlyWorkingProxiesAreDrawnAndEachAppliedProxyIsProbed) {
  form.menu_click("working", 0);
  EXPECT_TRUE(form.menu("working").checked);
  EXPECT_EQ(os.reg(RegRoot::CurrentUser, form.Hkey, "only_working"), "1");
  // No check yet: every loaded proxy can be drawn, and the one applied is
  // probed; when it fails, the popup says why.
  os.randoms = {0.99};
  form.proxy();
  ASSERT_EQ(os.runs.size(), 1u);
  EXPECT_EQ(os.runs[0].second, std::vector<std::string>{"198.51.100.33:8080"});
  answer({{Outcome::TimedOut}});
  EXPECT_EQ(os.popup_lines, "198.51.100.33:8080|nefunguje: neodpovídá");

  form.check_Click();
  answer({{Outcome::Refused}, {Outcome::Working, 50}, {Outcome::Refused}, {Outcome::Working, 70}});
  for (const auto& [r, address] : {std::pair{0.0, "203.0.113.25:80"}, {0.49, "203.0.113.25:80"},
                                   {0.5, "198.51.100.33:8080"}, {0.99, "198.51.100.33:8080"}}) {
    os.randoms = {r};
    form.chPROX_Click();
    EXPECT_EQ(form.current_ip, address) << r;
  }
  form.working_Click();
  EXPECT_EQ(os.reg(RegRoot::CurrentUser, form.Hkey, "only_working"), "0");
  const auto runs = os.runs.size();
  os.randoms = {0.0};
  form.proxy();
  EXPECT_EQ(form.current_ip, "192.0.2.10:8080");
  EXPECT_EQ(os.runs.size(), runs) << "no probe with the option off";

  Program saved;  // the option is restored at start-up, and probes the first proxy
  saved.os.save("only_working", "1");
  ASSERT_FALSE(saved.start());
  EXPECT_TRUE(saved.form.menu("working").checked);
  EXPECT_EQ(saved.os.runs.size(), 1u);
}

TEST_F(Checking, ALoadEndsTheCheckAndForgetsProxiesNoLongerLoaded) {
  form.check_Click();
  const int run = os.runs.back().first;
  answer({{Outcome::Working, 10}, {Outcome::Refused}});
  form.nabIP_Click(1);
  form.block_Click();  // entry 2, the second proxy, goes
  EXPECT_EQ(os.cancelled, std::vector<int>{run});
  EXPECT_EQ(menu({"check"}), "Ověřit proxy");
  ASSERT_EQ(form.probe_results.size(), 1u);
  EXPECT_TRUE(menu({}, "ipadd").starts_with("192.0.2.10:8080 (Spojené Státy) 10 ms | "));
  form.probe_done(run, 2, {Outcome::Working, 1});
  EXPECT_EQ(form.probe_results.size(), 1u) << "the ended run's results are dropped";
}

}  // namespace
}  // namespace proxanto::testing
