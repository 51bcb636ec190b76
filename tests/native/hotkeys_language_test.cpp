// Hot keys, languages, favourites and the country filter of a running Form1.

#include "form_test.h"

namespace proxanto::testing {
namespace {

constexpr int kCtrl = 0x11, kQ = 0x51, kW = 0x57, kE = 0x45;

class Running : public FormTest {
 protected:
  void SetUp() override { ASSERT_FALSE(start()); }
  std::string saved(const std::string& name, const std::string& key = "") {
    return os.reg(RegRoot::LocalMachine, form.Hkey + key, name);
  }
};

TEST_F(Running, ControlWithALetterRunsItsActionsInTheOrderQWE) {
  const int draws = os.random.draws;
  os.keyboard.held = {kQ, kW, kE};
  form.Timer1_Timer();  // no CTRL
  os.keyboard.held = {kCtrl};
  form.Timer1_Timer();
  os.keyboard.held.clear();
  os.keyboard.toggled = {kCtrl, kQ};  // toggles, as of Caps Lock, are no presses
  form.Timer1_Timer();
  EXPECT_EQ(os.random.draws, draws);
  EXPECT_TRUE(os.boxes.shown.empty());

  os.random.values = {0.9};
  os.keyboard.held = {kCtrl, kQ, kW};  // held while toggled: still held
  form.Timer1_Timer();
  EXPECT_EQ(form.current_ip, "198.51.100.33:8080");
  EXPECT_EQ(os.random.draws, draws + 1);
  EXPECT_EQ(os.clipboard.text, "198.51.100.33:8080");  // copied after the change

  os.keyboard.held = {kCtrl, kQ};  // held on: a change at every tick
  form.Timer1_Timer();
  form.Timer1_Timer();
  EXPECT_EQ(os.random.draws, draws + 3);

  os.keyboard.held = {kCtrl, kE};
  form.Timer1_Timer();
  EXPECT_TRUE(form.anonymity_stopped());
  ASSERT_FALSE(form.menu("cop").enabled);
  os.clipboard.text.clear();
  os.keyboard.held = {kCtrl, kW};  // copies while the menu item is disabled
  form.Timer1_Timer();
  EXPECT_EQ(os.clipboard.text, form.current_ip);
  os.keyboard.held = {kCtrl, kE};
  form.Timer1_Timer();
  EXPECT_FALSE(form.anonymity_stopped());
}

TEST_F(Running, HotKeyHelpListsTheThreeCombinations) {
  form.LNG_INT = 100;
  form.menu_click("hotkeys", 0);
  EXPECT_EQ(os.boxes.shown, (std::vector<ShownBox>{{"CTRL + Q - Change proxy\r\n"
                                                     "CTRL + W - Copy IP Address to clipboard\r\n"
                                                     "CTRL + E - Continue with anonymity/Stop "
                                                     "anonymity",
                                                     "Proxanto", kMbOk}}));
}

TEST_F(Running, ChoosingALanguageSavesItRewritesTheCaptionsAndAnnounces) {
  os.random.values = {0.0};
  form.proxy();  // United States
  form.menu_click("lngLIST", 1);
  EXPECT_EQ(form.LNG_INT, 100);
  EXPECT_EQ(saved("lang"), "1");
  EXPECT_TRUE(form.menu("lang").child("lngLIST", 1)->checked);
  EXPECT_FALSE(form.menu("lang").child("lngLIST", 0)->checked);
  EXPECT_EQ(form.menu("chPROX").caption, "Change proxy");
  EXPECT_EQ(form.menu("block").caption, "Block this IP Address");
  EXPECT_EQ(form.menu("filter").caption, "Countries Filter");
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "IP: 192.0.2.10:8080 (United States)");
  EXPECT_EQ(os.popup.lines, "192.0.2.10:8080|United States");
  EXPECT_NE(os.tray.calls.back().record.szTip.find("United States"), std::string::npos);
  // The IP menu keeps the names of its last build until the next load.
  EXPECT_EQ(form.menu("ipadd").children[0].caption, "192.0.2.10:8080 (Spojené Státy)");

  form.menu_click("lngLIST", 0);
  EXPECT_EQ(saved("lang"), "0");
  EXPECT_EQ(form.menu("en").caption, "Konec");

  // While stopped, everything keeps saying so, in the new language, and the
  // system proxy stays off.
  form.st_Click();
  os.internet.calls.clear();
  form.lngLIST_Click(1);
  EXPECT_TRUE(form.anonymity_stopped());
  EXPECT_EQ(form.menu("st").caption, "Continue with anonymity");
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "No IP Address");
  EXPECT_FALSE(form.menu("cop").enabled);
  EXPECT_FALSE(form.menu("block").enabled);
  EXPECT_EQ(os.popup.lines, "Anonymity|was canceled");
  EXPECT_EQ(os.tray.calls.back().record.szTip.substr(0, 9), std::string("Proxanto") + '\0');
  EXPECT_TRUE(os.internet.calls.empty());
  EXPECT_TRUE(os.proxy_reset());
}

class Favourites : public Running {
 protected:
  void store(const std::string& name, const std::string& value) {
    SetRegString(os.registry, RegRoot::LocalMachine, form.Hkey + "\\Favorites", name, value);
  }
  const std::vector<MenuItem>& items() { return form.menu("favIPs").children; }
};

TEST_F(Favourites, AddStoresTheProxyLastAppliedFromTheList) {
  ASSERT_EQ(items().size(), 1u);
  EXPECT_EQ(items()[0].caption, "Žádná IP adresa");
  EXPECT_FALSE(items()[0].enabled);

  os.random.values = {0.6};  // position 2: 192.0.2.200:8000, Russia
  form.proxy();
  form.menu_click("favadd", 0);
  EXPECT_EQ(saved("count", "\\Favorites"), "1");
  EXPECT_EQ(saved("0", "\\Favorites"), "192.0.2.200:8000/24");
  os.journal.clear();
  form.favadd_Click();
  EXPECT_EQ(os.steps("reg"), (Journal{"reg count", "reg 1"})) << "the count first";
  EXPECT_EQ(saved("count", "\\Favorites"), "2");
  ASSERT_EQ(items().size(), 2u);
  EXPECT_EQ(items()[0].caption, "192.0.2.200:8000 (Ruská Federace)");
  EXPECT_TRUE(items()[0].enabled);
  EXPECT_EQ(items()[1].tag, "192.0.2.200:8000/24");

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
  EXPECT_EQ(saved("3", "\\Favorites"), "192.0.2.200:8000/24");

  // A language switch leaves the menu's country names until the next build.
  form.lngLIST_Click(1);
  EXPECT_EQ(items()[2].caption, "10.0.0.1:8080 (Japonsko)");
}

TEST_F(Favourites, AddressesWithSlashesAndDamagedCountsKeepEveryFavourite) {
  store("count", "1x");  // damaged, and lower than what is stored
  store("0", "http://192.0.2.1:80/8");
  store("1", "192.0.2.2:80/1");
  form.oblibene_ip();
  EXPECT_EQ(items()[0].caption, "http://192.0.2.1:80 (Spojené Státy)");
  form.favIPsmenu_Click(0);
  EXPECT_EQ(os.proxy_server(), "http://192.0.2.1:80");
  EXPECT_EQ(form.country_en, "United States");

  form.favadd_Click();
  EXPECT_EQ(saved("0", "\\Favorites"), "http://192.0.2.1:80/8");
  EXPECT_EQ(saved("1", "\\Favorites"), "192.0.2.2:80/1");
  EXPECT_EQ(saved("count", "\\Favorites"), "3");
  EXPECT_EQ(saved("2", "\\Favorites"), form.ip_list[0].address() + "/8");
}

TEST_F(Favourites, MissingEntriesAndGarbageNeverBreakTheMenu) {
  store("count", "3");
  store("0", "192.0.2.1:80/99");
  store("2", "192.0.2.3:80");
  form.oblibene_ip();
  ASSERT_EQ(items().size(), 3u);
  EXPECT_EQ(items()[0].caption, "192.0.2.1:80");
  EXPECT_EQ(items()[1].caption, "-");
  EXPECT_EQ(items()[2].caption, "192.0.2.3:80");
  const std::string in_use = form.current_ip;
  form.favIPsmenu_Click(1);  // the placeholder of the missing entry
  EXPECT_EQ(form.current_ip, in_use);
  store("count", "lots");
  form.oblibene_ip();
  EXPECT_EQ(items().size(), 1u);

  Program idle;  // nothing applied from the list: adding stores nothing
  idle.form.Hkey = form.Hkey;
  idle.form.favadd_Click();
  EXPECT_TRUE(idle.os.registry.values.empty());
}

TEST_F(Running, FilterMenuOpensTheDialogAtTheSavedRow) {
  form.filtr_index = "7";
  form.menu_click("filter", 0);
  form.filtr_index = "x";
  form.filter_Click();
  EXPECT_EQ(os.window.filter_starts, (std::vector<int>{7, 0}));
}

TEST_F(Running, ChosenCountryRestrictsTheListAndIsSavedEvenWithoutEntries) {
  form.filter_chosen(8, 21);
  EXPECT_EQ(form.ip_count, 3);
  EXPECT_EQ(form.country_en, "United States");
  EXPECT_EQ(saved("filter_id") + "/" + saved("filter_index"), "8/21");

  form.filter_chosen(-1, 0);
  EXPECT_EQ(form.ip_count, 4);
  EXPECT_EQ(saved("filter_id") + "/" + saved("filter_index"), "-1/0");

  form.filter_chosen(5, 9);  // Iran: no entry; the loader falls back to everything
  ASSERT_EQ(os.boxes.shown.size(), 1u);
  EXPECT_EQ(os.boxes.shown[0].style, kMbOk | kMbIconExclamation);
  EXPECT_EQ(form.ip_count, 4);
  EXPECT_EQ(form.filtr_index, "0");
  EXPECT_EQ(saved("filter_id") + "/" + saved("filter_index"), "5/9");
}

}  // namespace
}  // namespace proxanto::testing
