#include <gtest/gtest.h>

#include "fakes.h"

namespace proxanto::testing {
namespace {

const std::string kOwnKey = "Software\\Marvedo\\Quillet";

TEST(AddBackslash, AddsOneBackslashOnlyWhereMissing) {
  EXPECT_EQ(AddBackslash("C:\\Program Files\\Proxanto"), "C:\\Program Files\\Proxanto\\");
  EXPECT_EQ(AddBackslash("D:\\"), "D:\\");
  EXPECT_EQ(AddBackslash(""), "\\");
}

class StartUp : public ::testing::Test {
 protected:
  void save(const std::string& name, const std::string& value) {
    SetRegString(os.registry, RegRoot::LocalMachine, kOwnKey, name, value);
  }
  void load() {
    try {
      form.Form_Load();
    } catch (const ProgramExit&) {
      ended = true;
    }
  }
  TestPlatform os;
  Form1 form{os.platform};
  bool ended = false;
};

TEST_F(StartUp, BuildsPathsTablesAndStateInOrder) {
  os.set_ini(kWorkedExample);
  load();
  ASSERT_FALSE(ended);
  EXPECT_EQ(form.Hkey, kOwnKey);
  EXPECT_EQ(form.ini_path, "C:\\Program Files\\Proxanto\\ip.ini");
  ASSERT_EQ(form.ARR_EN.size(), 33u);
  ASSERT_EQ(form.ARR_CS.size(), 33u);
  EXPECT_EQ(form.ARR_EN[8], "United States");
  EXPECT_EQ(form.ARR_CS[1], "Čína");
  EXPECT_EQ(form.ip_count, 4);
}

TEST_F(StartUp, IniPathAtTheRootOfADriveHasOneBackslash) {
  os.process.folder = "E:\\";
  os.files.files["E:\\ip.ini"] = kWorkedExample;
  load();
  EXPECT_EQ(form.ini_path, "E:\\ip.ini");
  EXPECT_EQ(form.ip_count, 4);
}

TEST_F(StartUp, SavedFilterIsTakenOnlyAsAPair) {
  struct Case {
    std::optional<std::string> id, index;
    std::string want_id, want_index;
  } cases[] = {
      {std::nullopt, "3", "-1", "0"},
      {"5", "0", "-1", "0"},
      {"5", std::nullopt, "-1", "0"},
      {"5", "abc", "-1", "0"},
      {"8", "3", "8", "3"},
  };
  for (const Case& c : cases) {
    TestPlatform fresh;
    fresh.set_ini(kWorkedExample);
    if (c.id) SetRegString(fresh.registry, RegRoot::LocalMachine, kOwnKey, "filter_id", *c.id);
    if (c.index) {
      SetRegString(fresh.registry, RegRoot::LocalMachine, kOwnKey, "filter_index", *c.index);
    }
    Form1 f{fresh.platform};
    f.Form_Load();
    EXPECT_EQ(f.filtr_id, c.want_id) << c.id.value_or("(none)") << "/" << c.index.value_or("(none)");
    EXPECT_EQ(f.filtr_index, c.want_index);
  }
}

TEST_F(StartUp, SavedFilterRestrictsTheFirstLoad) {
  save("filter_id", "8");
  save("filter_index", "3");
  os.set_ini(kWorkedExample);
  load();
  ASSERT_EQ(form.ip_count, 3);
  EXPECT_EQ(form.ip_list[2].entry, 5);
}

TEST_F(StartUp, GarbageFilterIdLoadsEverything) {
  save("filter_id", "x7");
  save("filter_index", "2");
  os.set_ini(kWorkedExample);
  load();
  EXPECT_EQ(form.ip_count, 4);
}

TEST_F(StartUp, EndsWithAProxyInUseAndTheIconWithTheProductName) {
  os.set_ini(kWorkedExample);
  load();
  EXPECT_FALSE(form.current_ip.empty());
  EXPECT_EQ(os.proxy_server(), form.current_ip);
  EXPECT_EQ(os.proxy_enable(), 1u);
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "Žádná IP adresa");
  EXPECT_FALSE(form.menu("ACTIVE_IP").enabled);
  EXPECT_TRUE(form.menu("cop").enabled);
  ASSERT_FALSE(os.tray.calls.empty());
  const auto& add = os.tray.calls.back();
  EXPECT_EQ(add.message, kNimAdd);
  EXPECT_EQ(add.record.szTip.substr(0, 9), std::string("Proxanto") + '\0');
  // The first announcement comes before the language is read: Czech.
  EXPECT_EQ(os.popup.txt, form.current_ip);
  EXPECT_EQ(os.popup.txt2, form.country_cs);
}

TEST_F(StartUp, EnglishSavedGivesEnglishCaptionsAfterACzechFirstAnnouncement) {
  save("lang", "1");
  os.set_ini("[IP]\ncount=1\n0=192.0.2.10:8080;8\n");
  load();
  EXPECT_EQ(form.LNG_INT, 100);
  EXPECT_EQ(os.popup.txt2, "Spojené Státy");
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "No IP Address");
  EXPECT_EQ(form.menu("en").caption, "Exit");
  EXPECT_TRUE(form.menu("lang").child("lngLIST", 1)->checked);
  EXPECT_FALSE(form.menu("lang").child("lngLIST", 0)->checked);
}

TEST_F(StartUp, SavedLanguageOtherThanOneIsCzech) {
  for (const char* saved : {"5", "-1", "abc", "0"}) {
    TestPlatform fresh;
    fresh.set_ini(kWorkedExample);
    SetRegString(fresh.registry, RegRoot::LocalMachine, kOwnKey, "lang", saved);
    Form1 f{fresh.platform};
    f.Form_Load();
    EXPECT_EQ(f.LNG_INT, 0) << saved;
    EXPECT_EQ(f.menu("en").caption, "Konec") << saved;
    EXPECT_TRUE(f.menu("lang").child("lngLIST", 0)->checked) << saved;
  }
}

TEST_F(StartUp, NoDatabaseAsksInCzechAndNoEndsThroughTheExitSequence) {
  save("lang", "1");
  os.boxes.answers = {kIdNo};
  SetRegString(os.registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer", "old:1");
  load();
  EXPECT_TRUE(ended);
  ASSERT_EQ(os.boxes.shown.size(), 1u);
  EXPECT_EQ(os.boxes.shown[0].text,
            "IP adresy nebyly nalezeny !\r\nPřejete si stáhnout novou databázi ?");
  EXPECT_EQ(os.boxes.shown[0].title, "Proxanto");
  EXPECT_EQ(os.boxes.shown[0].style, kMbYesNo | kMbIconStop);
  EXPECT_FALSE(os.registry.has(RegRoot::CurrentUser, kInternetSettings, "ProxyServer"));
  EXPECT_EQ(os.proxy_enable(), 0u);
  EXPECT_TRUE(os.internet.calls.empty());
}

TEST_F(StartUp, YesWithoutADownloadSourceReportsTheFailedUpdateAndEnds) {
  os.boxes.answers = {kIdYes};
  load();
  EXPECT_TRUE(ended);
  ASSERT_EQ(os.boxes.shown.size(), 2u);
  EXPECT_EQ(os.boxes.shown[1].text, "Aktualizace se nezdařila !");
  EXPECT_EQ(os.boxes.shown[1].style, kMbOk | kMbIconStop);
  EXPECT_EQ(os.proxy_enable(), 0u);
  EXPECT_EQ(os.process.exits, 1);
}

TEST_F(StartUp, SavedFilterMatchingNothingPromptsAsForAnEmptyDatabase) {
  save("filter_id", "5");
  save("filter_index", "7");
  os.set_ini(kWorkedExample);
  os.boxes.answers = {kIdNo};
  load();
  EXPECT_TRUE(ended);
  ASSERT_EQ(os.boxes.shown.size(), 1u);
  EXPECT_EQ(os.boxes.shown[0].style, kMbYesNo | kMbIconStop);
}

class Exit : public StartUp {
 protected:
  void SetUp() override {
    os.set_ini(kWorkedExample);
    load();
    os.internet.calls.clear();
  }
};

TEST_F(Exit, FromTheMenuResetsTheProxyRemovesTheIconAndEnds) {
  EXPECT_THROW(form.menu_click("en", 0), ProgramExit);
  EXPECT_FALSE(os.registry.has(RegRoot::CurrentUser, kInternetSettings, "ProxyServer"));
  EXPECT_EQ(os.proxy_enable(), 0u);
  EXPECT_EQ(os.tray.calls.back().message, kNimDelete);
  EXPECT_TRUE(os.internet.calls.empty());
  EXPECT_EQ(os.process.exits, 1);
}

TEST_F(Exit, SessionEndRunsTheSameSequence) {
  EXPECT_THROW(form.Form_Unload(), ProgramExit);
  EXPECT_EQ(os.registry.writes.back(), "proxyenable");
  EXPECT_EQ(os.registry.writes[os.registry.writes.size() - 2], "-proxyserver");
  EXPECT_EQ(os.proxy_enable(), 0u);
  EXPECT_EQ(os.tray.calls.back().message, kNimDelete);
}

}  // namespace
}  // namespace proxanto::testing
