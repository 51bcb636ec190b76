// A running Form1: switching the system proxy, the tray icon, the popup,
// the hot keys and the languages.

#include "form_test.h"
#include "proxy/recovery.h"

namespace proxanto::testing {
namespace {

class Running : public FormTest {
 protected:
  void SetUp() override { ASSERT_FALSE(start()); }
};

// The records that let the system recover from a killed program are written
// before the proxy goes into the settings and removed after it left them.
TEST_F(Running, EachMenuActionKeepsItsOrderOfRegistryWinInetPopupAndTraySteps) {
  const std::string record = "reg user_proxy_flags,reg user_autoconfig_url,reg applied_bypass,"
                             "reg applied_proxy,reg Proxanto,";
  const std::string direct = "reg -ProxyServer,reg ProxyEnable,";
  const std::string clear = "reg -applied_proxy,reg -user_proxy_flags,reg -user_autoconfig_url,"
                            "reg -applied_bypass,reg -Proxanto,";
  const std::string reset = direct + "reg -ProxyOverride," + clear;
  const std::string wininet = "inet 75,inet 39,inet 37,";
  const std::string refresh = wininet + "popup fade_in,popup repaint,popup lines,";
  const std::string apply = "popup place," + record + "reg ProxyOverride,reg ProxyServer,"
                            "reg ProxyEnable," + refresh + "tray 1,";
  const std::tuple<const char*, int, std::string> actions[] = {
      {"chPROX", 0, apply},
      {"nabIP", 1, apply},
      {"st", 0, "popup place," + reset + refresh + "tray 1,"},  // stop
      {"st", 0, apply},                                         // continue
      {"obnovit", 0, reset + "popup place," + refresh},         // restore
      {"en", 0, direct + clear + wininet + "tray 2,"}};         // exit: no list to remove
  for (const auto& [item, index, expected] : actions) {
    os.journal.clear();
    EXPECT_EQ(ends([&] { form.menu_click(item, index); }), std::string(item) == "en");
    std::string steps;
    for (const std::string& step : os.journal) steps += step + ",";
    EXPECT_EQ(steps, expected) << item;
  }
}

TEST_F(Running, RandomChangeAppliesTheEntryAtTheIntegerPartOfCountTimesR) {
  for (const auto& [r, applied] :
       {std::pair{0.0, "0 192.0.2.10:8080 Spojené Státy/United States"},
        std::pair{0.26, "1 203.0.113.25:80 Spojené Státy/United States"},
        std::pair{0.74, "2 192.0.2.200:8000 Ruská Federace/Russian Federation"},
        std::pair{0.9999999999999999, "3 198.51.100.33:8080 Spojené Státy/United States"}}) {
    os.randoms = {r};
    form.chPROX_Click();
    EXPECT_EQ(form.current_key + " " + form.current_ip + " " + form.country_cs + "/" +
                  form.country_en, applied);
    EXPECT_EQ(os.proxy(), form.current_ip + " on");
  }
}

TEST_F(Running, StopAndRestoreSaySoEverywhereAndContinueResumesTheSameProxyEverywhere) {
  const std::string running = shown();
  form.st_Click();
  EXPECT_EQ(shown(), "- off; inet off - -local; popup Anonymizace|byla přerušena; tip Proxanto");
  form.st_Click();
  EXPECT_EQ(shown(), running);
  form.obnovit_Click();  // the menu and the tooltip keep the last proxy, continue is offered
  EXPECT_EQ(shown(), "- off; inet off - -local; popup Nastavení:|Výchozí nastavení; tip Proxanto\r\n"
                     "192.0.2.10:8080\r\nSpojené Státy");
  EXPECT_EQ(menu({"ACTIVE_IP", "cop", "block", "st"}),
            "IP: 192.0.2.10:8080 (Spojené Státy) (off) | Zkopírovat IP adresu do paměti (off) | "
            "Blokovat tuto IP adresu (off) | Pokračovat v anonymizaci");
}

// A proxy alone (no detection, no script), with the local bypass list when
// the user has none; every way back, and the recovery after a kill, gives
// the user's detection and script as read before the first proxy (else
// Windows' default) and removes that list only while it is the program's.
TEST(WayBack, TheProxyAloneWhileAppliedThenTheUsersOwnConnectionAndBypassList) {
  const auto set_list = [](TestPlatform& os, const std::optional<std::string>& list) {
    if (list) SetRegString(os.registry, RegRoot::CurrentUser, kInternetSettings, "ProxyOverride", *list);
  };
  const auto list = [](TestPlatform& os) -> std::string {
    if (!os.registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyOverride")) return "- ";
    const std::string text = os.reg(RegRoot::CurrentUser, kInternetSettings, "ProxyOverride");
    return text == kLocalBypass ? "local " : text + " ";
  };
  const auto without_list = [](std::string call) {
    return call.find(" -local") == std::string::npos ? call : call.erase(call.find(" -local"), 7);
  };
  const std::string own = "*.corp.example;<local>", on = "75 on 192.0.2.10:8080";
  const std::tuple<std::optional<ConnectionSettings>, std::optional<std::string>,
                   std::optional<std::string>, std::string> cases[] = {
      // the user's connection; the list before, the list written by hand
      // while a proxy is applied; then with the proxy and after a kill
      {ConnectionSettings{9, ""}, std::nullopt, std::nullopt, "local " + on + " +local, - 75 off - -local"},
      {ConnectionSettings{5, "http://wpad/p.pac"}, "", std::nullopt,
       "local " + on + " +local, - 75 flags 5 - -local script http://wpad/p.pac"},
      {ConnectionSettings{3, ""}, own, std::nullopt, own + " " + on + ", " + own + " 75 flags 1 -"},
      {std::nullopt, std::nullopt, own, "local " + on + " +local, " + own + " 75 off -"}};
  for (const auto& [user, before, by_hand, expected] : cases) {
    Program p;
    p.os.wininet_answers = user.has_value();
    if (user) p.os.connection = *user;
    set_list(p.os, before);
    ASSERT_FALSE(p.start());
    const std::string applied = list(p.os) + p.os.internet.at(0);
    set_list(p.os, by_hand);
    TestPlatform killed;
    killed.registry.values = p.os.registry.values;
    recover_after_unclean_end(killed.registry, killed);
    EXPECT_EQ(applied + ", " + list(killed) + killed.internet.at(0), expected);
    p.form.st_Click();
    EXPECT_EQ(list(p.os) + p.os.internet.at(1), list(killed) + killed.internet.at(0));
    p.form.st_Click();
    p.form.obnovit_Click();
    p.form.st_Click();
    EXPECT_TRUE(p.ends([&] { p.form.en_Click(); }));  // stop, continue, restore, continue, exit
    for (std::size_t i = 0; i < p.os.internet.size(); ++i) {
      const std::string call = without_list(p.os.internet[i]);
      EXPECT_TRUE(i % 2 ? call == without_list(killed.internet.at(0)) : call.starts_with(on)) << call;
    }
  }
}

// Before any proxy was applied, copy and favourites have nothing to store,
// a language switch shows the stopped state, continue has nothing to resume
// and a failed update nothing to go back to: anonymity stays stopped.
TEST(NothingAppliedYet, CopyAndAddDoNothingContinueAndAFailedUpdateStayStopped) {
  Program p;
  p.prepare();
  p.form.cop_Click();
  p.form.favadd_Click();
  EXPECT_TRUE(p.os.boxes.empty() && p.os.registry.values.empty());
  p.form.lngLIST_Click(1);
  EXPECT_EQ(p.menu({"ACTIVE_IP", "cop", "st"}) + " " + p.os.popup_lines,
            "No IP Address (off) | Copy IP Address to clipboard (off) | Continue with anonymity "
            "Anonymity|was canceled");
  p.form.obnovit_Click();
  p.form.st_Click();
  p.form.updater(0);
  p.os.finish(p.form);
  for (const std::string& call : p.os.internet) EXPECT_FALSE(call.starts_with("75 on")) << call;
}

// The popup closes on the third tick after the latest message. The record
// handed to the shell, added again while a busy shell refuses it; the
// tooltip cut after 64 characters without its NUL; the callback: a mouse
// move must not take the focus from the user's window.
TEST(TrayAndPopup, PopupTimingIconRecordTooltipAndCallback) {
  Program p;
  p.form.zprava("a", "b");
  p.form.t_Timer();
  p.form.t_Timer();
  p.form.zprava("c", "d");  // a second change starts the count again
  p.form.t_Timer();
  p.form.t_Timer();
  EXPECT_EQ(p.os.journal.back() + " " + p.os.popup_lines, "popup repaint c|d");
  p.form.t_Timer();
  EXPECT_EQ(p.os.journal.back() + (p.os.timers[int(TimerId::t)] ? " ticking" : ""), "popup close");

  p.os.refusals = 4;  // add and modify refused twice
  p.form.tray();
  const TrayIconRecord& nid = p.os.tray.back().second;
  EXPECT_EQ(std::vector({nid.cbSize, nid.uID, nid.uFlags, nid.uCallbackMessage}),
            std::vector({88u, 1u, 7u, 0x200u}));
  for (const bool retrying : {true, false, false}) {  // the last tick is late: it changes nothing
    p.form.tray_retry_Timer();
    EXPECT_EQ(p.os.timers[int(TimerId::TrayRetry)], retrying);
  }
  EXPECT_EQ(std::pair(p.os.tray.size(), p.os.tray.back().first), std::pair(5ul, kNimAdd));
  for (const std::uint32_t mouse : {0x205u, 0x200u, 0x201u, 0x204u}) p.form.tray_callback(mouse);
  EXPECT_EQ(std::pair(p.os.menus, p.os.foregrounds), std::pair(1, 2));

  ASSERT_FALSE(p.start());
  p.form.proxy();
  EXPECT_EQ(p.os.tray.back().first, kNimModify);
  const std::string tip = "Proxanto\r\n192.0.2.10:8080\r\nSpojené Státy";
  EXPECT_EQ(p.os.tip(), tip + '\0' + std::string(64 - 1 - utf8_to_utf16(tip).size(), ' '));
  ASSERT_FALSE(p.start("[IP]\ncount=1\n0=proxy-with-a-long-host-name.example.net:8080;24\n"));
  EXPECT_EQ(p.os.tip(), "Proxanto\r\nproxy-with-a-long-host-name.example.net:8080\r\nRuská Fe");
}

// One item per proxy, those of a longer list before removed, then a random
// change. The tag is position/address/country number; a pick applies what it
// says, also for an address that holds a slash.
TEST(IpMenu, AnItemPerProxyWhoseTagThePickAppliesInGroupsOfAtMost40) {
  Program p;
  p.prepare();
  p.form.ipnabidka();  // no proxies: a disabled placeholder
  for (const auto& list : {std::vector<ProxyRecord>(9, {"192.0.2.9:80;1", 0}),
                           {{"192.0.2.1:80;8/x", 0}, {"http://192.0.2.2:80; 08", 1},
                            {"192.0.2.3:80;249", 2}}}) {
    p.form.ip_list = list;
    p.form.ip_count = static_cast<int>(list.size());
    p.form.ipnabidka();
  }
  EXPECT_EQ(p.menu({}, "ipadd"), "192.0.2.1:80 (Spojené Státy) | http://192.0.2.2:80 (Spojené "
                                 "Státy) | 192.0.2.3:80");  // an unknown country: no name
  const auto& items = p.form.menu("ipadd").children;
  EXPECT_EQ(items[0].tag + " " + items[1].tag + " " + items[2].tag,
            "0/192.0.2.1:80/8 1/http://192.0.2.2:80/8 2/192.0.2.3:80/");
  p.form.nabIP_Click(1);
  EXPECT_EQ(p.form.current_key + " " + p.form.country_en + " " + p.os.proxy(),
            "1 United States http://192.0.2.2:80 on");
  EXPECT_EQ(p.form.current_index, 1);
  // Long lists are shown in groups: no level of the rendered menu holds more than 40.
  const std::pair<std::size_t, std::size_t> cases[] = {
      {40, 1}, {41, 40}, {1600, 40}, {1601, 1600}, {1639, 1600}, {64000, 1600}, {64001, 64000}};
  for (const auto& [count, group] : cases) EXPECT_EQ(menu_group_size(count, 40), group) << count;
}

// Keys held, not toggled as by Caps Lock, with CTRL; each tick acts again.
TEST_F(Running, ControlWithALetterRunsItsActionsInTheOrderQWE) {
  constexpr int kCtrl = 0x11;
  const std::tuple<std::set<int>, std::set<int>, std::string> ticks[] = {
      // held, toggled, then: random draws, the clipboard, the state
      {{'Q', 'W', 'E'}, {}, "1  running"},
      {{kCtrl}, {}, "1  running"},
      {{}, {kCtrl, 'Q'}, "1  running"},
      {{kCtrl, 'Q', 'W'}, {kCtrl, 'Q'}, "2 198.51.100.33:8080 running"},  // copied after the change
      {{kCtrl, 'Q'}, {}, "3 198.51.100.33:8080 running"},
      {{kCtrl, 'E'}, {}, "3 198.51.100.33:8080 stopped"},
      {{kCtrl, 'W'}, {}, "3 192.0.2.10:8080 stopped"},  // while the menu item is disabled
      {{kCtrl, 'E'}, {}, "3 192.0.2.10:8080 running"}};
  os.randoms = {0.9, 0.0};
  for (const auto& [held, toggled, after] : ticks) {
    os.held = held;
    os.toggled = toggled;
    form.Timer1_Timer();
    EXPECT_EQ(std::to_string(os.draws) + " " + os.clipboard +
                  (form.anonymity_stopped() ? " stopped" : " running"), after);
  }
}

// The announcement tells the state in force, in the new language; the
// system proxy is not touched.
TEST_F(Running, ChoosingALanguageSavesItRewritesTheCaptionsAndAnnounces) {
  form.menu_click("lngLIST", 1);
  EXPECT_EQ(os.reg(RegRoot::CurrentUser, form.Hkey, "lang"), "1");
  EXPECT_TRUE(form.menu("lang").children[1].checked && !form.menu("lang").children[0].checked);
  EXPECT_EQ(menu({"ACTIVE_IP", "chPROX"}),
            "IP: 192.0.2.10:8080 (United States) (off) | Change proxy");
  EXPECT_EQ(shown(), "192.0.2.10:8080 on; inet on 192.0.2.10:8080 +local; popup 192.0.2.10:8080|United "
                     "States; tip Proxanto\r\n192.0.2.10:8080\r\nUnited States");
  form.menu_click("lngLIST", 0);
  EXPECT_EQ(os.reg(RegRoot::CurrentUser, form.Hkey, "lang") + menu({"en"}), "0Konec");
  form.st_Click();
  os.internet.clear();
  form.lngLIST_Click(1);
  EXPECT_EQ(shown(), "- off; inet none; popup Anonymity|was canceled; tip Proxanto");
  EXPECT_EQ(menu({"ACTIVE_IP", "cop", "block", "st"}),
            "No IP Address (off) | Copy IP Address to clipboard (off) | Block this IP Address "
            "(off) | Continue with anonymity");
}

// "Change every" as shown, "-" for each unchecked item, and its timer.
std::string rotation(Program& p) {
  std::string text;
  for (const MenuItem& m : p.form.menu("rotate").children) {
    if (m.visible) text += (m.checked ? m.caption : "-") + " ";
  }
  const bool on = p.os.timers[int(TimerId::Rotate)];
  return text + (on ? "every " + std::to_string(p.os.restarts.back() / 60000) : "off");
}

// 1 to 1,440 minutes, saved by hand, run from the start, shown as a sixth
// item; anything else is never. A tick changes the proxy as CTRL+Q does; a
// change by hand starts the interval anew, a language switch does not; stop
// and restore end the schedule, continue starts it again.
TEST(Schedule, RunsFromTheStartChangesTheProxyAndRestartsWithEachChange) {
  for (const auto& [text, minutes] :
       {std::pair{" 1 ", 1}, {"1440", 1440}, {"1441", 0}, {"5x", 0}}) {
    EXPECT_EQ(rotation_minutes(text), minutes) << text;
  }
  Program p;
  p.os.save("rotate_minutes", "3");
  ASSERT_FALSE(p.start());
  const std::tuple<const char*, int, double, const char*> steps[] = {
      // the item (or a tick) and its index, the draw; the proxy, the schedule, its starts
      {"", 0, 0, "192.0.2.10:8080 on - - - - - 3 minuty every 3 #1"},
      {"tick", 0, 0.9, "198.51.100.33:8080 on - - - - - 3 minuty every 3 #2"},
      {"rotateLIST", 1, 0, "198.51.100.33:8080 on - 5 minut - - - every 5 #3"},
      {"chPROX", 0, 0, "192.0.2.10:8080 on - 5 minut - - - every 5 #4"},
      {"lngLIST", 1, 0, "192.0.2.10:8080 on - 5 minutes - - - every 5 #4"},
      {"st", 0, 0, "- off - 5 minutes - - - off #4"},
      {"tick", 0, 0.9, "- off - 5 minutes - - - off #4"},  // on its way before the stop
      {"st", 0, 0, "192.0.2.10:8080 on - 5 minutes - - - every 5 #5"},
      {"obnovit", 0, 0, "- off - 5 minutes - - - off #5"},
      {"rotateLIST", 0, 0, "- off Never - - - - off #5"}};
  for (const auto& [item, index, r, after] : steps) {
    p.os.randoms = {r};
    std::string(item) == "tick" ? p.form.rotate_Timer() : p.form.menu_click(item, index);
    EXPECT_EQ(p.os.proxy() + " " + rotation(p) + " #" + std::to_string(p.os.restarts.size()),
              after);
  }
  EXPECT_EQ(p.os.reg(RegRoot::CurrentUser, p.form.Hkey, "rotate_minutes"), "0");
}

}  // namespace
}  // namespace proxanto::testing
