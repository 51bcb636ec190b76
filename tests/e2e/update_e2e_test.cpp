// The database update against a server of the test's own on 127.0.0.1.

#include "e2e/harness.h"
#include "wine/http_server.h"

namespace proxanto::e2e {
namespace {

using namespace std::chrono_literals;
using test_support::HttpServer;

const std::string kNewDatabase =
    "[IP]\r\ncount=2\r\n0=198.51.100.61:3128;8\r\n1=203.0.113.77:8080;24\r\n";
bool new_proxy_in_use() {
  const auto server = proxy_server();
  return proxy_enable() == 1u && (server == "198.51.100.61:3128" || server == "203.0.113.77:8080");
}

TEST_F(ProgramTest, UpdateFromTheMenuReplacesTheDatabaseAndKeepsABackup) {
  HttpServer server({HttpServer::ok(kNewDatabase)});
  start_running(run, server.url());
  run.choose_from_menu(kUpdate);
  const auto box = run.wait_message_box("Aktulizace byla úspěšně dokončena !");
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(run.read_file("ip.ini"), kNewDatabase);
  EXPECT_EQ(run.read_file("ip_backup.ini"), test_data::kWorkedExample);
  run.answer(*box, IDOK);
  EXPECT_TRUE(wait_for(new_proxy_in_use)) << proxy_server().value_or("(none)");
}

TEST_F(ProgramTest, UpdateFromTheEmptyDatabasePromptLoadsTheDownload) {
  HttpServer server({HttpServer::ok(kNewDatabase)});
  ProxantoRun empty{std::string("[IP]\r\ncount=0\r\n")};
  empty.start(server.url());
  const auto prompt = empty.wait_message_box();
  ASSERT_TRUE(prompt.has_value());
  empty.answer(*prompt, IDYES);
  const auto box = empty.wait_message_box("Aktulizace byla úspěšně dokončena !");
  ASSERT_TRUE(box.has_value());
  empty.answer(*box, IDOK);
  EXPECT_TRUE(wait_for(new_proxy_in_use));
  EXPECT_TRUE(wait_for([] { return tray_icon_count() == 1; }));
}

// A server that stalls holds nothing up: the menu opens, and the session end
// ends the program through its exit sequence at once.
TEST_F(ProgramTest, DuringAStalledDownloadTheMenuOpensAndSessionEndEndsTheProgram) {
  HttpServer server({{"HTTP/1.0 200 OK\r\nContent-Length: 900\r\n\r\n[IP]\r\n", true}});
  start_running(run, server.url());
  run.choose_from_menu(kUpdate);
  ASSERT_TRUE(wait_for([&] { return server.requests() == 1; }));
  run.tray_event(WM_RBUTTONUP);
  EXPECT_TRUE(wait_for([] { return FindWindowW(L"#32768", nullptr) != nullptr; }, 3s));
  press_keys({VK_ESCAPE});
  run.end_session();
  EXPECT_TRUE(run.wait_exit(2s).has_value());
  EXPECT_TRUE(proxy_reset());
  EXPECT_EQ(run.read_file("ip.ini"), test_data::kWorkedExample);
}

}  // namespace
}  // namespace proxanto::e2e
