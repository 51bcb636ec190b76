#include "form_test.h"
#include "proxy/recovery.h"

namespace proxanto::testing {
namespace {

const ShownBox kEmptyPrompt = {
    "IP adresy nebyly nalezeny !\r\nPřejete si stáhnout novou databázi ?", "Proxanto",
    kMbYesNo | kMbIconStop};

using StartUp = FormTest;

TEST_F(StartUp, BuildsPathsAndTablesAndEndsWithAProxyInUseAnnouncedAndTheIcon) {
  ASSERT_FALSE(start());
  EXPECT_EQ(form.Hkey, "Software\\Marvedo\\Quillet");
  EXPECT_EQ(form.ini_path, "C:\\Program Files\\Proxanto\\ip.ini");
  ASSERT_EQ(form.ARR_EN.size(), 33u);
  ASSERT_EQ(form.ARR_CS.size(), 33u);
  EXPECT_EQ(form.ARR_EN[8], "United States");
  EXPECT_EQ(form.ARR_CS[1], "Čína");
  EXPECT_EQ(form.ip_count, 4);
  EXPECT_TRUE(os.timers.state[TimerId::Timer1]) << "the hot keys are polled";

  EXPECT_FALSE(form.current_ip.empty());
  EXPECT_EQ(os.proxy_server(), form.current_ip);
  EXPECT_EQ(os.proxy_enable(), 1u);
  // The menu and the icon name the proxy in use from the start.
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "IP: " + form.current_ip + " (" + form.country_cs + ")");
  EXPECT_FALSE(form.menu("ACTIVE_IP").enabled);
  EXPECT_TRUE(form.menu("cop").enabled);
  EXPECT_TRUE(form.menu("block").enabled);
  EXPECT_EQ(os.tray.calls.back().message, kNimAdd);
  EXPECT_EQ(os.tray.calls.back().record.szTip.substr(0, 10 + form.current_ip.size()),
            "Proxanto\r\n" + form.current_ip);
  EXPECT_EQ(os.popup.lines, form.current_ip + "|" + form.country_cs);
}

// AddBackslash adds a backslash only where one is missing.
TEST_F(StartUp, IniPathAtTheRootOfADriveHasOneBackslash) {
  os.process.folder = "E:\\";
  os.files.files["E:\\ip.ini"] = kWorkedExample;
  ASSERT_FALSE(ends([&] { form.Form_Load(); }));
  EXPECT_EQ(form.ini_path, "E:\\ip.ini");
  EXPECT_EQ(form.ip_count, 4);
}

TEST(StartUpFilter, SavedFilterIsTakenOnlyAsAPairAndRestrictsTheFirstLoad) {
  const struct {
    std::optional<std::string> id, index;
    std::string want;  // filtr_id/filtr_index
    std::vector<int> entries;
  } cases[] = {
      {std::nullopt, "3", "-1/0", {0, 2, 3, 5}}, {"5", "0", "-1/0", {0, 2, 3, 5}},
      {"5", std::nullopt, "-1/0", {0, 2, 3, 5}}, {"5", "abc", "-1/0", {0, 2, 3, 5}},
      {"8", "3", "8/3", {0, 2, 5}},              {"x7", "2", "x7/2", {0, 2, 3, 5}},
  };
  for (const auto& c : cases) {
    Program p;
    if (c.id) p.os.save("filter_id", *c.id);
    if (c.index) p.os.save("filter_index", *c.index);
    ASSERT_FALSE(p.start());
    EXPECT_EQ(p.form.filtr_id + "/" + p.form.filtr_index, c.want)
        << c.id.value_or("(none)") << "/" << c.index.value_or("(none)");
    EXPECT_EQ(p.entries(), c.entries) << c.want;
  }
}

TEST_F(StartUp, SavedFilterMatchingNothingPromptsAsForAnEmptyDatabase) {
  os.save("filter_id", "5");
  os.save("filter_index", "7");
  os.boxes.answers = {kIdNo};
  EXPECT_TRUE(start());
  EXPECT_EQ(os.boxes.shown, std::vector<ShownBox>{kEmptyPrompt});
}

TEST(StartUpLanguage, OnlyOneSavedIsEnglishAndTheFirstAnnouncementSpeaksIt) {
  for (const char* saved : {"1", "5", "-1", "abc", "0"}) {
    Program p;
    p.os.save("lang", saved);
    ASSERT_FALSE(p.start("[IP]\ncount=1\n0=192.0.2.10:8080;8\n"));
    const bool english = std::string(saved) == "1";
    EXPECT_EQ(p.form.LNG_INT, english ? 100 : 0) << saved;
    EXPECT_EQ(p.form.menu("en").caption, english ? "Exit" : "Konec") << saved;
    EXPECT_TRUE(p.form.menu("lang").child("lngLIST", english ? 1 : 0)->checked) << saved;
    EXPECT_FALSE(p.form.menu("lang").child("lngLIST", english ? 0 : 1)->checked) << saved;
    const std::string country = english ? "United States" : "Spojené Státy";
    EXPECT_EQ(p.os.popup.lines, "192.0.2.10:8080|" + country) << saved;
    EXPECT_EQ(p.form.menu("ACTIVE_IP").caption, "IP: 192.0.2.10:8080 (" + country + ")");
    EXPECT_EQ(p.form.menu("ipadd").children[0].caption, "192.0.2.10:8080 (" + country + ")");
  }
}

TEST_F(StartUp, NoDatabaseAsksInTheSavedLanguageAndNoEndsThroughTheExitSequence) {
  os.save("lang", "1");
  os.boxes.answers = {kIdNo};
  SetRegString(os.registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer", "old:1");
  EXPECT_TRUE(ends([&] { form.Form_Load(); }));
  EXPECT_EQ(os.boxes.shown,
            (std::vector<ShownBox>{{"IP adresy was not found !\r\nWould you like to download new "
                                    "database ?",
                                    "Proxanto", kMbYesNo | kMbIconStop}}));
  EXPECT_TRUE(os.proxy_reset());
  EXPECT_TRUE(os.internet.calls.empty());
}

TEST(Exit, FromTheMenuOrAtSessionEndResetsTheProxyRemovesTheIconAndEnds) {
  for (const char* how : {"menu", "session end"}) {
    Program p;
    ASSERT_FALSE(p.start());
    p.os.journal.clear();
    EXPECT_TRUE(p.ends([&] {
      if (std::string(how) == "menu") p.form.menu_click("en", 0);
      else p.form.Form_Unload();
    })) << how;
    EXPECT_EQ(p.os.journal, (Journal{"reg -ProxyServer", "reg ProxyEnable", "reg -applied_proxy",
                                     "reg -Proxanto", "tray 2"}))
        << how;
    EXPECT_TRUE(p.os.proxy_reset()) << how;
    EXPECT_EQ(p.os.process.exits, 1) << how;
  }
}

}  // namespace
}  // namespace proxanto::testing

namespace proxanto::testing {
namespace {

TEST(Recovery, RecordsLiveExactlyWhileAProxyIsApplied) {
  Program p;
  const auto records = [&] {
    return p.os.reg(RegRoot::CurrentUser, kRecordKey, kRecordValue) + "|" +
           p.os.reg(RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue);
  };
  ASSERT_FALSE(p.start());
  const std::string applied =
      p.form.current_ip + "|\"C:\\Program Files\\Proxanto\\proxanto.exe\" /recover";
  EXPECT_EQ(records(), applied);
  p.form.st_Click();
  EXPECT_EQ(records(), "|");
  p.form.st_Click();
  EXPECT_EQ(records(), applied);
  p.form.obnovit_Click();
  EXPECT_EQ(records(), "|");
  p.form.proxy();
  EXPECT_TRUE(p.ends([&] { p.form.konec(); }));
  EXPECT_EQ(records(), "|");
}

TEST(Recovery, AfterAnUncleanEndOnlyTheProxyThatRunAppliedIsReset) {
  const struct {
    const char* record;  // nullptr: no record
    const char* server;  // ProxyServer afterwards, "" for none
    const char* left;
  } cases[] = {
      {"192.0.2.1:80", "192.0.2.1:80", ""},
      {"192.0.2.1:80", "10.1.1.1:3128", "10.1.1.1:3128"},  // set by hand since: kept
      {nullptr, "192.0.2.1:80", "192.0.2.1:80"},           // no record: a clean end
  };
  for (const auto& c : cases) {
    TestPlatform os;
    SetRegString(os.registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer", c.server);
    SetRegDword(os.registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 1);
    if (c.record) record_applied(os.registry, c.record, "x /recover");
    EXPECT_EQ(recover_after_unclean_end(os.registry), c.record != nullptr);
    EXPECT_EQ(os.proxy_server().value_or(""), c.left) << c.server;
    EXPECT_EQ(os.proxy_enable(), *c.left ? 1u : 0u) << c.server;
    EXPECT_FALSE(os.registry.read(RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue));
  }
  // At start-up the stale record is dealt with before anything else.
  Program p;
  record_applied(p.os.registry, "192.0.2.1:80", "x /recover");
  p.os.journal.clear();
  ASSERT_FALSE(p.start());
  EXPECT_EQ(Journal(p.os.journal.begin(), p.os.journal.begin() + 2),
            (Journal{"reg -applied_proxy", "reg -Proxanto"}));
}

}  // namespace
}  // namespace proxanto::testing
