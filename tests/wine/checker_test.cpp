// Probing proxies against test proxies of the test's own on 127.0.0.1: one
// that forwards correctly, one that refuses, one that never answers, one
// that answers a wrong page, one that answers slowly.

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "check/probe.h"
#include "win/checker_win.h"
#include "wine/http_server.h"

namespace proxanto::win {
namespace {

using test_support::HttpServer;
using Outcome = ProbeResult::Outcome;

TEST(Checker, EachProxyIsJudgedByItsAnswerToTheTestPage) {
  const std::string page(kTestPage);
  HttpServer forwards({HttpServer::ok(page)});
  HttpServer silent({{"", true}});
  HttpServer wrong({HttpServer::ok("<html><body>Please log in</body></html>")});
  HttpServer slow({HttpServer::ok(page, 200, 300)});
  std::string refusing;
  {
    HttpServer gone({});
    refusing = gone.url();
  }
  const auto address = [](const std::string& url) {  // http://127.0.0.1:port/... to host:port
    return url.substr(7, url.find('/', 7) - 7);
  };
  const std::vector<std::string> proxies = {address(forwards.url()), address(refusing),
                                            address(silent.url()),   address(wrong.url()),
                                            address(slow.url()),     "not a proxy"};

  const UniqueWindow window = test_support::message_window();
  Win32Checker checker(window.get());
  checker.start(1, proxies);
  std::map<int, ProbeResult> results;
  while (results.size() < proxies.size()) {
    const std::optional<MSG> message = test_support::next_message(window.get(), kProbeDoneMessage, 20);
    ASSERT_TRUE(message.has_value()) << results.size() << " results within 20 s";
    const std::unique_ptr<ProbeBatch> batch(reinterpret_cast<ProbeBatch*>(message->lParam));
    for (const auto& [index, result] : batch->results) results[index] = result;
  }
  EXPECT_EQ(results[0].outcome, Outcome::Working);
  EXPECT_EQ(results[1].outcome, Outcome::Refused);
  EXPECT_EQ(results[2].outcome, Outcome::TimedOut);
  EXPECT_EQ(results[3].outcome, Outcome::WrongAnswer);
  EXPECT_EQ(results[4].outcome, Outcome::Working);
  EXPECT_GE(results[4].ms, 300) << "the delay until the whole answer";
  EXPECT_EQ(results[5].outcome, Outcome::Refused);
  EXPECT_TRUE(forwards.last_request().starts_with(
      "GET http://www.msftconnecttest.com/connecttest.txt HTTP/1.1\r\n"));
}

}  // namespace
}  // namespace proxanto::win
