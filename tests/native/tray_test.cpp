// The tray icon, its menu, the IP menu and the popup's timing.

#include "form_test.h"

namespace proxanto::testing {
namespace {

TEST(TrayMenu, DesignedOrderNamesSeparatorsAndStates) {
  const MenuItem menu = design_tray_menu();
  const std::vector<std::string> names = {
      "ACTIVE_IP", "mnubar3", "chPROX", "ipadd",   "favIPs", "mnubar1", "favadd",
      "cop",       "block",   "mnubar2", "filter", "check",  "working", "lang",   "hotkeys", "mnubar5",
      "st",        "obnovit", "ab",     "upd",     "mnubar4", "en"};
  ASSERT_EQ(menu.children.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    const MenuItem& m = menu.children[i];
    EXPECT_EQ(m.name, names[i]);
    EXPECT_EQ(m.is_separator(), m.name.rfind("mnubar", 0) == 0) << m.name;
    const bool disabled = m.name == "ACTIVE_IP" || m.name == "cop" || m.name == "block";
    EXPECT_EQ(m.enabled, !disabled) << m.name;
  }
  EXPECT_EQ(menu.child("st")->tag, "0");
  EXPECT_EQ(menu.child("ipadd")->children.at(0).name, "nabIP");
  EXPECT_EQ(menu.child("favIPs")->children.at(0).name, "favIPsmenu");
  const MenuItem& lang = *menu.child("lang");
  ASSERT_EQ(lang.children.size(), 2u);
  EXPECT_EQ(lang.child("lngLIST", 0)->caption, "Čeština");
  EXPECT_EQ(lang.child("lngLIST", 1)->caption, "English");
}

using Tray = FormTest;

TEST_F(Tray, CaptionsComeFromTheStringTableByMessageNumber) {
  ASSERT_FALSE(start());
  const std::pair<const char*, const char*> captions[] = {
      {"chPROX", "Změnit proxy"},        {"ipadd", "Vybrat IP adresu"},
      {"favIPs", "Oblíbené IP adresy"},  {"favadd", "Přidat do oblíbených"},
      {"cop", "Zkopírovat IP adresu do paměti"}, {"block", "Blokovat tuto IP adresu"},
      {"filter", "Filtr zemí"},          {"lang", "Jazyk"},
      {"hotkeys", "Klávesové zkratky"},  {"st", "Zastavit anonymizaci"},
      {"obnovit", "Obnovit původní nastavení"},  {"ab", "O programu"},
      {"upd", "Aktualizovat"},           {"en", "Konec"},
      {"mnubar1", "-"}};
  for (const auto& [name, caption] : captions) EXPECT_EQ(form.menu(name).caption, caption);
}

TEST_F(Tray, IconRecordAndTooltipCutAt64CharactersWithoutItsNul) {
  form.tray();  // no proxy in use: the product name alone
  const TrayIconRecord& nid = os.tray.calls.back().record;
  EXPECT_EQ(nid.cbSize, 88u);
  EXPECT_EQ(nid.uID, 1u);
  EXPECT_EQ(nid.uFlags, 7u);
  EXPECT_EQ(nid.uCallbackMessage, 0x200u);
  EXPECT_EQ(nid.szTip, std::string("Proxanto") + '\0' + std::string(55, ' '));

  ASSERT_FALSE(start());
  os.random.values = {0.0};
  form.proxy();
  EXPECT_EQ(os.tray.calls.back().message, kNimModify);
  const std::string tip = "Proxanto\r\n192.0.2.10:8080\r\nSpojené Státy";
  EXPECT_EQ(os.tray.calls.back().record.szTip,
            tip + '\0' + std::string(64 - 1 - utf8_to_utf16(tip).size(), ' '));
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "IP: 192.0.2.10:8080 (Spojené Státy)");

  Program p;
  ASSERT_FALSE(p.start("[IP]\ncount=1\n0=proxy-with-a-really-long-host-name.example.net:8080;24\n"));
  p.form.proxy();
  const std::u16string cut = utf8_to_utf16(p.os.tray.calls.back().record.szTip);
  EXPECT_EQ(cut.size(), 64u);
  EXPECT_EQ(cut.find(u'\0'), std::u16string::npos);
  EXPECT_EQ(cut.substr(0, 10), u"Proxanto\r\n");
}

TEST_F(Tray, CallbackOpensTheMenuShowsThePopupOrHides) {
  form.tray_callback(0x203);  // a double click before any proxy: empty lines
  EXPECT_TRUE(os.popup.shown);
  EXPECT_EQ(os.popup.lines, "|");

  ASSERT_FALSE(start());
  form.tray_callback(0x205);
  EXPECT_EQ(os.window.menus, 1);
  form.tray_callback(0x200);  // a mouse move must not steal the focus
  EXPECT_EQ(os.window.foregrounds, 0);
  form.tray_callback(0x204);
  form.tray_callback(0x201);
  EXPECT_EQ(os.window.foregrounds, 2);

  // A double click shows the proxy in use and changes nothing.
  const std::string caption = form.menu("ACTIVE_IP").caption;
  os.popup.fade_out_and_close();
  os.journal.clear();
  form.tray_callback(0x203);
  EXPECT_TRUE(os.popup.shown);
  EXPECT_EQ(os.popup.lines, form.current_ip + "|" + form.current_country);
  EXPECT_EQ(os.journal, (Journal{"popup place", "popup fade_in", "popup repaint", "popup lines"}));
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, caption);
}

TEST_F(Tray, CopyPutsTheAddressOnTheClipboardAndSaysSo) {
  form.cop_Click();
  EXPECT_TRUE(os.boxes.shown.empty()) << "nothing to copy yet";
  EXPECT_EQ(os.clipboard.text, "");

  ASSERT_FALSE(start());
  form.LNG_INT = 100;
  form.menu_click("cop", 0);
  EXPECT_EQ(os.clipboard.text, form.current_ip);
  EXPECT_EQ(os.boxes.shown,
            (std::vector<ShownBox>{{"IP Address was copied", "Proxanto", kMbIconInformation}}));
}

TEST_F(Tray, IconRefusedByABusyShellIsAddedAgainUntilItIsTaken) {
  os.tray.refusals = 4;  // add and modify refused twice
  form.tray();
  EXPECT_TRUE(os.timers.state[TimerId::TrayRetry]);
  form.tray_retry_Timer();
  EXPECT_TRUE(os.timers.state[TimerId::TrayRetry]);
  form.tray_retry_Timer();
  EXPECT_FALSE(os.timers.state[TimerId::TrayRetry]);
  EXPECT_EQ(os.tray.calls.back().message, kNimAdd);
  const auto calls = os.tray.calls.size();
  form.tray_retry_Timer();  // a late tick changes nothing
  EXPECT_EQ(os.tray.calls.size(), calls);
}

TEST_F(Tray, AboutAndTaskbarRestart) {
  form.menu_click("ab", 0);
  EXPECT_EQ(os.window.abouts, 1);
  form.taskbar_created();
  EXPECT_TRUE(os.tray.calls.empty());  // no icon yet, nothing to bring back
  ASSERT_FALSE(start());
  form.taskbar_created();
  EXPECT_EQ(os.tray.calls.back().message, kNimAdd);
}

class IpMenu : public FormTest {
 protected:
  void SetUp() override { prepare(); }
  void build(int n) {
    form.ip_list.clear();
    for (int i = 0; i < n; ++i) {
      form.ip_list.push_back({{"192.0.2." + std::to_string(i) + ":80", std::to_string(i % 33)}, i});
    }
    form.ip_count = n;
    form.ipnabidka();
  }
  const std::vector<MenuItem>& items() { return form.menu("ipadd").children; }
};

TEST_F(IpMenu, OneItemPerRecordWithCaptionAndTagEarlierItemsRemovedAndARandomChange) {
  build(10);
  build(3);
  ASSERT_EQ(items().size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(items()[static_cast<std::size_t>(i)].index, i);
    EXPECT_EQ(items()[static_cast<std::size_t>(i)].tag.rfind(std::to_string(i) + "/", 0), 0u);
  }
  EXPECT_EQ(items()[1].caption, "192.0.2.1:80 (Čína)");
  EXPECT_EQ(items()[1].tag, "1/192.0.2.1:80/1");
  EXPECT_EQ(os.random.draws, 2);
  EXPECT_EQ(form.current_ip, "192.0.2.0:80");
  build(1);
  ASSERT_EQ(items().size(), 1u);
  EXPECT_TRUE(items()[0].enabled);
  build(32767);
  EXPECT_EQ(items().size(), 32767u);
  EXPECT_EQ(items().back().tag, "32766/192.0.2.32766:80/30");
}

TEST(IpMenuGroups, NoLevelHoldsMoreThanFortyEntries) {
  const std::pair<std::size_t, std::size_t> cases[] = {
      {40, 1}, {41, 40}, {1600, 40}, {1601, 1600}, {1639, 1600}, {64000, 1600}, {64001, 64000}};
  for (const auto& [count, group] : cases) EXPECT_EQ(menu_group_size(count, 40), group) << count;
}

TEST_F(IpMenu, TagCarriesTheCountryAsANumberSoThePickAppliesTheAddress) {
  form.ip_list = {{{"192.0.2.1:80", "8/x"}, 0}, {{"192.0.2.2:80", " 08"}, 1}};
  form.ip_count = 2;
  form.ipnabidka();
  EXPECT_EQ(items()[0].tag, "0/192.0.2.1:80/8");
  EXPECT_EQ(items()[1].tag, "1/192.0.2.2:80/8");
  form.nabIP_Click(0);
  EXPECT_EQ(os.proxy_server(), "192.0.2.1:80");
  EXPECT_EQ(form.country_en, "United States");
}

TEST_F(IpMenu, CountriesAreNamedInTheLanguageAtTheBuild) {
  form.LNG_INT = 100;
  build(2);
  EXPECT_EQ(items()[1].caption, "192.0.2.1:80 (China)");
  form.LNG_INT = 0;
  form.load_lang(false);
  EXPECT_EQ(items()[1].caption, "192.0.2.1:80 (China)");
}

TEST_F(IpMenu, EmptyListLeavesADisabledPlaceholderAndChangesNothing) {
  build(4);
  os.internet.calls.clear();
  build(0);
  ASSERT_EQ(items().size(), 1u);
  EXPECT_FALSE(items()[0].enabled);
  EXPECT_EQ(items()[0].caption, "Žádná IP adresa");
  form.nabIP_Click(0);
  EXPECT_TRUE(os.internet.calls.empty());
}

using Popup = FormTest;

TEST_F(Popup, ClosesOnTheThirdTickAfterTheLatestMessage) {
  os.popup.place();
  os.popup.fade_in();
  form.zprava("a", "b");
  EXPECT_EQ(os.popup.lines, "a|b");
  EXPECT_TRUE(os.timers.state[TimerId::t]);
  form.t_Timer();
  form.t_Timer();
  form.zprava("c", "d");  // a second change resets the count, not the running timer
  EXPECT_EQ(os.timers.changes, 1);
  form.t_Timer();
  form.t_Timer();
  EXPECT_TRUE(os.popup.shown);
  EXPECT_EQ(os.popup.lines, "c|d");
  form.t_Timer();
  EXPECT_FALSE(os.popup.exists);
  EXPECT_FALSE(os.timers.state[TimerId::t]);
  EXPECT_FALSE(form.t_enabled);
}

TEST_F(Popup, AnnouncementFadesInBeforeTheLinesAreWrittenInTheCurrentLanguage) {
  prepare();
  form.current_ip = "192.0.2.1:80";
  form.country_cs = "Japonsko";
  form.country_en = "Japan";
  os.popup.place();
  form.zpravicky();
  EXPECT_EQ(os.steps("popup"),
            (Journal{"popup place", "popup fade_in", "popup repaint", "popup lines"}));
  EXPECT_EQ(form.current_country, "Japonsko");
  form.LNG_INT = 100;
  form.zpravicky();
  EXPECT_EQ(form.current_country, "Japan");
  EXPECT_EQ(os.popup.lines, "192.0.2.1:80|Japan");
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "IP: 192.0.2.1:80 (Japan)");
}

}  // namespace
}  // namespace proxanto::testing
