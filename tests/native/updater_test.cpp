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
    ASSERT_FALSE(start());
    form.update_url = kUrl;
    os.boxes.shown.clear();
  }
  std::string backup() const { return os.process.folder + "\\ip_backup.ini"; }
  bool downloading() { return os.files.file_exists(os.ini_path() + ".download"); }
};

TEST_F(Update, FromTheMenuBacksUpStopsDownloadsAndReloads) {
  os.download.served[kUrl] = kFresh;
  bool stopped_before_download = false;
  os.download.while_downloading = [&] {
    stopped_before_download = form.anonymity_stopped() && os.proxy_enable() == 0u &&
                              os.files.files[backup()] == kWorkedExample;
  };
  form.menu_click("upd", 0);
  EXPECT_TRUE(stopped_before_download);
  EXPECT_EQ(os.ini(), kFresh);
  EXPECT_EQ(os.files.files[backup()], kWorkedExample);
  EXPECT_FALSE(downloading());
  EXPECT_EQ(os.boxes.shown, std::vector<ShownBox>{kDone});
  EXPECT_EQ(form.ip_count, 2);
  EXPECT_EQ(os.proxy_server(), "203.0.113.70:3128");
  EXPECT_FALSE(form.anonymity_stopped());
}

TEST_F(Update, AFailedDownloadKeepsTheDatabaseAndResumesTheProxy) {
  // Unreachable; an error page; databases the loader would load nothing from.
  for (const char* served : {"", "<html><body>404 Not Found</body></html>",
                             "[IP]\r\ncount=2\r\n0=192.0.2.9:80;1\r\n0_block=1\r\n1=;3\r\n"}) {
    if (*served) os.download.served[kUrl] = served;
    const std::string in_use = form.current_ip;
    os.boxes.shown.clear();
    os.internet.calls.clear();
    EXPECT_FALSE(ends([&] { form.updater(0); }));
    EXPECT_EQ(os.boxes.shown, std::vector<ShownBox>{kFailed});
    EXPECT_EQ(os.ini(), kWorkedExample);
    EXPECT_FALSE(downloading());
    EXPECT_EQ(form.current_ip, in_use);
    EXPECT_EQ(os.internet.calls.back().option, 37u);
    EXPECT_EQ(os.internet.calls[3].server, in_use);  // after the stop's three
    EXPECT_EQ(os.proxy_server(), in_use) << "the registry is resumed with WinINet";
    EXPECT_EQ(os.proxy_enable(), 1u);
    EXPECT_FALSE(form.anonymity_stopped());
    EXPECT_EQ(form.ip_count, 4);
  }
}

TEST_F(Update, AMissingDatabaseComesBackFromTheBackup) {
  os.files.files[backup()] = kWorkedExample;
  os.files.files.erase(os.ini_path());
  EXPECT_FALSE(ends([&] { form.updater(0); }));
  EXPECT_EQ(os.ini(), kWorkedExample);
  EXPECT_FALSE(os.files.file_exists(backup()));
}

TEST(UpdateIdle, FailureWithNothingInUseBeforeStaysStopped) {
  Program p;
  p.prepare();
  p.form.updater(0);
  EXPECT_TRUE(p.form.anonymity_stopped());
  ASSERT_EQ(p.os.internet.calls.size(), 3u);  // the stop only
  EXPECT_EQ(p.os.internet.calls[0].flags, 5u);
}

TEST(UpdateFromThePrompt, SuccessLoadsTheNewDatabaseAndStartUpGoesOn) {
  Program p;
  p.os.download.served[p.form.update_url] = kFresh;
  p.os.boxes.answers = {kIdYes, kIdOk};
  p.form.Form_Load();
  ASSERT_EQ(p.os.boxes.shown.size(), 2u);
  EXPECT_EQ(p.os.boxes.shown[1], kDone);
  EXPECT_EQ(p.form.ip_count, 2);
  EXPECT_FALSE(p.form.current_ip.empty());
  EXPECT_EQ(p.os.proxy_server(), p.form.current_ip);
  EXPECT_EQ(p.os.tray.calls.back().message, kNimAdd);
}

}  // namespace
}  // namespace proxanto::testing
