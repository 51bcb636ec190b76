#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "e2e/harness.h"
#include "e2e/http_server.h"
#include "proxy/registry.h"
#include "win/registry_win.h"

namespace proxanto::e2e {
namespace {

const std::string& kOldDatabase = test_data::kWorkedExample;
// What the server hands out: three proxies, none of them in the old database.
const std::array<std::string, 3> kNewAddresses = {"198.51.100.61:3128", "203.0.113.77:8080",
                                                  "192.0.2.99:80"};
const std::string kNewDatabase =
    "[IP]\r\ncount=3\r\n0=198.51.100.61:3128;8\r\n1=203.0.113.77:8080;24\r\n2=192.0.2.99:80;8\r\n";
const std::string kEmptyDatabase = "[IP]\r\ncount=0\r\n";
const std::string kDone = "Aktulizace byla úspěšně dokončena !";
const std::string kFailed = "Aktualizace se nezdařila !";

int new_position(const std::string& address) {
  const auto found = std::find(kNewAddresses.begin(), kNewAddresses.end(), address);
  return found == kNewAddresses.end() ? -1 : static_cast<int>(found - kNewAddresses.begin());
}

// The program running on the worked-example database with proxy 2 of it,
// 192.0.2.200:8000, in use, and its download address pointed at `url`.
class UpdateFromMenuE2E : public ProgramTest {
 protected:
  void start(const std::string& url) {
    start_running(run, url);
    run.choose_from_menu(kChangeIp, {2});
    ASSERT_TRUE(wait_for([] { return proxy_server() == "192.0.2.200:8000"; }));
    ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));
  }
  // The update's box once it is up; anonymity was stopped before the
  // download, and nothing of the download is left.
  std::optional<MessageBoxView> wait_update(const std::string& text) {
    auto box = run.wait_message_box(text);
    EXPECT_TRUE(box.has_value()) << text;
    if (!box) return box;
    EXPECT_EQ(box->title, "Proxanto");
    EXPECT_EQ(box->buttons.size(), 1u);
    EXPECT_EQ(proxy_enable(), 0u);
    EXPECT_FALSE(run.read_file("ip.ini.download").has_value());
    return box;
  }
  // A failed update leaves the database and the backup as the old database
  // and the earlier proxy in use again.
  void expect_failed_update_resumes_the_proxy() {
    const auto box = wait_update(kFailed);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(run.read_file("ip.ini"), kOldDatabase);
    EXPECT_EQ(run.read_file("ip_backup.ini"), kOldDatabase);
    run.answer(*box, IDOK);
    const auto lines = run.wait_popup("192.0.2.200:8000");
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(lines->second, "Ruská Federace");
    EXPECT_TRUE(run.running());
    EXPECT_EQ(run.read_file("ip.ini"), kOldDatabase);
  }
  // After OK a proxy of the new database is in use.
  void answer_and_expect_a_new_proxy(const MessageBoxView& box) {
    run.answer(box, IDOK);
    ASSERT_TRUE(wait_for([] { return new_position(proxy_server()) >= 0; })) << proxy_server();
    EXPECT_EQ(proxy_enable(), 1u);
  }
};

// Each update fetches what the server has then; the database it replaces is
// backed up.
TEST_F(UpdateFromMenuE2E, NewDatabaseReplacesTheOldOneWhichIsBackedUp) {
  const std::string first = "[IP]\r\ncount=1\r\n0=198.51.100.61:3128;8\r\n";
  HttpServer server(first);
  ASSERT_TRUE(server.listening());
  start(server.update_url());
  const std::pair<std::string, std::string> updates[] = {{first, kOldDatabase},
                                                         {kNewDatabase, first}};
  for (const auto& [database, backup] : updates) {
    server.serve(database);
    run.choose_from_menu(kUpdate);
    const auto box = wait_update(kDone);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(run.read_file("ip_backup.ini"), backup);
    EXPECT_EQ(run.read_file("ip.ini"), database);
    answer_and_expect_a_new_proxy(*box);
    ASSERT_TRUE(run.wait_popup(proxy_server()).has_value());
    ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));
  }
  EXPECT_EQ(server.requests(), 2);
  // The IP menu lists the new proxies: another position of it is another of
  // the new addresses.
  const int other = (new_position(proxy_server()) + 1) % 3;
  run.choose_from_menu(kChangeIp, {other});
  EXPECT_TRUE(wait_for([&] { return proxy_server() == kNewAddresses[other]; })) << proxy_server();
}

// An error page, and then no server at all, leave the database as it was.
TEST_F(UpdateFromMenuE2E, ServerErrorPageOrNoServerKeepsTheDatabaseAndResumesTheProxy) {
  std::optional<HttpServer> server(std::in_place, kNewDatabase);
  ASSERT_TRUE(server->listening());
  server->serve_not_found();
  start(server->update_url());
  run.choose_from_menu(kUpdate);
  expect_failed_update_resumes_the_proxy();
  EXPECT_EQ(server->requests(), 1);

  server.reset();  // nothing listens at the address any more
  ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));
  run.choose_from_menu(kUpdate);
  expect_failed_update_resumes_the_proxy();
}

// An empty database at start-up: the prompt's Yes downloads. The saved
// language is English, yet at that point every text is Czech.
class UpdateFromPromptE2E : public ProgramTest {
 protected:
  void start_and_answer_yes(const HttpServer& server) {
    ASSERT_TRUE(server.listening());
    win::Win32Registry registry;
    SetRegString(registry, RegRoot::LocalMachine, kOwnKey, "lang", "1");
    empty.start(server.update_url());
    const auto prompt = empty.wait_message_box(kEmptyPrompt);
    ASSERT_TRUE(prompt.has_value());
    empty.answer(*prompt, IDYES);
  }
  ProxantoRun empty{kEmptyDatabase};
};

TEST_F(UpdateFromPromptE2E, DownloadedDatabaseIsLoadedAndAProxyOfItApplied) {
  HttpServer server(kNewDatabase);
  start_and_answer_yes(server);
  const auto box = empty.wait_message_box(kDone);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, "Proxanto");
  EXPECT_EQ(server.requests(), 1);
  EXPECT_EQ(empty.read_file("ip.ini"), kNewDatabase);
  EXPECT_FALSE(empty.read_file("ip_backup.ini").has_value());
  EXPECT_FALSE(empty.read_file("ip.ini.download").has_value());
  empty.answer(*box, IDOK);
  ASSERT_TRUE(wait_for([] { return new_position(proxy_server()) >= 0; })) << proxy_server();
  EXPECT_EQ(proxy_enable(), 1u);
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));
  EXPECT_TRUE(empty.running());
  EXPECT_FALSE(empty.message_box().has_value());
}

TEST_F(UpdateFromPromptE2E, ServerErrorPageSaysSoAndEndsWithTheProxyReset) {
  HttpServer server(kNewDatabase);
  server.serve_not_found();
  start_and_answer_yes(server);
  const auto box = empty.wait_message_box(kFailed);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->title, "Proxanto");
  EXPECT_EQ(server.requests(), 1);
  empty.answer(*box, IDOK);
  ASSERT_TRUE(empty.wait_exit().has_value());
  EXPECT_EQ(proxy_enable(), 0u);
  EXPECT_FALSE(proxy_server_exists());
  EXPECT_EQ(empty.read_file("ip.ini"), kEmptyDatabase);
  EXPECT_FALSE(empty.read_file("ip.ini.download").has_value());
}

}  // namespace
}  // namespace proxanto::e2e
