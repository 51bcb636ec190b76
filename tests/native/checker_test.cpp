// Checking the proxies: what a judge's answers make of a proxy; progress,
// levels and counts in the tray, the IP menu and the popup; the random change
// among working proxies that hide the user; the results kept across a
// restart; a load ending a check.

#include <cctype>

#include "check/anonymity.h"
#include "check/probe.h"
#include "check/results_file.h"
#include "form_test.h"

namespace proxanto::testing {
namespace {

using Outcome = ProbeResult::Outcome;
using Anonymity = ProbeResult::Anonymity;

// A judge's answer: httpbin's JSON, or a dump of the server variables.
struct Seen {
  std::string origin;
  std::vector<std::pair<std::string, std::string>> headers;
};
std::string as_json(const Seen& seen) {
  std::string text = R"({"args": {}, "headers": {"Host": "httpbin.org", "User-Agent": "Proxanto")";
  for (const auto& [name, value] : seen.headers) text += ", \"" + name + "\": \"" + value + "\"";
  return text + "}, \"origin\": \"" + seen.origin + "\", \"url\": \"http://httpbin.org/get\"}\n";
}
std::string as_dump(const Seen& seen) {
  std::string text = "REMOTE_ADDR = " + seen.origin + "\nHTTP_HOST = judge.example\n";
  for (auto [name, value] : seen.headers) {
    for (char& c : name) c = c == '-' ? '_' : static_cast<char>(std::toupper(c));
    text += "HTTP_" + name + " = " + value + "\n";
  }
  return text;
}

TEST(Judge, TellsWhatAProxyGivesAwayInEitherFormOfAnswer) {
  const std::string user = "198.51.100.7", proxy = "203.0.113.9";
  const Seen direct{user, {}};
  const Seen behind_balancer{user, {{"X-Forwarded-For", user}, {"X-Forwarded-Proto", "http"}}};
  const struct {
    const char* what;
    Seen direct, proxied;
    Anonymity level;
  } cases[] = {
      {"address in the origin", direct, {user + ", " + proxy, {}}, Anonymity::Transparent},
      {"address in X-Forwarded-For", direct, {proxy, {{"X-Forwarded-For", user}}}, Anonymity::Transparent},
      {"address in Forwarded", direct, {proxy, {{"Forwarded", "for=" + user + ";proto=http"}}},
       Anonymity::Transparent},
      {"Via only", direct, {proxy, {{"Via", "1.1 squid"}}}, Anonymity::Anonymous},
      {"X-Forwarded-For without the address", direct, {proxy, {{"X-Forwarded-For", proxy}}},
       Anonymity::Anonymous},
      {"nothing", direct, {proxy, {}}, Anonymity::Elite},
      {"a longer address that begins alike", direct, {user + "0", {}}, Anonymity::Elite},
      {"headers the judge adds itself", behind_balancer,
       {proxy, {{"X-Forwarded-For", proxy}, {"X-Forwarded-Proto", "http"}}}, Anonymity::Elite},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(judge_anonymity(as_json(c.direct), as_json(c.proxied)), c.level) << c.what;
    EXPECT_EQ(judge_anonymity(as_dump(c.direct), as_dump(c.proxied)), c.level) << c.what << ", dump";
  }
  // A judge that failed judges nothing; a proxy that answered something else
  // than the judge's page is not judged.
  const std::string error_page = "<html><body>502 Bad Gateway</body></html>";
  EXPECT_EQ(judge_anonymity(error_page, as_json({user + ", " + proxy, {}})), Anonymity::NoJudge);
  EXPECT_EQ(judge_anonymity("", as_dump({user, {}})), Anonymity::NoJudge);
  EXPECT_EQ(judge_anonymity(as_json(direct), error_page), Anonymity::Unknown);
}

TEST(Judge, IsAskedOnlyAtAPlainHttpAddressThatCannotSmuggleAHeader) {
  EXPECT_EQ(get_request("http://httpbin.org/get", false),
            "GET /get HTTP/1.1\r\nHost: httpbin.org\r\nUser-Agent: Proxanto\r\nAccept: */*\r\n"
            "Connection: close\r\n\r\n");
  EXPECT_TRUE(get_request("http://127.0.0.1:8080", true)->starts_with(
      "GET http://127.0.0.1:8080 HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n"));
  EXPECT_TRUE(get_request("http://127.0.0.1:8080", false)->starts_with("GET / HTTP/1.1\r\n"));
  for (const char* refused : {"https://httpbin.org/get", "http://judge/get\r\nCookie:x", "http://a b/",
                              "http:///get", "httpbin.org/get", "http://judge:99999/"}) {
    EXPECT_FALSE(get_request(refused, true).has_value()) << refused;
  }
}

TEST(Answer, IsWholeOnceItsLengthCameOrTheServerClosedAndRightOnlyWithStatus200) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
  const struct {
    std::string bytes;
    bool closed;
    AnswerState state;
    std::string body;
  } answers[] = {
      {head + "hel", false, AnswerState::Incomplete, ""},
      {head + "hel", true, AnswerState::Wrong, ""},
      {head + "hello, and more", false, AnswerState::Right, "hello"},
      {"HTTP/1.0 200 OK\r\n\r\nuntil the end", false, AnswerState::Incomplete, ""},
      {"HTTP/1.0 200 OK\r\n\r\nuntil the end", true, AnswerState::Right, "until the end"},
      {"HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n", false,
       AnswerState::Wrong, ""},
      {"HTTP/1.1 200 OK\r\nContent-", true, AnswerState::Wrong, ""},
      {head + std::string(70000, 'x'), false, AnswerState::Wrong, ""},
  };
  for (const auto& a : answers) {
    const HttpAnswer answer = read_answer(a.bytes, a.closed);
    EXPECT_EQ(std::pair(answer.state, std::string(answer.body)), std::pair(a.state, a.body))
        << a.bytes.substr(0, 40);
  }
}

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
  std::string& kept() { return os.files.files[os.folder + "\\ip_check.txt"]; }
};

TEST_F(Checking, ACheckShowsItsProgressThenEachProxysDelayAndLevelOrWhyItFailed) {
  os.save("probes_at_once", "5000");
  form.menu_click("check", 0);
  ASSERT_EQ(os.runs.size(), 1u);
  EXPECT_EQ(os.runs[0].second, (std::vector<std::string>{"192.0.2.10:8080", "203.0.113.25:80",
                                                         "192.0.2.200:8000", "198.51.100.33:8080"}));
  EXPECT_EQ(std::pair(os.probe_settings.judge_url, os.probe_settings.at_once),
            std::pair(std::string("http://httpbin.org/get"), 1024));
  EXPECT_EQ(menu({"check"}), "Ověřit proxy (off)");
  EXPECT_EQ(os.popup_lines, "Ověřit proxy|Ověřeno 0 z 4, funkčních 0");
  answer({{Outcome::Working, 120, Anonymity::Elite}, {Outcome::Refused}});
  EXPECT_TRUE(os.tip().starts_with("Proxanto\r\nOvěřeno 2 z 4, funkčních 1"));
  answer({{Outcome::Working, 90, Anonymity::Transparent}, {Outcome::WrongAnswer}}, 2);
  EXPECT_EQ(os.popup_lines,
            "Ověření dokončeno|Funkčních 2: elitních 1, anonymních 0, prozrazujících vaši adresu 1");
  EXPECT_EQ(menu({"check"}), "Ověřit proxy");
  EXPECT_EQ(menu({}, "ipadd"),
            "192.0.2.10:8080 (Spojené Státy) 120 ms, elitní | "
            "203.0.113.25:80 (Spojené Státy) \u2013 odmítnuto (off) | "
            "192.0.2.200:8000 (Ruská Federace) \u2013 90 ms, prozrazuje vaši adresu (off) | "
            "198.51.100.33:8080 (Spojené Státy) \u2013 chybná odpověď (off)");
  EXPECT_EQ(os.ini(), kWorkedExample) << "a check never changes the database";
  form.probe_done(os.runs[0].first, 1, {Outcome::Working, 5});  // after its run: nothing
  EXPECT_EQ(form.probe_results["203.0.113.25:80"].outcome, Outcome::Refused);

  // The counts, with proxies the judge could not see through, and with a
  // judge that did not answer at all; the settings as the key holds them.
  const struct {
    const char* judge_url;
    const char* at_once;
    std::vector<ProbeResult> results;
    ProbeSettings settings;
    const char* counts;
    bool english;
  } checks[] = {
      {"http://127.0.0.1:81/echo", "12", {{Outcome::Working, 1, Anonymity::Anonymous}, {Outcome::Working, 2},
        {Outcome::Working, 3, Anonymity::Elite}, {Outcome::TimedOut}},
       {"http://127.0.0.1:81/echo", 16},
       "Funkčních 3: elitních 1, anonymních 1, prozrazujících vaši adresu 0, neposouzených 1", false},
      {"", "many", {{Outcome::Working, 1, Anonymity::NoJudge}, {Outcome::Refused},
        {Outcome::Working, 3, Anonymity::NoJudge}, {Outcome::Refused}},
       {"http://httpbin.org/get", 256}, "Funkčních 2, anonymitu nelze posoudit", false},
      {"", "", {{Outcome::Working, 1, Anonymity::Transparent}, {Outcome::Working, 2, Anonymity::Elite},
        {Outcome::Working, 3, Anonymity::Anonymous}, {Outcome::Working, 4}},
       {"http://httpbin.org/get", 256},
       "4 working: 1 elite, 1 anonymous, 1 reveal your address, 1 not judged", true},
      {"", "", {{Outcome::Refused}, {Outcome::Refused}, {Outcome::Refused}, {Outcome::Working, 9, Anonymity::NoJudge}},
       {"http://httpbin.org/get", 256}, "1 working, anonymity could not be judged", true},
  };
  for (const auto& check : checks) {
    if (check.english) form.lngLIST_Click(1);
    os.save("judge_url", check.judge_url);
    os.save("probes_at_once", check.at_once);
    form.check_Click();
    EXPECT_EQ(std::pair(os.probe_settings.judge_url, os.probe_settings.at_once),
              std::pair(check.settings.judge_url, check.settings.at_once));
    answer(check.results);
    EXPECT_EQ(os.popup_lines, (check.english ? "Check finished|" : "Ověření dokončeno|") +
                                  std::string(check.counts));
  }
  EXPECT_EQ(menu({}, "ipadd"),  // the names of the countries stay those of the load
            "192.0.2.10:8080 (Spojené Státy) \u2013 refused (off) | "
            "203.0.113.25:80 (Spojené Státy) \u2013 refused (off) | "
            "192.0.2.200:8000 (Ruská Federace) \u2013 refused (off) | "
            "198.51.100.33:8080 (Spojené Státy) 9 ms");
}

TEST_F(Checking, OnlyWorkingProxiesThatHideTheUserAreDrawnAndEachAppliedProxyIsProbed) {
  form.menu_click("working", 0);
  EXPECT_TRUE(form.menu("working").checked);
  EXPECT_EQ(os.reg(RegRoot::CurrentUser, form.Hkey, "only_working"), "1");
  // No check yet: every loaded proxy can be drawn, and the one applied is
  // probed; when it fails or reveals the user's address, the popup says so.
  for (const auto& [result, warning] :
       {std::pair<ProbeResult, std::string>{{Outcome::TimedOut}, "nefunguje: neodpovídá"},
        {{Outcome::Working, 40, Anonymity::Transparent}, "prozrazuje vaši adresu"}}) {
    os.randoms = {0.99};
    form.proxy();
    EXPECT_EQ(os.runs.back().second, std::vector<std::string>{"198.51.100.33:8080"});
    answer({result});
    EXPECT_EQ(os.popup_lines, "198.51.100.33:8080|" + warning);
  }
  // A late result is news only about the proxy in use when it arrives: not
  // after another proxy was applied with the option off, nor after a stop.
  for (const std::string meanwhile : {"other proxy", "stop"}) {
    form.proxy();
    ASSERT_EQ(form.current_ip, "192.0.2.10:8080");
    form.working_Click();
    meanwhile == "stop" ? form.st_Click() : form.nabIP_Click(1);
    const std::string shown = os.popup_lines;
    answer({{Outcome::Refused}});
    EXPECT_EQ(os.popup_lines, shown) << meanwhile;
    EXPECT_TRUE(menu({}, "ipadd").starts_with("192.0.2.10:8080 (Spojené Státy) \u2013 odmítnuto (off)"));
    form.working_Click();
  }

  form.check_Click();
  answer({{Outcome::Refused}, {Outcome::Working, 50, Anonymity::Anonymous},
          {Outcome::Working, 60, Anonymity::Transparent}, {Outcome::Working, 70}});
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

TEST_F(Checking, TheResultsLastADayAcrossARestartForTheProxiesStillInTheDatabase) {
  form.check_Click();
  answer({{Outcome::Working, 120, Anonymity::Elite}, {Outcome::Refused},
          {Outcome::Working, 90, Anonymity::Transparent}, {Outcome::Working, 30, Anonymity::NoJudge}});
  EXPECT_TRUE(kept().starts_with("Proxanto check results\r\ntime=1700000000\r\n"));
  const std::string file = kept();
  const std::string without_first = "[IP]\r\ncount=6\r\n2=203.0.113.25:80;8\r\n3=192.0.2.200:8000;24\r\n";
  const struct {
    const char* what;
    std::int64_t later;
    std::string ini, results;
    std::size_t kept;
  } restarts[] = {
      {"an hour later", 3600, kWorkedExample, file, 4},
      {"a day later", 86400, kWorkedExample, file, 0},
      {"the clock set back", -60, kWorkedExample, file, 0},
      {"a proxy gone from the database", 3600, without_first, file, 2},
      {"a foreign file", 3600, kWorkedExample, "[IP]\r\ncount=0\r\n", 0},
      {"a damaged line", 3600, kWorkedExample, file + "working 12x elite 192.0.2.1:80\r\n", 0},
      {"an unknown level", 3600, kWorkedExample, file + "working 12 hidden 192.0.2.1:80\r\n", 0},
  };
  for (const auto& restart : restarts) {
    Program next;
    next.os.now = os.now + restart.later;
    next.os.files.files[os.folder + "\\ip_check.txt"] = restart.results;
    ASSERT_FALSE(next.start(restart.ini)) << restart.what;
    EXPECT_EQ(next.form.probe_results.size(), restart.kept) << restart.what;
    for (const auto& [address, result] : next.form.probe_results) {
      EXPECT_EQ(result, form.probe_results[address]) << restart.what;
    }
  }
  // Every outcome and level is written and read back as it was.
  KeptResults all{42, {}};
  for (int outcome = 0; outcome < 4; ++outcome) {
    for (int level = 0; level < 5; ++level) {
      all.results["192.0.2." + std::to_string(outcome * 5 + level) + " :80"] = {
          static_cast<Outcome>(outcome), outcome * 5 + level, static_cast<Anonymity>(level)};
    }
  }
  const std::optional<KeptResults> read = read_results(write_results(all));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(std::pair(read->time, read->results), std::pair(all.time, all.results));

  Program next;  // the menu shows them at once
  next.os.files.files = os.files.files;
  ASSERT_FALSE(next.start());
  EXPECT_TRUE(next.menu({}, "ipadd").starts_with("192.0.2.10:8080 (Spojené Státy) 120 ms, elitní | "));
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
  EXPECT_FALSE(os.files.file_exists(os.folder + "\\ip_check.txt")) << "only a whole check is kept";
}

}  // namespace
}  // namespace proxanto::testing
