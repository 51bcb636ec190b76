#include <gtest/gtest.h>

#include "fakes.h"

namespace proxanto::testing {
namespace {

constexpr int kCtrl = 0x11, kQ = 0x51, kW = 0x57, kE = 0x45;

class Running : public ::testing::Test {
 protected:
  void SetUp() override {
    os.set_ini(kWorkedExample);
    form.Form_Load();
  }
  TestPlatform os;
  Form1 form{os.platform};
};

TEST_F(Running, HotKeysArePolledFromStartUp) {
  EXPECT_TRUE(os.timers.state[TimerId::Timer1]);
}

TEST_F(Running, ControlWithALetterRunsItsActionsInTheOrderQWE) {
  const int draws = os.random.draws;
  os.keyboard.held = {kQ, kW, kE};
  form.Timer1_Timer();  // no CTRL
  os.keyboard.held = {kCtrl};
  form.Timer1_Timer();
  EXPECT_EQ(os.random.draws, draws);
  EXPECT_TRUE(os.boxes.shown.empty());

  os.random.values = {0.9};
  os.keyboard.held = {kCtrl, kQ, kW};
  form.Timer1_Timer();
  EXPECT_EQ(form.current_ip, "198.51.100.33:8080");
  EXPECT_EQ(os.clipboard.text, "198.51.100.33:8080");  // copied after the change

  os.keyboard.held = {kCtrl, kE};
  form.Timer1_Timer();
  EXPECT_TRUE(form.anonymity_stopped());
  form.Timer1_Timer();
  EXPECT_FALSE(form.anonymity_stopped());
}

TEST_F(Running, OnlyTheHighBitMeansHeld) {
  const int draws = os.random.draws;
  os.keyboard.toggled = {kCtrl, kQ};  // Caps Lock style toggles, not presses
  form.Timer1_Timer();
  EXPECT_EQ(os.random.draws, draws);
  os.keyboard.held = {kCtrl, kQ};  // held while toggled: still held
  form.Timer1_Timer();
  EXPECT_EQ(os.random.draws, draws + 1);
}

TEST_F(Running, CopyHotKeyWorksWhileTheMenuItemIsDisabled) {
  form.st_Click();
  ASSERT_FALSE(form.menu("cop").enabled);
  os.keyboard.held = {kCtrl, kW};
  form.Timer1_Timer();
  EXPECT_EQ(os.clipboard.text, form.current_ip);
}

TEST_F(Running, HotKeyHelpListsTheThreeCombinations) {
  form.LNG_INT = 100;
  form.menu_click("hotkeys", 0);
  ASSERT_EQ(os.boxes.shown.size(), 1u);
  EXPECT_EQ(os.boxes.shown[0].text,
            "CTRL + Q - Change proxy\r\n"
            "CTRL + W - Copy IP Address to clipboard\r\n"
            "CTRL + E - Continue with anonymity/Stop anonymity");
  EXPECT_EQ(os.boxes.shown[0].style, kMbOk);
  EXPECT_EQ(os.boxes.shown[0].title, "Proxanto");
}

TEST_F(Running, ChoosingEnglishSavesItRewritesTheCaptionsAndAnnounces) {
  os.random.values = {0.0};
  form.proxy();  // United States
  form.menu_click("lngLIST", 1);
  EXPECT_EQ(form.LNG_INT, 100);
  EXPECT_EQ(os.reg(RegRoot::LocalMachine, form.Hkey, "lang"), "1");
  EXPECT_TRUE(form.menu("lang").child("lngLIST", 1)->checked);
  EXPECT_FALSE(form.menu("lang").child("lngLIST", 0)->checked);
  EXPECT_EQ(form.menu("chPROX").caption, "Change proxy");
  EXPECT_EQ(form.menu("block").caption, "Block this IP Address");
  EXPECT_EQ(form.menu("filter").caption, "Countries Filter");
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "IP: 192.0.2.10:8080 (United States)");
  EXPECT_EQ(os.popup.txt2, "United States");
  EXPECT_NE(os.tray.calls.back().record.szTip.find("United States"), std::string::npos);
  // The IP menu keeps the names of its last build until the next load.
  EXPECT_EQ(form.menu("ipadd").children[0].caption, "192.0.2.10:8080 (Spojené Státy)");

  form.menu_click("lngLIST", 0);
  EXPECT_EQ(os.reg(RegRoot::LocalMachine, form.Hkey, "lang"), "0");
  EXPECT_EQ(form.menu("en").caption, "Konec");
}

TEST_F(Running, ChoosingALanguageWhileStoppedLeavesTheTooltipToTheAnnouncement) {
  form.st_Click();
  const auto before = os.tray.calls.size();
  form.lngLIST_Click(1);
  // load_lang does not touch the tooltip; the closing announcement does, once.
  EXPECT_EQ(os.tray.calls.size(), before + 1);
}

class Favourites : public Running {
 protected:
  std::string fav(const std::string& name) {
    return os.reg(RegRoot::LocalMachine, form.Hkey + "\\Favorites", name);
  }
  void store(const std::string& name, const std::string& value) {
    SetRegString(os.registry, RegRoot::LocalMachine, form.Hkey + "\\Favorites", name, value);
  }
};

TEST_F(Favourites, EmptyStoreShowsOneDisabledPlaceholder) {
  const auto& items = form.menu("favIPs").children;
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].caption, "Žádná IP adresa");
  EXPECT_FALSE(items[0].enabled);
}

TEST_F(Favourites, AddStoresTheProxyLastAppliedFromTheList) {
  os.random.values = {0.6};  // position 2: 192.0.2.200:8000, Russia
  form.proxy();
  form.menu_click("favadd", 0);
  EXPECT_EQ(fav("count"), "1");
  EXPECT_EQ(fav("0"), "192.0.2.200:8000/24");
  form.favadd_Click();
  EXPECT_EQ(fav("count"), "2");
  const auto& items = form.menu("favIPs").children;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].caption, "192.0.2.200:8000 (Ruská Federace)");
  EXPECT_TRUE(items[0].enabled);
  EXPECT_EQ(items[1].tag, "192.0.2.200:8000/24");

  // Applying a favourite keeps the list position: adding stores the list's proxy.
  store("count", "3");
  store("2", "10.0.0.1:8080/3");
  form.oblibene_ip();
  form.menu_click("favIPsmenu", 2);
  EXPECT_EQ(form.current_ip, "10.0.0.1:8080");
  EXPECT_EQ(os.proxy_server(), "10.0.0.1:8080");
  EXPECT_EQ(os.proxy_enable(), 1u);
  EXPECT_EQ(os.internet.calls.back().option, 37u);
  EXPECT_EQ(form.country_cs, "Japonsko");
  EXPECT_NE(os.tray.calls.back().record.szTip.find("10.0.0.1:8080\r\nJaponsko"),
            std::string::npos);
  form.favadd_Click();
  EXPECT_EQ(fav("3"), "192.0.2.200:8000/24");
}

TEST_F(Favourites, MissingEntriesAndGarbageNeverBreakTheMenu) {
  store("count", "3");
  store("0", "192.0.2.1:80/99");
  store("2", "192.0.2.3:80");
  form.oblibene_ip();
  const auto& items = form.menu("favIPs").children;
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].caption, "192.0.2.1:80");
  EXPECT_EQ(items[1].caption, "-");
  EXPECT_EQ(items[2].caption, "192.0.2.3:80");
  const std::string in_use = form.current_ip;
  form.favIPsmenu_Click(1);  // the placeholder of the missing entry
  EXPECT_EQ(form.current_ip, in_use);

  store("count", "lots");
  form.oblibene_ip();
  EXPECT_EQ(form.menu("favIPs").children.size(), 1u);
}

TEST_F(Favourites, AddWithAnEmptyListStoresNothing) {
  TestPlatform fresh;
  Form1 idle{fresh.platform};
  idle.Hkey = form.Hkey;
  idle.favadd_Click();
  EXPECT_TRUE(fresh.registry.values.empty());
}

class Filter : public Running {};

TEST_F(Filter, MenuOpensTheDialogAtTheSavedRow) {
  form.filtr_index = "7";
  form.menu_click("filter", 0);
  form.filtr_index = "x";
  form.filter_Click();
  EXPECT_EQ(os.window.filter_starts, (std::vector<int>{7, 0}));
}

TEST_F(Filter, ChosenCountryRestrictsTheListAndIsSaved) {
  form.filter_chosen(8, 21);
  EXPECT_EQ(form.ip_count, 3);
  EXPECT_EQ(form.country_en, "United States");
  EXPECT_EQ(os.reg(RegRoot::LocalMachine, form.Hkey, "filter_id"), "8");
  EXPECT_EQ(os.reg(RegRoot::LocalMachine, form.Hkey, "filter_index"), "21");

  form.filter_chosen(-1, 0);
  EXPECT_EQ(form.ip_count, 4);
  EXPECT_EQ(os.reg(RegRoot::LocalMachine, form.Hkey, "filter_id"), "-1");
}

TEST_F(Filter, CountryWithoutEntriesFallsBackButIsStillSaved) {
  form.filter_chosen(5, 9);
  ASSERT_EQ(os.boxes.shown.size(), 1u);
  EXPECT_EQ(os.boxes.shown[0].style, kMbOk | kMbIconExclamation);
  EXPECT_EQ(form.ip_count, 4);
  EXPECT_EQ(form.filtr_index, "0");
  EXPECT_EQ(os.reg(RegRoot::LocalMachine, form.Hkey, "filter_id"), "5");
  EXPECT_EQ(os.reg(RegRoot::LocalMachine, form.Hkey, "filter_index"), "9");
}

}  // namespace
}  // namespace proxanto::testing
