#include "form_test.h"

namespace proxanto::testing {
namespace {

class Switching : public FormTest {
 protected:
  void SetUp() override {
    os.random.values = {0.0};
    ASSERT_FALSE(start());
    forget();
  }
  void forget() {
    os.journal.clear();
    os.internet.calls.clear();
  }
  std::vector<std::uint32_t> options() const {
    std::vector<std::uint32_t> out;
    for (const auto& c : os.internet.calls) out.push_back(c.option);
    return out;
  }
};

TEST_F(Switching, TheFiveActionsKeepTheirOrderOfRegistryAndWinInetSteps) {
  const Journal announce = {"popup fade_in", "popup repaint", "popup lines", "tray 1"};
  const auto expect = [&](const char* action, Journal steps, bool announced = true) {
    if (announced) steps.insert(steps.end(), announce.begin(), announce.end());
    EXPECT_EQ(os.journal, steps) << action;
    os.journal.clear();
  };
  // The records that let the system recover from a killed program are written
  // before the proxy goes into the settings and removed after it left them.
  const Journal apply = {"popup place",     "reg applied_proxy", "reg Proxanto", "reg ProxyServer",
                         "reg ProxyEnable", "inet 75",           "inet 39",      "inet 37"};
  const Journal reset = {"reg -ProxyServer", "reg ProxyEnable", "reg -applied_proxy",
                         "reg -Proxanto"};
  form.proxy();
  expect("apply", apply);
  form.nabIP_Click(1);
  expect("pick", apply);
  form.st_Click();
  Journal stop = reset;
  stop.insert(stop.begin(), "popup place");
  stop.insert(stop.end(), {"inet 75", "inet 39", "inet 37"});
  expect("stop", stop);
  form.st_Click();
  expect("continue", apply);
  form.obnovit_Click();
  Journal restore = reset;
  restore.insert(restore.end(), {"popup place", "inet 75", "inet 39", "inet 37", "popup fade_in",
                                 "popup repaint", "popup lines"});
  expect("restore", restore, false);
  EXPECT_THROW(form.en_Click(), ProgramExit);
  Journal exit = reset;
  exit.push_back("tray 2");
  expect("exit", exit, false);
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

  forget();
  os.internet.refresh_result = false;
  EXPECT_FALSE(form.SetProxy(false, "")) << "the result of the refresh, the last call";
  EXPECT_EQ(os.internet.calls[0].flags, 5u);
  EXPECT_FALSE(os.internet.calls[0].server.has_value());
  EXPECT_EQ(os.internet.calls[0].option_count, 2u);
}

TEST_F(Switching, RandomChangeAppliesTheEntryAtTheIntegerPartOfCountTimesR) {
  const struct {
    double r;
    int index;
    const char *cs, *en;
  } cases[] = {{0.0, 0, "Spojené Státy", "United States"},
               {0.5, 2, "Ruská Federace", "Russian Federation"},
               {0.74, 2, "Ruská Federace", "Russian Federation"},
               {0.26, 1, "Spojené Státy", "United States"},
               {0.999, 3, "Spojené Státy", "United States"},
               {0.9999999999999999, 3, "Spojené Státy", "United States"}};  // the same again
  for (const auto& c : cases) {
    os.random.values = {c.r};
    form.chPROX_Click();
    EXPECT_EQ(form.rnd_index, c.index) << c.r;
    EXPECT_EQ(form.current_index, c.index);
    EXPECT_EQ(form.current_key, std::to_string(c.index));
    EXPECT_EQ(form.current_ip, form.ip_list[static_cast<std::size_t>(c.index)].address());
    EXPECT_EQ(std::string(form.country_cs) + "/" + form.country_en, std::string(c.cs) + "/" + c.en);
    EXPECT_EQ(os.steps("reg").size(), 4u) << c.r;
    EXPECT_EQ(os.proxy_server(), form.current_ip);
    EXPECT_EQ(os.proxy_enable(), 1u);
    EXPECT_EQ(os.internet.calls.at(0).server, form.current_ip);
    EXPECT_EQ(form.menu("st").tag, "0");
    forget();
  }
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
  EXPECT_EQ(form.country_cs + "/" + form.country_en, "Írán/Iran");
}

TEST_F(Switching, StopThenContinueRestoresTheSameProxy) {
  const std::string in_use = form.current_ip;
  form.st_Click();
  EXPECT_TRUE(form.anonymity_stopped());
  EXPECT_EQ(form.menu("st").caption, "Pokračovat v anonymizaci");
  EXPECT_FALSE(form.menu("cop").enabled);
  EXPECT_FALSE(form.menu("block").enabled);
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "Žádná IP adresa");
  EXPECT_TRUE(os.proxy_reset());
  EXPECT_EQ(os.internet.calls[0].flags, 5u);
  EXPECT_EQ(os.popup.lines, "Anonymizace|byla přerušena");
  EXPECT_EQ(os.tray.calls.back().record.szTip.substr(0, 9), std::string("Proxanto") + '\0');
  EXPECT_EQ(form.current_ip, in_use);

  forget();
  form.st_Click();
  EXPECT_FALSE(form.anonymity_stopped());
  EXPECT_TRUE(form.menu("cop").enabled);
  // Continue puts the proxy back in the registry and WinINet alike.
  EXPECT_EQ(os.proxy_server(), in_use);
  EXPECT_EQ(os.proxy_enable(), 1u);
  EXPECT_EQ(os.internet.calls[0].flags, 0xFFFFFFFFu);
  EXPECT_EQ(os.internet.calls[0].server, in_use);
  EXPECT_EQ(os.popup.lines.substr(0, in_use.size() + 1), in_use + "|");

  // Stopping twice repeats everything.
  forget();
  form.LNG_INT = 100;
  form.st_Click();
  form.stop_proxy();
  EXPECT_TRUE(form.anonymity_stopped());
  EXPECT_EQ(options().size(), 6u);
  EXPECT_EQ(os.popup.lines, "Anonymity|was canceled");
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "No IP Address");
}

TEST_F(Switching, RestoreKeepsTheLastProxyShownAndOffersContinue) {
  form.proxy();
  const std::string active = form.menu("ACTIVE_IP").caption;
  forget();
  form.menu_click("obnovit", 0);
  EXPECT_EQ(os.steps("tray"), Journal{}) << "the tooltip keeps the last proxy";
  EXPECT_FALSE(form.menu("cop").enabled);
  EXPECT_FALSE(form.menu("block").enabled);
  EXPECT_EQ(os.internet.calls[0].flags, 5u);
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, active);
  EXPECT_EQ(form.menu("st").caption, "Pokračovat v anonymizaci");
  EXPECT_EQ(os.popup.lines, "Nastavení:|Výchozí nastavení");

  form.st_Click();
  EXPECT_EQ(os.internet.calls.back().option, 37u);
  EXPECT_EQ(os.internet.calls[3].server, form.current_ip);
}

TEST(SwitchingIdle, ContinueWithNothingAppliedBeforeDoesNothing) {
  Program p;
  p.prepare();
  p.form.obnovit_Click();
  p.os.internet.calls.clear();
  p.form.st_Click();
  EXPECT_TRUE(p.os.internet.calls.empty());
  EXPECT_TRUE(p.form.anonymity_stopped());
}

}  // namespace
}  // namespace proxanto::testing
