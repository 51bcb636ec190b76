#include <gtest/gtest.h>

#include "fakes.h"

namespace proxanto::testing {
namespace {

TEST(TrayMenu, DesignedOrderNamesSeparatorsAndStates) {
  const MenuItem menu = design_tray_menu();
  const std::vector<std::string> names = {
      "ACTIVE_IP", "mnubar3", "chPROX", "ipadd",   "favIPs", "mnubar1", "favadd",
      "cop",       "block",   "mnubar2", "filter", "lang",   "hotkeys", "mnubar5",
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

class Shell : public ::testing::Test {
 protected:
  void start(const std::string& ini = kWorkedExample) {
    os.set_ini(ini);
    form.Form_Load();
  }
  TestPlatform os;
  Form1 form{os.platform};
};

TEST_F(Shell, CaptionsComeFromTheStringTableByMessageNumber) {
  start();
  EXPECT_EQ(form.menu("chPROX").caption, "Změnit proxy");
  EXPECT_EQ(form.menu("ipadd").caption, "Vybrat IP adresu");
  EXPECT_EQ(form.menu("favIPs").caption, "Oblíbené IP adresy");
  EXPECT_EQ(form.menu("favadd").caption, "Přidat do oblíbených");
  EXPECT_EQ(form.menu("cop").caption, "Zkopírovat IP adresu do paměti");
  EXPECT_EQ(form.menu("block").caption, "Blokovat tuto IP adresu");
  EXPECT_EQ(form.menu("filter").caption, "Filtr zemí");
  EXPECT_EQ(form.menu("lang").caption, "Jazyk");
  EXPECT_EQ(form.menu("hotkeys").caption, "Klávesové zkratky");
  EXPECT_EQ(form.menu("st").caption, "Zastavit anonymizaci");
  EXPECT_EQ(form.menu("obnovit").caption, "Obnovit původní nastavení");
  EXPECT_EQ(form.menu("ab").caption, "O programu");
  EXPECT_EQ(form.menu("upd").caption, "Aktualizovat");
  EXPECT_EQ(form.menu("en").caption, "Konec");
  EXPECT_EQ(form.menu("mnubar1").caption, "-");
}

TEST_F(Shell, TrayRecordAndTooltip) {
  start();
  const TrayIconRecord& nid = os.tray.calls.back().record;
  EXPECT_EQ(nid.cbSize, 88u);
  EXPECT_EQ(nid.uID, 1u);
  EXPECT_EQ(nid.uFlags, 7u);
  EXPECT_EQ(nid.uCallbackMessage, 0x200u);
  EXPECT_EQ(nid.szTip, std::string("Proxanto") + '\0' + std::string(55, ' '));

  os.random.values = {0.0};
  form.proxy();
  EXPECT_EQ(os.tray.calls.back().message, kNimModify);
  const std::string tip = "Proxanto\r\n192.0.2.10:8080\r\nSpojené Státy";
  EXPECT_EQ(os.tray.calls.back().record.szTip,
            tip + '\0' + std::string(64 - 1 - utf8_to_utf16(tip).size(), ' '));
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "IP: 192.0.2.10:8080 (Spojené Státy)");
}

TEST_F(Shell, LongTooltipIsCutAt64CharactersWithoutItsNul) {
  start("[IP]\ncount=1\n0=proxy-with-a-really-long-host-name.example.net:8080;24\n");
  form.proxy();
  const std::u16string cut = utf8_to_utf16(os.tray.calls.back().record.szTip);
  EXPECT_EQ(cut.size(), 64u);
  EXPECT_EQ(cut.find(u'\0'), std::u16string::npos);
  EXPECT_EQ(cut.substr(0, 10), u"Proxanto\r\n");
}

TEST_F(Shell, TrayCallbackOpensTheMenuShowsThePopupOrHides) {
  start();
  form.tray_callback(0x205);
  EXPECT_EQ(os.window.menus, 1);
  form.tray_callback(0x200);  // a mouse move must not steal the focus
  EXPECT_EQ(os.window.foregrounds, 0);
  form.tray_callback(0x204);
  form.tray_callback(0x201);
  EXPECT_EQ(os.window.foregrounds, 2);

  const auto writes = os.registry.writes.size();
  const auto tray_calls = os.tray.calls.size();
  const std::string caption = form.menu("ACTIVE_IP").caption;
  os.popup.fade_out_and_close();
  form.tray_callback(0x203);
  EXPECT_TRUE(os.popup.shown);
  EXPECT_EQ(os.popup.txt, form.current_ip);
  EXPECT_EQ(os.popup.txt2, form.current_country);
  EXPECT_EQ(os.registry.writes.size(), writes);
  EXPECT_EQ(os.tray.calls.size(), tray_calls);
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, caption);
}

TEST_F(Shell, DoubleClickBeforeAnyProxyShowsEmptyLines) {
  form.tray_callback(0x203);
  EXPECT_TRUE(os.popup.shown);
  EXPECT_EQ(os.popup.txt, "");
  EXPECT_EQ(os.popup.txt2, "");
}

TEST_F(Shell, CopyPutsTheAddressOnTheClipboardAndSaysSo) {
  form.cop_Click();
  EXPECT_EQ(os.clipboard.writes, 0);
  EXPECT_TRUE(os.boxes.shown.empty());

  start();
  form.LNG_INT = 100;
  form.menu_click("cop", 0);
  EXPECT_EQ(os.clipboard.text, form.current_ip);
  ASSERT_EQ(os.boxes.shown.size(), 1u);
  EXPECT_EQ(os.boxes.shown[0].text, "IP Address was copied");
  EXPECT_EQ(os.boxes.shown[0].title, "Proxanto");
  EXPECT_EQ(os.boxes.shown[0].style, kMbIconInformation);
}

TEST_F(Shell, IconRefusedByABusyShellIsAddedAgainUntilItIsTaken) {
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

TEST_F(Shell, AboutAndTaskbarRestart) {
  form.menu_click("ab", 0);
  EXPECT_EQ(os.window.abouts, 1);
  form.taskbar_created();
  EXPECT_TRUE(os.tray.calls.empty());  // no icon yet, nothing to bring back
  start();
  form.taskbar_created();
  EXPECT_EQ(os.tray.calls.back().message, kNimAdd);
}

class IpMenu : public Shell {
 protected:
  std::vector<ProxyRecord> records(int n) {
    std::vector<ProxyRecord> out;
    for (int i = 0; i < n; ++i) {
      out.push_back({{"192.0.2." + std::to_string(i) + ":80", std::to_string(i % 33)}, i});
    }
    return out;
  }
  void build(int n) {
    form.ip_list = records(n);
    form.ip_count = n;
    form.ipnabidka();
  }
  void SetUp() override {
    form.ARR_CS = czech_country_names();
    form.ARR_EN = english_country_names();
  }
};

TEST_F(IpMenu, OneItemPerRecordWithCaptionAndTagAndARandomChange) {
  build(10);
  build(3);
  const auto& items = form.menu("ipadd").children;
  ASSERT_EQ(items.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(items[static_cast<std::size_t>(i)].index, i);
    EXPECT_EQ(items[static_cast<std::size_t>(i)].tag.rfind(std::to_string(i) + "/", 0), 0u);
  }
  EXPECT_EQ(items[1].caption, "192.0.2.1:80 (Čína)");
  EXPECT_EQ(items[1].tag, "1/192.0.2.1:80/1");
  EXPECT_EQ(os.random.draws, 2);
  EXPECT_EQ(form.current_ip, "192.0.2.0:80");
}

TEST_F(IpMenu, TagCarriesTheCountryAsANumberSoThePickAppliesTheAddress) {
  form.ip_list = {{{"192.0.2.1:80", "8/x"}, 0}, {{"192.0.2.2:80", " 08"}, 1}};
  form.ip_count = 2;
  form.ipnabidka();
  EXPECT_EQ(form.menu("ipadd").children[0].tag, "0/192.0.2.1:80/8");
  EXPECT_EQ(form.menu("ipadd").children[1].tag, "1/192.0.2.2:80/8");
  form.nabIP_Click(0);
  EXPECT_EQ(os.proxy_server(), "192.0.2.1:80");
  EXPECT_EQ(form.country_en, "United States");
}

TEST_F(IpMenu, LanguageAtBuildTimeNamesTheCountries) {
  form.LNG_INT = 100;
  build(2);
  EXPECT_EQ(form.menu("ipadd").children[1].caption, "192.0.2.1:80 (China)");
  form.LNG_INT = 0;
  form.load_lang(false);
  EXPECT_EQ(form.menu("ipadd").children[1].caption, "192.0.2.1:80 (China)");
}

TEST_F(IpMenu, SingleRecordKeepsOnlyItemZero) {
  build(5);
  build(1);
  EXPECT_EQ(form.menu("ipadd").children.size(), 1u);
  EXPECT_TRUE(form.menu("ipadd").children[0].enabled);
}

TEST_F(IpMenu, EmptyListLeavesADisabledPlaceholderAndChangesNothing) {
  build(4);
  os.internet.calls.clear();
  build(0);
  const auto& items = form.menu("ipadd").children;
  ASSERT_EQ(items.size(), 1u);
  EXPECT_FALSE(items[0].enabled);
  EXPECT_EQ(items[0].caption, "Žádná IP adresa");
  EXPECT_TRUE(os.internet.calls.empty());
  form.nabIP_Click(0);
  EXPECT_TRUE(os.internet.calls.empty());
}

TEST_F(IpMenu, ThirtyTwoThousandProxiesBuild) {
  build(32767);
  EXPECT_EQ(form.menu("ipadd").children.size(), 32767u);
  EXPECT_EQ(form.menu("ipadd").children.back().tag, "32766/192.0.2.32766:80/30");
}

}  // namespace
}  // namespace proxanto::testing
