#include <gtest/gtest.h>

#include "fakes.h"

namespace proxanto::testing {
namespace {

const std::string kFresh = "[IP]\r\ncount=2\r\n0=203.0.113.70:3128;3\r\n1=203.0.113.71:3128;3\r\n";

class Update : public ::testing::Test {
 protected:
  void SetUp() override {
    os.set_ini(kWorkedExample);
    os.random.values = {0.0};
    form.Form_Load();
    form.update_url = kUrl;
  }
  std::string backup() const { return os.process.folder + "\\ip_backup.ini"; }
  bool run(int par) {
    try {
      form.updater(par);
    } catch (const ProgramExit&) {
      return true;
    }
    return false;
  }
  const std::string kUrl = "http://127.0.0.1:8123/update/ip.ini";
  TestPlatform os;
  Form1 form{os.platform};
};

TEST_F(Update, FromTheMenuBacksUpStopsDownloadsAndReloads) {
  os.download.served[kUrl] = kFresh;
  bool stopped_before_download = false;
  os.download.while_downloading = [&] {
    stopped_before_download = form.anonymity_stopped() && os.proxy_enable() == 0u &&
                              os.files.files[backup()] == kWorkedExample;
  };
  os.boxes.shown.clear();
  form.menu_click("upd", 0);
  EXPECT_TRUE(stopped_before_download);
  EXPECT_EQ(os.files.files[os.ini_path()], kFresh);
  EXPECT_EQ(os.files.files[backup()], kWorkedExample);
  EXPECT_FALSE(os.files.file_exists(os.ini_path() + ".download"));
  ASSERT_EQ(os.boxes.shown.size(), 1u);
  EXPECT_EQ(os.boxes.shown[0].text, "Aktulizace byla úspěšně dokončena !");
  EXPECT_EQ(os.boxes.shown[0].style, kMbOk | kMbIconInformation);
  EXPECT_EQ(form.ip_count, 2);
  EXPECT_EQ(os.proxy_server(), "203.0.113.70:3128");
  EXPECT_FALSE(form.anonymity_stopped());
}

TEST_F(Update, AFailedDownloadKeepsTheDatabaseAndResumesTheProxy) {
  // Unreachable, and a server that answered with an error page.
  for (const bool error_page : {false, true}) {
    if (error_page) os.download.served[kUrl] = "<html><body>404 Not Found</body></html>";
    const std::string in_use = form.current_ip;
    os.boxes.shown.clear();
    os.internet.calls.clear();
    EXPECT_FALSE(run(0));
    ASSERT_EQ(os.boxes.shown.size(), 1u);
    EXPECT_EQ(os.boxes.shown[0].text, "Aktualizace se nezdařila !");
    EXPECT_EQ(os.boxes.shown[0].style, kMbOk | kMbIconStop);
    EXPECT_EQ(os.files.files[os.ini_path()], kWorkedExample);
    EXPECT_FALSE(os.files.file_exists(os.ini_path() + ".download"));
    EXPECT_EQ(form.current_ip, in_use);
    EXPECT_EQ(os.internet.calls.back().option, 37u);
    EXPECT_EQ(os.internet.calls[3].server, in_use);  // after the stop's three
    EXPECT_FALSE(form.anonymity_stopped());
    EXPECT_EQ(form.ip_count, 4);
  }
}

TEST_F(Update, AMissingDatabaseComesBackFromTheBackup) {
  os.files.files[backup()] = kWorkedExample;
  os.files.files.erase(os.ini_path());
  EXPECT_FALSE(run(0));
  EXPECT_EQ(os.files.files[os.ini_path()], kWorkedExample);
  EXPECT_FALSE(os.files.file_exists(backup()));
}

TEST_F(Update, FailureWithNothingInUseBeforeStaysStopped) {
  TestPlatform fresh;
  Form1 idle{fresh.platform};
  idle.ARR_CS = czech_country_names();
  idle.updater(0);
  EXPECT_TRUE(idle.anonymity_stopped());
  ASSERT_EQ(fresh.internet.calls.size(), 3u);  // the stop only
  EXPECT_EQ(fresh.internet.calls[0].flags, 5u);
}

TEST(UpdateFromThePrompt, SuccessLoadsTheNewDatabase) {
  TestPlatform os;
  Form1 form{os.platform};
  os.download.served[form.update_url] = kFresh;
  os.boxes.answers = {kIdYes, kIdOk};
  form.Form_Load();
  ASSERT_EQ(os.boxes.shown.size(), 2u);
  EXPECT_EQ(os.boxes.shown[1].text, "Aktulizace byla úspěšně dokončena !");
  EXPECT_EQ(form.ip_count, 2);
  EXPECT_FALSE(form.current_ip.empty());
  EXPECT_EQ(os.tray.calls.back().message, kNimAdd);
}

TEST(UpdateFromThePrompt, FailureEndsWithTheProxyReset) {
  TestPlatform os;
  Form1 form{os.platform};
  os.boxes.answers = {kIdYes, kIdOk};
  EXPECT_THROW(form.Form_Load(), ProgramExit);
  EXPECT_EQ(os.boxes.shown.back().text, "Aktualizace se nezdařila !");
  EXPECT_EQ(os.proxy_enable(), 0u);
  EXPECT_FALSE(os.files.file_exists(os.ini_path() + ".download"));
}

}  // namespace
}  // namespace proxanto::testing
