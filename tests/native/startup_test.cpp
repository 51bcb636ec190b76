// Start-up in the saved language and filter, the recovery after a run that
// ended without its exit sequence, and the database update.

#include "form_test.h"
#include "proxy/recovery.h"

namespace proxanto::testing {
namespace {

// An id with a row other than the first; Iran (5) has no entry, so the
// empty database's prompt follows. (The program sits at the root of a drive.)
TEST(StartUp, SavedFilterIsTakenOnlyAsAPairAndRestrictsTheFirstLoad) {
  const std::tuple<const char*, const char*, std::string, std::vector<int>> cases[] = {
      {nullptr, "3", "-1/0", {0, 2, 3, 5}}, {"5", "0", "-1/0", {0, 2, 3, 5}},
      {"5", nullptr, "-1/0", {0, 2, 3, 5}}, {"5", "abc", "-1/0", {0, 2, 3, 5}},
      {"8", "3", "8/3", {0, 2, 5}},         {"x7", "2", "x7/2", {0, 2, 3, 5}},
      {"5", "7", "5/7", {}}};
  for (const auto& [id, index, in_memory, entries] : cases) {
    Program p;
    if (id) p.os.save("filter_id", id);
    if (index) p.os.save("filter_index", index);
    p.os.answers = {kIdNo};
    p.os.folder = "E:\\";
    p.os.files.files["E:\\ip.ini"] = kWorkedExample;
    EXPECT_EQ(p.ends([&] { p.form.Form_Load(); }), entries.empty()) << in_memory;
    EXPECT_EQ(p.form.filtr_id + "/" + p.form.filtr_index, in_memory);
    EXPECT_EQ(p.entries(), entries) << in_memory;
  }
}

// Start-up ends with the icon and a proxy in use, and polls the hot keys.
// Only a saved 1 is English; it is read first, so that the first popup and
// the whole menu speak it. (Both languages take their captions by the same
// message numbers.)
TEST(StartUp, EndsWithAProxyInUseAnnouncedInTheSavedLanguage) {
  const std::string english =
      "IP: 192.0.2.10:8080 (United States) (off) | - | Change proxy | Change every | "
      "Change IP Address | "
      "Favorites IP Address | - | Add to favorites | Copy IP Address to clipboard | Block this "
      "IP Address | - | Countries Filter | Check proxies | Only working proxies | Language | "
      "Hotkeys | - | Stop anonymity | Default settings | About | Update | Add proxies from "
      "clipboard | - | Exit";
  for (const std::string saved : {"1", "5", "-1", "abc", "0"}) {
    Program p;
    p.os.save("lang", saved);
    ASSERT_FALSE(p.start("[IP]\ncount=1\n0=192.0.2.10:8080;8\n"));
    const bool en = saved == "1";
    EXPECT_EQ(en ? p.menu() : p.menu({"ACTIVE_IP", "chPROX", "en"}),
              en ? english : "IP: 192.0.2.10:8080 (Spojené Státy) (off) | Změnit proxy | Konec");
    const auto& languages = p.form.menu("lang").children;
    EXPECT_TRUE(languages[en].checked && !languages[!en].checked) << saved;
    const std::string country = en ? "United States" : "Spojené Státy";
    EXPECT_EQ(p.shown(), "192.0.2.10:8080 on; inet on 192.0.2.10:8080 +local; popup 192.0.2.10:8080|" +
                             country + "; tip Proxanto\r\n192.0.2.10:8080\r\n" + country);
    EXPECT_EQ(p.menu({}, "ipadd"), "192.0.2.10:8080 (" + country + ")");
    EXPECT_TRUE(p.os.tray.back().first == kNimAdd && p.os.timers[int(TimerId::Timer1)]);
    EXPECT_EQ(message_in_saved_language(p.os.registry, p.os.strings, 85), p.form.message(85));
  }
}

// The settings are the user's: read from HKCU, else from what an
// administrator preset in HKLM; what a 32-bit version left in the virtual
// store is taken into HKCU once, unless the user's key has its own.
TEST(Settings, UserKeyFirstThenMachineKeyAndTheOldVirtualStoreAdopted) {
  const std::string own = "Software\\Marvedo\\Quillet";
  const std::string store = "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\";
  const struct {
    const char *hkcu, *hklm, *wow_store, *store;
    bool english;
  } cases[] = {{nullptr, "1", nullptr, nullptr, true},  {"0", "1", "1", nullptr, false},
               {nullptr, "0", "1", nullptr, true},      {nullptr, nullptr, nullptr, "1", true},
               {nullptr, nullptr, "0", "1", false}};
  for (const auto& c : cases) {
    Program p;
    const auto put = [&](RegRoot root, const std::string& key, const char* lang) {
      if (lang == nullptr) return;
      SetRegString(p.os.registry, root, key, "lang", lang);
      SetRegString(p.os.registry, root, key + "\\Favorites", "count", "1");
      SetRegString(p.os.registry, root, key + "\\Favorites", "0", std::string(lang) + ".0.0.1:80/3");
    };
    put(RegRoot::CurrentUser, own, c.hkcu);
    put(RegRoot::LocalMachine, own, c.hklm);
    put(RegRoot::CurrentUser, store + "WOW6432Node\\Marvedo\\Quillet", c.wow_store);
    put(RegRoot::CurrentUser, store + "Marvedo\\Quillet", c.store);
    p.os.registry.refused = {RegRoot::LocalMachine};
    ASSERT_FALSE(p.start());
    const std::string lang = c.english ? "1" : "0";
    EXPECT_EQ(p.form.LNG_INT, c.english ? 100 : 0);
    EXPECT_EQ(p.menu({}, "favIPs"), lang + ".0.0.1:80 (" + (c.english ? "Japan" : "Japonsko") + ")");
    const bool adopted = c.hkcu == nullptr && (c.wow_store || c.store);
    EXPECT_EQ(p.os.reg(RegRoot::CurrentUser, own, "lang"), adopted || c.hkcu ? lang : "");
  }
}

// Every choice the user makes is stored in HKCU alone; one the system
// refuses is reported, never dropped in silence.
TEST(Settings, ChoicesAreSavedForTheUserAndARefusedWriteIsReported) {
  for (const bool refused : {false, true}) {
    Program p;
    p.os.registry.refused = {RegRoot::LocalMachine};
    ASSERT_FALSE(p.start());
    if (refused) p.os.registry.refused.insert(RegRoot::CurrentUser);
    p.form.lngLIST_Click(1);
    p.form.filter_chosen(8, 20);
    p.form.favadd_Click();
    p.form.working_Click();
    const std::string own = p.form.Hkey;
    EXPECT_EQ(p.os.reg(RegRoot::CurrentUser, own, "lang") + p.os.reg(RegRoot::CurrentUser, own, "filter_id") +
                  p.os.reg(RegRoot::CurrentUser, own, "filter_index") +
                  p.os.reg(RegRoot::CurrentUser, own + "\\Favorites", "0") +
                  p.os.reg(RegRoot::CurrentUser, own, "only_working"),
              refused ? "" : "1820192.0.2.10:8080/81");
    EXPECT_EQ(p.os.boxes, std::vector<std::string>(refused ? 4 : 0,
                                                   "Proxanto, exclamation ok: The setting could not be saved !"));
  }
}

// A record without the user's connection, as an older version wrote it,
// gives WinINet Windows' default back: direct with automatic detection.
TEST(Recovery, AfterAnUncleanEndOnlyTheProxyThatRunAppliedIsReset) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      // the record, the server in the settings, what is left
      {"192.0.2.1:80", "192.0.2.1:80", "- off 75 off -"},
      {"192.0.2.1:80", "10.1.1.1:3128", "10.1.1.1:3128 on"},  // set by hand since: kept
      {nullptr, "192.0.2.1:80", "192.0.2.1:80 on"}};          // no record: a clean end
  for (const auto& [record, server, left] : cases) {
    TestPlatform os;
    SetRegString(os.registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer", server);
    SetRegDword(os.registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 1);
    if (record) record_applied(os.registry, {record, std::nullopt, ""}, "x /recover");
    EXPECT_EQ(recover_after_unclean_end(os.registry, os), record != nullptr);
    EXPECT_EQ(os.proxy() + (os.internet.empty() ? "" : " " + os.internet[0]), left) << server;
    EXPECT_FALSE(os.registry.read(RegRoot::CurrentUser, kRunOnceKey, kRunOnceValue));
  }
  // At start-up the stale record goes first, before the missing database's prompt.
  Program p;
  record_applied(p.os.registry, {"192.0.2.1:80", std::nullopt, ""}, "x /recover");
  p.os.journal.clear();
  p.os.answers = {kIdNo};
  EXPECT_TRUE(p.ends([&] { p.form.Form_Load(); }));
  EXPECT_EQ(p.os.boxes.size(), 1u);
  EXPECT_EQ(Journal(p.os.journal.begin(), p.os.journal.begin() + 2),
            (Journal{"reg -applied_proxy", "reg -user_proxy_flags"}));
}

const std::string kFresh = "[IP]\r\ncount=2\r\n0=203.0.113.70:3128;3\r\n1=203.0.113.71:3128;3\r\n";
const std::string kUrl = "http://127.0.0.1:8123/update/ip.ini";
const std::string kFailed = "Proxanto, stop ok: Aktualizace se nezdařila !";

using Update = FormTest;

// An empty answer; an error page; a database the loader would load nothing
// from; the database gone meanwhile: each keeps (or restores) the database
// and resumes the proxy in use before, in the registry and WinINet alike.
// While it downloads, the menu and the hot keys are served; another load or
// update is not.
TEST_F(Update, FromTheMenuBacksUpStopsStaysResponsiveAndTakesOnlyAUsableDatabase) {
  os.save("sources", kUrl);
  ASSERT_FALSE(start());
  const std::string running = shown();
  const std::vector<std::string> items = {"filter", "upd", "clipadd"};
  for (const std::string served :
       {"", "<html><body>404 Not Found</body></html>",
        "[IP]\r\ncount=2\r\n0=192.0.2.9:80;1\r\n0_block=1\r\n1=;3\r\n", "gone", kFresh.c_str()}) {
    os.served[kUrl] = served;
    os.boxes.clear();
    form.menu_click("upd", 0);
    if (served == "gone") os.files.files.erase(os.ini_path());
    EXPECT_EQ(os.files.files[os.folder + "\\ip_backup.ini"], kWorkedExample);
    EXPECT_EQ(shown().substr(0, 15) + menu(items),
              "- off; inet offFiltr zemí (off) | Aktualizovat (off) | "
              "Přidat proxy ze schránky (off)");
    for (const std::string& item : items) form.menu_click(item, 0);
    form.tray_callback(0x205);
    os.finish(form);
    EXPECT_EQ(menu(items), "Filtr zemí | Aktualizovat | Přidat proxy ze schránky");
    if (served == kFresh) break;
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_TRUE(os.boxes[0].starts_with(kFailed + "\r\n\r\n" + kUrl + ": ")) << served;
    EXPECT_EQ(os.ini() + shown(), kWorkedExample + running) << served;
  }
  EXPECT_EQ(std::tuple(os.started.size(), os.filter_starts.size(), os.menus),
            std::tuple(5u, 0u, 5));
  EXPECT_EQ(os.boxes.back(),
            "Proxanto, information ok: Aktulizace byla úspěšně dokončena !\r\n\r\n" + kUrl +
                ": 2 proxy, z toho nových 2");
  EXPECT_EQ(os.ini() + os.proxy(), kFresh + "203.0.113.70:3128 on");
}

}  // namespace
}  // namespace proxanto::testing
