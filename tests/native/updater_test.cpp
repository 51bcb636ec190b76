#include "form_test.h"

namespace proxanto::testing {
namespace {

const std::string kFresh = "[IP]\r\ncount=2\r\n0=203.0.113.70:3128;3\r\n1=203.0.113.71:3128;3\r\n";
const std::string kUrl = "http://127.0.0.1:8123/update/ip.ini";
const ShownBox kDone{"Aktulizace byla úspěšně dokončena !", "Proxanto", kMbOk | kMbIconInformation};
const ShownBox kFailed{"Aktualizace se nezdařila !", "Proxanto", kMbOk | kMbIconStop};

class Update : public FormTest {
 protected:
  void SetUp() override {
    os.random.values = {0.0};
    os.save("update_url", kUrl);
    ASSERT_FALSE(start());
    os.boxes.shown.clear();
  }
  std::string backup() const { return os.process.folder + "\\ip_backup.ini"; }
  bool loads_held() {
    return !form.loads_allowed() && !form.menu("upd").enabled && !form.menu("filter").enabled;
  }
};

TEST_F(Update, FromTheMenuBacksUpStopsAndStaysResponsiveUntilTheNewDatabaseLoads) {
  os.download.served[kUrl] = kFresh;
  form.menu_click("upd", 0);
  ASSERT_EQ(os.download.started.size(), 1u);
  EXPECT_EQ(os.download.started[0].second, kUrl) << "the address saved in the program's key";
  EXPECT_TRUE(form.anonymity_stopped());
  EXPECT_EQ(os.proxy_enable(), 0u);
  EXPECT_EQ(os.files.files[backup()], kWorkedExample);
  EXPECT_TRUE(os.timers.state[TimerId::UpdateDeadline]);

  // While it downloads, the menu and the hot keys are served; another load
  // or update is not.
  EXPECT_TRUE(loads_held());
  form.menu_click("upd", 0);
  form.menu_click("filter", 0);
  EXPECT_EQ(os.download.started.size(), 1u);
  EXPECT_TRUE(os.window.filter_starts.empty());
  form.tray_callback(0x205);
  EXPECT_EQ(os.window.menus, 1);

  os.download.finish(form);
  EXPECT_EQ(os.ini(), kFresh);
  EXPECT_EQ(os.boxes.shown, std::vector<ShownBox>{kDone});
  EXPECT_EQ(form.ip_count, 2);
  EXPECT_EQ(os.proxy_server(), "203.0.113.70:3128");
  EXPECT_FALSE(loads_held());
  EXPECT_FALSE(os.timers.state[TimerId::UpdateDeadline]);
}

TEST_F(Update, AFailedDownloadKeepsTheDatabaseAndResumesTheProxy) {
  // Unreachable; an error page; databases the loader would load nothing from;
  // no answer within the deadline.
  for (const char* served : {"", "<html><body>404 Not Found</body></html>",
                             "[IP]\r\ncount=2\r\n0=192.0.2.9:80;1\r\n0_block=1\r\n1=;3\r\n",
                             "deadline"}) {
    os.download.served.erase(kUrl);
    if (*served) os.download.served[kUrl] = served;
    const std::string in_use = form.current_ip;
    os.boxes.shown.clear();
    os.internet.calls.clear();
    form.updater(0);
    if (std::string(served) == "deadline") {
      form.update_deadline_Timer();
      os.download.finish(form);  // a late answer changes nothing
    } else {
      os.download.finish(form);
    }
    EXPECT_EQ(os.boxes.shown, std::vector<ShownBox>{kFailed}) << served;
    EXPECT_EQ(os.ini(), kWorkedExample);
    EXPECT_EQ(form.current_ip, in_use);
    EXPECT_EQ(os.internet.calls.back().option, 37u);
    EXPECT_EQ(os.internet.calls[3].server, in_use);  // after the stop's three
    EXPECT_EQ(os.proxy_server(), in_use) << "the registry is resumed with WinINet";
    EXPECT_EQ(os.proxy_enable(), 1u);
    EXPECT_FALSE(form.anonymity_stopped());
    EXPECT_FALSE(loads_held());
    EXPECT_EQ(form.ip_count, 4);
  }
}

TEST_F(Update, AMissingDatabaseComesBackFromTheBackup) {
  os.files.files[backup()] = kWorkedExample;
  os.files.files.erase(os.ini_path());
  form.updater(0);
  EXPECT_FALSE(ends([&] { os.download.finish(form); }));
  EXPECT_EQ(os.ini(), kWorkedExample);
  EXPECT_FALSE(os.files.file_exists(backup()));
}

TEST(UpdateIdle, FailureWithNothingInUseBeforeStaysStopped) {
  Program p;
  p.prepare();
  p.form.updater(0);
  p.os.download.finish(p.form);
  EXPECT_TRUE(p.form.anonymity_stopped());
  ASSERT_EQ(p.os.internet.calls.size(), 3u);  // the stop only
  EXPECT_EQ(p.os.internet.calls[0].flags, 5u);
}

TEST(UpdateFromThePrompt, SuccessLoadsTheNewDatabaseFailureEndsTheProgram) {
  for (const bool reachable : {true, false}) {
    Program p;
    if (reachable) p.os.download.served[p.form.update_url] = kFresh;
    p.os.boxes.answers = {kIdYes, kIdOk};
    p.form.Form_Load();  // start-up goes on while the download runs
    EXPECT_EQ(p.os.tray.calls.back().message, kNimAdd);
    EXPECT_EQ(p.os.download.started.at(0).second, "http://www.marvedo.com/update/ip.ini");
    EXPECT_EQ(p.ends([&] { p.os.download.finish(p.form); }), !reachable);
    ASSERT_EQ(p.os.boxes.shown.size(), 2u);
    EXPECT_EQ(p.os.boxes.shown[1], reachable ? kDone : kFailed);
    EXPECT_EQ(p.form.ip_count, reachable ? 2 : 0);
    if (reachable) EXPECT_EQ(p.os.proxy_server(), p.form.current_ip);
    else EXPECT_TRUE(p.os.proxy_reset());
  }
}

}  // namespace
}  // namespace proxanto::testing
