// Checking the proxies from the tray menu, against test proxies on 127.0.0.1.

#include "check/probe.h"
#include "e2e/harness.h"
#include "wine/http_server.h"

namespace proxanto::e2e {
namespace {

using test_support::HttpServer;

std::string address(const HttpServer& server) {
  const std::string url = server.url();
  return url.substr(7, url.find('/', 7) - 7);
}

std::string database(const std::vector<std::string>& proxies) {
  std::string ini = "[IP]\r\ncount=" + std::to_string(proxies.size()) + "\r\n";
  for (std::size_t i = 0; i < proxies.size(); ++i) {
    ini += std::to_string(i) + "=" + proxies[i] + ";8\r\n";
  }
  return ini;
}

TEST_F(ProgramTest, ACheckFromTheMenuThenOnlyWorkingProxiesAreChosen) {
  HttpServer good({HttpServer::ok(std::string(kTestPage))});
  HttpServer also_good({HttpServer::ok(std::string(kTestPage))});
  HttpServer wrong({HttpServer::ok("<html>Please log in</html>")});
  ProxantoRun program{database({address(good), address(wrong), address(also_good), "127.0.0.1:1"})};
  start_running(program);
  program.choose_from_menu(kChangeProxy);
  EXPECT_EQ(good.requests() + also_good.requests() + wrong.requests(), 0)
      << "nothing is sent anywhere unless asked";

  program.choose_from_menu(kCheck);
  EXPECT_TRUE(wait_for([&] {
    return program.popup_lines() == "Ověření dokončeno|Ověřeno 4 z 4, funkčních 2";
  }));
  program.choose_from_menu(kOnlyWorking);
  ASSERT_TRUE(wait_for([] { return reg(RegRoot::CurrentUser, kOwnKey, "only_working") == "1"; }));
  for (int change = 0; change < 4; ++change) {
    const std::string before = proxy();
    program.choose_from_menu(kChangeProxy);
    wait_for([&] { return proxy() != before; }, 1s);
    EXPECT_TRUE(proxy() == address(good) + " on" || proxy() == address(also_good) + " on") << proxy();
  }
}

TEST_F(ProgramTest, ExitDuringACheckEndsTheProgramAtOnce) {
  HttpServer silent({{"", true}}), also_silent({{"", true}});
  ProxantoRun program{database({address(silent), address(also_silent)})};
  start_running(program);
  program.choose_from_menu(kCheck);
  ASSERT_TRUE(wait_for([&] { return silent.requests() + also_silent.requests() == 2; }));
  program.choose_from_menu(kExit);
  EXPECT_TRUE(program.ended(2s));
  EXPECT_EQ(proxy(), "- off");
}

}  // namespace
}  // namespace proxanto::e2e
