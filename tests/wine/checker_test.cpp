// Probing proxies against test proxies and a judge of the test's own on
// 127.0.0.1. A test proxy answers the test page, then the judge's page as
// the judge would have answered it through the proxy: with the user's
// address forwarded, with only a Via header, or with nothing added.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <memory>

#include "check/probe.h"
#include "win/checker_win.h"
#include "wine/http_server.h"

namespace proxanto::win {
namespace {

using test_support::HttpServer;
using Outcome = ProbeResult::Outcome;
using Anonymity = ProbeResult::Anonymity;

const std::string kUser = "198.51.100.7", kProxy = "203.0.113.9";

// The results by index, and the indices in the order their results came.
struct Probed {
  std::map<int, ProbeResult> results;
  std::vector<int> order;
};
Probed probe(const std::vector<std::string>& proxies, const std::string& judge_url,
             int at_once = kProbesAtOnce) {
  const UniqueWindow window = test_support::message_window();
  Win32Checker checker(window.get());
  checker.start(1, proxies, {judge_url, at_once});
  Probed probed;
  while (probed.results.size() < proxies.size()) {
    const std::optional<MSG> message = test_support::next_message(window.get(), kProbeDoneMessage, 20);
    if (!message) break;
    const std::unique_ptr<ProbeBatch> batch(reinterpret_cast<ProbeBatch*>(message->lParam));
    for (const auto& [index, result] : batch->results) {
      probed.results[index] = result;
      probed.order.push_back(index);
    }
  }
  EXPECT_EQ(probed.results.size(), proxies.size()) << "results within 20 s";
  return probed;
}

TEST(Checker, EachProxyIsJudgedByTheTestPageThenByWhatTheJudgeSawThroughIt) {
  const HttpServer::Answer page = HttpServer::ok(std::string(kTestPage));
  // The judge answers late: the proxies that passed the test page wait for it.
  HttpServer::Answer late = HttpServer::echo(kUser);
  late.delay_ms = 500;
  HttpServer judge({late});
  const std::string judge_url = "http://" + judge.address() + "/get";
  HttpServer forwards({page, HttpServer::echo(kUser + ", " + kProxy, R"(, "X-Forwarded-For": ")" + kUser + "\"")});
  HttpServer via({page, HttpServer::echo(kProxy, R"(, "Via": "1.1 cache")")});
  HttpServer adds_nothing({page, HttpServer::echo(kProxy)});
  HttpServer silent({{"", true}});
  HttpServer wrong({HttpServer::ok("<html><body>Please log in</body></html>")});
  HttpServer slow({HttpServer::ok(std::string(kTestPage), 200, 300)});  // and the page for the judge
  std::string refusing;
  {
    HttpServer gone({});
    refusing = gone.address();
  }
  // More silent proxies first than a plain select watches: the others
  // behind them are still probed at once, so their results come before the
  // silent ones time out.
  std::vector<std::string> proxies(70, silent.address());
  for (const std::string& proxy :
       {forwards.address(), refusing, wrong.address(), slow.address(), std::string("not a proxy"),
        via.address(), adds_nothing.address()}) {
    proxies.push_back(proxy);
  }
  const Probed probed = probe(proxies, judge_url);
  ASSERT_EQ(probed.order.size(), proxies.size());
  std::map<int, ProbeResult> results = probed.results;
  for (int i = 0; i < 70; ++i) EXPECT_EQ(results[i].outcome, Outcome::TimedOut) << i;
  EXPECT_TRUE(std::all_of(probed.order.begin() + 7, probed.order.end(), [](int i) { return i < 70; }));
  const std::vector<std::pair<Outcome, Anonymity>> expected = {
      {Outcome::Working, Anonymity::Transparent}, {Outcome::Refused, Anonymity::Unknown},
      {Outcome::WrongAnswer, Anonymity::Unknown}, {Outcome::Working, Anonymity::Unknown},
      {Outcome::Refused, Anonymity::Unknown},     {Outcome::Working, Anonymity::Anonymous},
      {Outcome::Working, Anonymity::Elite}};
  for (int i = 0; i < static_cast<int>(expected.size()); ++i) {
    EXPECT_EQ(std::pair(results[70 + i].outcome, results[70 + i].anonymity), expected[i]) << i;
  }
  EXPECT_GE(results[73].ms, 300) << "the delay until the whole test page";
  EXPECT_TRUE(judge.last_request().starts_with("GET /get HTTP/1.1\r\n"));
  EXPECT_EQ(judge.requests(), 1);
  EXPECT_TRUE(via.last_request().starts_with("GET " + judge_url + " HTTP/1.1\r\n"));

  // Without an answer from the judge (a name looked up, nothing listening),
  // a working proxy cannot be judged. With 16 places, the proxy behind 16
  // silent ones waits for a free place.
  HttpServer another({page, HttpServer::echo(kUser)});
  std::vector<std::string> queue(16, silent.address());
  queue.push_back(another.address());
  const Probed waited = probe(queue, "http://localhost" + refusing.substr(9) + "/get", 16);
  ASSERT_EQ(waited.order.size(), queue.size());
  EXPECT_NE(waited.order.front(), 16) << "it came after a silent one's time was up";
  EXPECT_EQ(std::pair(waited.results.at(16).outcome, waited.results.at(16).anonymity),
            std::pair(Outcome::Working, Anonymity::NoJudge));
  EXPECT_TRUE(another.last_request().starts_with(
      "GET http://www.msftconnecttest.com/connecttest.txt HTTP/1.1\r\n"));
  EXPECT_NEAR(double(Win32Checker(nullptr).now_seconds()), double(std::time(nullptr)), 2)
      << "seconds since 1970";
}

}  // namespace
}  // namespace proxanto::win
