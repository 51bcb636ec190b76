// Checking the proxies from the tray menu, against test proxies on 127.0.0.1.

#include "check/probe.h"
#include "e2e/harness.h"
#include "wine/http_server.h"

namespace proxanto::e2e {
namespace {

using test_support::HttpServer;

std::string database(const std::vector<std::string>& proxies) {
  std::string ini = "[IP]\r\ncount=" + std::to_string(proxies.size()) + "\r\n";
  for (std::size_t i = 0; i < proxies.size(); ++i) {
    ini += std::to_string(i) + "=" + proxies[i] + ";8\r\n";
  }
  return ini;
}

// The judge and the proxies answer as they would for a user at 198.51.100.7:
// one proxy hides the address, one passes it on.
TEST_F(ProgramTest, ACheckFromTheMenuThenOnlyWorkingProxiesThatHideTheUserAreChosenAlsoAfterARestart) {
  const HttpServer::Answer page = HttpServer::ok(std::string(kTestPage));
  HttpServer judge({HttpServer::echo("198.51.100.7")});
  std::vector<HttpServer::Answer> elite_answers;  // for the check and each probe after it
  for (int i = 0; i < 8; ++i) elite_answers.insert(elite_answers.end(), {page, HttpServer::echo("203.0.113.9")});
  HttpServer elite(elite_answers);
  HttpServer transparent({page, HttpServer::echo("203.0.113.9", R"(, "X-Forwarded-For": "198.51.100.7")")});
  HttpServer wrong({HttpServer::ok("<html>Please log in</html>")});
  SetRegString(registry, RegRoot::CurrentUser, kOwnKey, "judge_url", "http://" + judge.address() + "/get");
  // Behind them dead ones, so that a draw among all would rarely hit the elite one.
  std::vector<std::string> proxies = {wrong.address(), transparent.address(), elite.address()};
  proxies.resize(20, "127.0.0.1:1");
  ProxantoRun program{database(proxies)};
  start_running(program);
  program.choose_from_menu(kChangeProxy);
  EXPECT_EQ(judge.requests() + elite.requests() + transparent.requests() + wrong.requests(), 0)
      << "nothing is sent anywhere unless asked";

  program.choose_from_menu(kCheck);
  EXPECT_TRUE(wait_for([&] {
    return program.popup_lines() ==
           "Ověření dokončeno|Funkčních 2: elitních 1, anonymních 0, prozrazujících vaši adresu 1";
  })) << program.popup_lines();
  EXPECT_TRUE(program.read_file("ip_check.txt").value_or("").starts_with("Proxanto check results\r\n"));
  program.choose_from_menu(kOnlyWorking);
  ASSERT_TRUE(wait_for([] { return reg(RegRoot::CurrentUser, kOwnKey, "only_working") == "1"; }));
  for (int change = 0; change < 3; ++change) {
    ASSERT_TRUE(wait_for([&] { return program.popup() == nullptr; }));
    program.choose_from_menu(kChangeProxy);
    EXPECT_TRUE(wait_for([&] { return program.popup_lines().starts_with(elite.address() + "|"); }))
        << program.popup_lines();
  }
  // The next start draws from the kept results before any check.
  program.choose_from_menu(kExit);
  ASSERT_TRUE(program.ended());
  start_running(program);
  EXPECT_EQ(proxy(), elite.address() + " on");
}

TEST_F(ProgramTest, ExitDuringACheckEndsTheProgramAtOnce) {
  HttpServer silent({{"", true}}), also_silent({{"", true}});
  ProxantoRun program{database({silent.address(), also_silent.address()})};
  start_running(program);
  program.choose_from_menu(kCheck);
  ASSERT_TRUE(wait_for([&] { return silent.requests() + also_silent.requests() == 2; }));
  program.choose_from_menu(kExit);
  EXPECT_TRUE(program.ended(2s));
  EXPECT_EQ(proxy(), "- off");
}

}  // namespace
}  // namespace proxanto::e2e
