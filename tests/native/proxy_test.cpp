#include <gtest/gtest.h>

#include "fakes.h"

namespace proxanto::testing {
namespace {

class Switching : public ::testing::Test {
 protected:
  void SetUp() override {
    os.set_ini(kWorkedExample);
    os.random.values = {0.0};
    form.Form_Load();
    os.internet.calls.clear();
    os.registry.writes.clear();
    os.popup.log.clear();
    os.tray.calls.clear();
  }
  std::vector<std::uint32_t> options() const {
    std::vector<std::uint32_t> out;
    for (const auto& c : os.internet.calls) out.push_back(c.option);
    return out;
  }
  TestPlatform os;
  Form1 form{os.platform};
};

TEST_F(Switching, TheFiveActionsKeepTheirOrderOfRegistryAndWinInetSteps) {
  const Journal announce = {"popup fade_in", "popup repaint", "popup lines", "tray 1"};
  const auto expect = [&](const char* action, Journal steps, bool announced = true) {
    if (announced) steps.insert(steps.end(), announce.begin(), announce.end());
    EXPECT_EQ(os.journal, steps) << action;
    os.journal.clear();
  };
  os.journal.clear();

  form.proxy();
  expect("apply", {"popup place", "reg ProxyServer", "reg ProxyEnable", "inet 75", "inet 39",
                   "inet 37"});
  form.nabIP_Click(1);
  expect("pick", {"popup place", "reg ProxyServer", "reg ProxyEnable", "inet 75", "inet 39",
                  "inet 37"});
  form.st_Click();
  expect("stop", {"popup place", "reg -ProxyServer", "reg ProxyEnable", "inet 75", "inet 39",
                  "inet 37"});
  form.st_Click();
  expect("continue", {"popup place", "inet 75", "inet 39", "inet 37"});
  form.obnovit_Click();
  expect("restore",
         {"reg -ProxyServer", "reg ProxyEnable", "popup place", "inet 75", "inet 39", "inet 37",
          "popup fade_in", "popup repaint", "popup lines"},
         false);
  EXPECT_THROW(form.en_Click(), ProgramExit);
  expect("exit", {"reg -ProxyServer", "reg ProxyEnable", "tray 2"}, false);
}

TEST_F(Switching, SetProxySendsFlagsAndServerThenAsksClientsToReload) {
  EXPECT_TRUE(form.SetProxy(true, "192.0.2.9:3128"));
  EXPECT_EQ(options(), (std::vector<std::uint32_t>{75, 39, 37}));
  const InternetCall& on = os.internet.calls[0];
  EXPECT_EQ(on.list_size, 20u);
  EXPECT_TRUE(on.connection_null);
  EXPECT_EQ(on.option_count, 2u);
  EXPECT_EQ(on.flags, 0xFFFFFFFFu);
  EXPECT_EQ(on.server, "192.0.2.9:3128");
  EXPECT_EQ(form.proxy_options[2].dwOption, kPerConnProxyBypass);
  EXPECT_EQ(form.proxy_options[2].pszValue, nullptr);

  os.internet.calls.clear();
  form.SetProxy(false, "");
  EXPECT_EQ(os.internet.calls[0].flags, 5u);
  EXPECT_FALSE(os.internet.calls[0].server.has_value());
  EXPECT_EQ(os.internet.calls[0].option_count, 2u);
}

TEST_F(Switching, SetProxyReportsTheRefreshResultOnly) {
  os.internet.refresh_result = false;
  EXPECT_FALSE(form.SetProxy(true, "a:1"));
}

TEST_F(Switching, RandomChangeUsesTheIntegerPartOfCountTimesR) {
  struct Case {
    double r;
    int index;
  } cases[] = {{0.0, 0}, {0.999, 3}, {0.5, 2}, {0.26, 1}, {0.9999999999999999, 3}};
  for (const Case& c : cases) {
    os.random.values = {c.r};
    form.proxy();
    EXPECT_EQ(form.rnd_index, c.index) << c.r;
    EXPECT_EQ(form.current_index, c.index);
    EXPECT_EQ(form.current_key, std::to_string(c.index));
    EXPECT_EQ(form.current_ip, form.ip_list[static_cast<std::size_t>(c.index)].address());
  }
}

TEST_F(Switching, RandomChangeAppliesInOrderAndRecordsBothCountryNames) {
  os.random.values = {0.6};  // position 2: entry 3, Russia
  form.chPROX_Click();
  EXPECT_EQ(form.current_ip, "192.0.2.200:8000");
  EXPECT_EQ(form.country_cs, "Ruská Federace");
  EXPECT_EQ(form.country_en, "Russian Federation");
  EXPECT_EQ(os.registry.writes, (std::vector<std::string>{"proxyserver", "proxyenable"}));
  EXPECT_EQ(os.proxy_server(), "192.0.2.200:8000");
  EXPECT_EQ(os.proxy_enable(), 1u);
  EXPECT_EQ(options(), (std::vector<std::uint32_t>{75, 39, 37}));
  EXPECT_EQ(os.internet.calls[0].server, "192.0.2.200:8000");
  EXPECT_EQ(os.popup.log.front(), "place");
  EXPECT_EQ(form.menu("st").tag, "0");
}

TEST_F(Switching, SameProxyTwiceIsAppliedTwice) {
  os.random.values = {0.1, 0.1};
  form.proxy();
  form.proxy();
  EXPECT_EQ(options().size(), 6u);
  EXPECT_EQ(os.registry.writes.size(), 4u);
}

TEST_F(Switching, ChoiceFromTheIpMenuAppliesTheTaggedProxy) {
  MenuItem seventh;
  seventh.name = "nabIP";
  seventh.index = 7;
  seventh.tag = "7/10.0.0.1:80/5";
  form.menu("ipadd").children.push_back(seventh);
  form.menu_click("nabIP", 7);
  EXPECT_EQ(os.proxy_server(), "10.0.0.1:80");
  EXPECT_EQ(os.proxy_enable(), 1u);
  EXPECT_EQ(os.internet.calls[0].server, "10.0.0.1:80");
  EXPECT_EQ(form.current_ip, "10.0.0.1:80");
  EXPECT_EQ(form.current_index, 7);
  EXPECT_EQ(form.current_key, "7");
  EXPECT_EQ(form.country_cs, "Írán");
  EXPECT_EQ(form.country_en, "Iran");
}

TEST_F(Switching, StopThenContinueRestoresTheSameProxy) {
  const std::string in_use = form.current_ip;
  form.st_Click();
  EXPECT_EQ(form.menu("st").tag, "1");
  EXPECT_EQ(form.menu("st").caption, "Pokračovat v anonymizaci");
  EXPECT_FALSE(form.menu("cop").enabled);
  EXPECT_FALSE(form.menu("block").enabled);
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "Žádná IP adresa");
  EXPECT_EQ(os.registry.writes, (std::vector<std::string>{"-proxyserver", "proxyenable"}));
  EXPECT_EQ(os.proxy_enable(), 0u);
  EXPECT_EQ(os.internet.calls[0].flags, 5u);
  EXPECT_EQ(os.popup.txt, "Anonymizace");
  EXPECT_EQ(os.popup.txt2, "byla přerušena");
  EXPECT_EQ(os.tray.calls.back().record.szTip.substr(0, 9), std::string("Proxanto") + '\0');
  EXPECT_EQ(form.current_ip, in_use);

  os.registry.writes.clear();
  os.internet.calls.clear();
  form.st_Click();
  EXPECT_EQ(form.menu("st").tag, "0");
  EXPECT_TRUE(form.menu("cop").enabled);
  // Continue writes no registry value: they stay reset until the next change.
  EXPECT_TRUE(os.registry.writes.empty());
  EXPECT_EQ(os.internet.calls[0].flags, 0xFFFFFFFFu);
  EXPECT_EQ(os.internet.calls[0].server, in_use);
  EXPECT_EQ(os.popup.txt, in_use);
}

TEST_F(Switching, StopTwiceRepeatsEverything) {
  form.st_Click();
  form.stop_proxy();
  EXPECT_EQ(form.menu("st").tag, "1");
  EXPECT_EQ(options().size(), 6u);
}

TEST_F(Switching, StopInEnglish) {
  form.LNG_INT = 100;
  form.st_Click();
  EXPECT_EQ(os.popup.txt, "Anonymity");
  EXPECT_EQ(os.popup.txt2, "was canceled");
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "No IP Address");
}

TEST_F(Switching, RestoreKeepsTheLastProxyShownAndOffersContinue) {
  form.proxy();
  const std::string active = form.menu("ACTIVE_IP").caption;
  const std::size_t tray_calls = os.tray.calls.size();
  os.registry.writes.clear();
  os.internet.calls.clear();
  os.popup.log.clear();
  form.menu_click("obnovit", 0);
  EXPECT_EQ(os.registry.writes, (std::vector<std::string>{"-proxyserver", "proxyenable"}));
  EXPECT_EQ(os.popup.log.front(), "place");
  EXPECT_EQ(os.internet.calls[0].flags, 5u);
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, active);
  EXPECT_EQ(os.tray.calls.size(), tray_calls);
  EXPECT_EQ(form.menu("st").caption, "Pokračovat v anonymizaci");
  EXPECT_EQ(os.popup.txt, "Nastavení:");
  EXPECT_EQ(os.popup.txt2, "Výchozí nastavení");

  form.st_Click();
  EXPECT_EQ(os.internet.calls.back().option, 37u);
  EXPECT_EQ(os.internet.calls[3].server, form.current_ip);
}

TEST_F(Switching, ContinueWithNothingAppliedBeforeDoesNothing) {
  TestPlatform fresh;
  Form1 idle{fresh.platform};
  idle.ARR_CS = czech_country_names();
  idle.obnovit_Click();
  fresh.internet.calls.clear();
  idle.st_Click();
  EXPECT_TRUE(fresh.internet.calls.empty());
  EXPECT_EQ(idle.menu("st").tag, "1");
}

}  // namespace
}  // namespace proxanto::testing
