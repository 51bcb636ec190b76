#include "form_test.h"

namespace proxanto::testing {
namespace {

class Loader : public FormTest {
 protected:
  void SetUp() override { prepare(); }
  // Loads a database; true when the load ended the program.
  bool load(const std::string& ini, int par = 0) {
    os.ini() = ini;
    return ends([&] { form.nacti_ip(par); });
  }
  std::vector<std::string> addresses() const {
    std::vector<std::string> out;
    for (const auto& r : form.ip_list) out.push_back(r.address());
    return out;
  }
  // How many times a proxy was put in the registry.
  std::size_t applied() const {
    const Journal reg = os.steps("reg");
    return static_cast<std::size_t>(std::count(reg.begin(), reg.end(), "reg ProxyServer"));
  }
};

TEST(LoaderEntries, CountBlockMarksAndFilterDecideWhichEntriesLoad) {
  const struct {
    const char* name;
    std::string ini;
    std::string filter;
    std::vector<int> entries;
  } cases[] = {
      {"worked example", kWorkedExample, "-1", {0, 2, 3, 5}},
      {"worked example, United States", kWorkedExample, "8", {0, 2, 5}},
      {"worked example, Russian Federation", kWorkedExample, "24", {3}},
      {"names ignore case, gaps skipped, entries from count on ignored",
       "[ip]\nCOUNT=10\n1=a:1;1\n7=b:2;2\n10=c:3;3\n", "-1", {1, 7}},
      {"block marks are numbers of their own entry",
       "[IP]\ncount=31\n0=a:1;1\n0_block=0\n1=b:1;1\n1_block=abc\n2=c:1;1\n2_block=2\n"
       "3=d:1;1\n3_block=1\n30=e:1;1\n4=f:1;1\n4_block= 1\n5=g:1;1\n5_block=-1\n",
       "-1", {0, 1, 30}},
      {"filter by the leading number of the country field",
       "[IP]\ncount=6\n0=a:1;08\n1=b:1 ; 8\n2=c:1;8x\n3=d:1;18\n4=e:1\n5=f:1;abc\n", "8", {0, 1, 2}},
      {"Thailand (0) does not catch entries without a country",
       "[IP]\ncount=3\n0=a:1;0\n1=b:1\n2=c:1;zz\n", "0", {0}},
      {"blank and addressless entries skipped", "[IP]\ncount=4\n0=   \n1=;8\n2=\n3=d:1;3\n", "-1",
       {3}},
      {"count capped at the 16-bit limit", "[IP]\ncount=40000\n32766=a:1;1\n32767=b:1;1\n", "-1",
       {32766}},
      {"without a filter entries without or with an unknown country load",
       "[IP]\ncount=2\n0=a:1\n1=b:1;99\n", "-1", {0, 1}},
  };
  for (const auto& c : cases) {
    Program p;
    p.prepare();
    p.form.filtr_id = c.filter;
    p.os.ini() = c.ini;
    ASSERT_FALSE(p.ends([&] { p.form.nacti_ip(0); })) << c.name;
    EXPECT_EQ(p.entries(), c.entries) << c.name;
    EXPECT_EQ(p.form.ip_count, static_cast<int>(c.entries.size())) << c.name;
    // Every load that yields proxies ends with one of them in use.
    EXPECT_FALSE(p.form.current_ip.empty()) << c.name;
    EXPECT_EQ(p.os.proxy_server(), p.form.current_ip) << c.name;
  }
}

TEST_F(Loader, FieldsAreSplitAtSemicolonsUntrimmedAndCutAt1549Characters) {
  ASSERT_FALSE(load("[IP]\ncount=3\n0=192.0.2.10:8080 ; 8 ;x\n1=a:1;8;" + std::string(2000, 'y') +
                    "\n2=192.0.2.1:80\n"));
  ASSERT_EQ(form.ip_count, 3);
  EXPECT_EQ(form.ip_list[0].fields, (std::vector<std::string>{"192.0.2.10:8080 ", " 8 ", "x"}));
  const auto& f = form.ip_list[1].fields;
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0].size() + f[1].size() + f[2].size() + 2, 1549u);
  EXPECT_EQ(form.ip_list[2].country(), "");

  // A disguised ";" is no separator, and never reaches WinINet as one.
  ASSERT_FALSE(load("[IP]\ncount=1\n0=192.0.2.1:80\xC0\xBBhttps=198.51.100.9:443;8\n"));
  ASSERT_GE(os.internet.calls.size(), 3u);
  EXPECT_EQ(os.internet.calls[os.internet.calls.size() - 3].server,
            "192.0.2.1:80\xEF\xBF\xBD\xEF\xBF\xBDhttps=198.51.100.9:443");

  ASSERT_FALSE(load(kWorkedExample));
  EXPECT_EQ(addresses(), (std::vector<std::string>{"192.0.2.10:8080", "203.0.113.25:80",
                                                    "192.0.2.200:8000", "198.51.100.33:8080"}));
  EXPECT_EQ(form.ip_list[3].fields, (std::vector<std::string>{"198.51.100.33:8080", "8", "x"}));
  EXPECT_EQ(applied(), 3u);
}

TEST_F(Loader, EntriesWithoutOrWithAnUnknownCountryShowTheAddressAlone) {
  os.random.values = {0.0};
  ASSERT_FALSE(load("[IP]\ncount=2\n0=192.0.2.1:80\n1=192.0.2.2:80;99\n"));
  const MenuItem& ipadd = form.menu("ipadd");
  EXPECT_EQ(ipadd.children[0].caption, "192.0.2.1:80");
  EXPECT_EQ(ipadd.children[1].caption, "192.0.2.2:80");
  EXPECT_EQ(form.current_ip, "192.0.2.1:80");
  EXPECT_EQ(form.country_cs, "");
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "IP: 192.0.2.1:80");
  form.nabIP_Click(1);
  EXPECT_EQ(form.current_ip, "192.0.2.2:80");
  EXPECT_EQ(form.country_en, "");
}

TEST(LoaderEmpty, NoEntryAsksInTheCurrentLanguageToDownloadAndNoEnds) {
  const std::string czech = "IP adresy nebyly nalezeny !\r\nPřejete si stáhnout novou databázi ?";
  const struct {
    std::string ini;
    std::int16_t lng_int;
    std::string text;
  } cases[] = {
      {"", 0, czech},
      {"[IP]\n0=192.0.2.1:80;1\n", 0, czech},
      {"[IP]\ncount=0\n0=192.0.2.1:80;1\n", 0, czech},
      {"[IP]\ncount=abc\n0=192.0.2.1:80;1\n", 0, czech},
      {"[Other]\ncount=1\n0=a:1;1\n", 0, czech},
      {"[IP]\n", 100, "IP adresy was not found !\r\nWould you like to download new database ?"},
  };
  for (const auto& c : cases) {
    Program p;
    p.prepare();
    p.form.LNG_INT = c.lng_int;
    p.os.ini() = c.ini;
    p.os.boxes.answers = {kIdNo};
    EXPECT_TRUE(p.ends([&] { p.form.nacti_ip(0); })) << c.ini;
    EXPECT_EQ(p.os.boxes.shown, (std::vector<ShownBox>{{c.text, "Proxanto", kMbYesNo | kMbIconStop}}))
        << c.ini;
    EXPECT_EQ(p.form.ip_count, 0);
    EXPECT_TRUE(p.os.proxy_reset()) << c.ini;
  }
}

TEST_F(Loader, FilterThatMatchesNothingIsClearedInMemoryAndEverythingLoads) {
  form.filtr_id = "5";
  form.filtr_index = "12";
  ASSERT_FALSE(load(kWorkedExample, 1));
  EXPECT_EQ(os.boxes.shown,
            (std::vector<ShownBox>{{"V DB není žádná IP adpovídající vybrané zemi !\r\nFiltr nelze "
                                    "použít !",
                                    "Proxanto", kMbOk | kMbIconExclamation}}));
  EXPECT_EQ(form.filtr_id + "/" + form.filtr_index, "-1/0");
  EXPECT_EQ(form.ip_count, 4);
  for (const char* item : {"block", "filter", "upd"}) EXPECT_TRUE(form.menu(item).enabled) << item;
  // The inner reload builds the menu and applies a proxy, then the outer load
  // does both once more.
  EXPECT_EQ(applied(), 2u);
}

TEST_F(Loader, EmptyFilteredReloadDoesNotRepeatButOffersTheDownload) {
  form.filtr_id = "5";
  os.boxes.answers = {kIdOk, kIdNo};
  EXPECT_TRUE(load("[IP]\ncount=0\n", 1));
  ASSERT_EQ(os.boxes.shown.size(), 2u);
  EXPECT_EQ(os.boxes.shown[0].style, kMbOk | kMbIconExclamation);
  EXPECT_EQ(os.boxes.shown[1].style, kMbYesNo | kMbIconStop);
}

TEST_F(Loader, HotKeyWhileThePromptIsOpenFindsNoProxyToApply) {
  os.boxes.answers = {kIdNo};
  os.boxes.while_open = [this] {
    form.proxy();
    form.st_Click();
    form.nabIP_Click(0);
  };
  EXPECT_TRUE(load("[IP]\ncount=0\n"));
  EXPECT_TRUE(form.current_ip.empty());
  for (const auto& call : os.internet.calls) EXPECT_NE(call.flags, 0xFFFFFFFFu);
  EXPECT_EQ(applied(), 0u);
}

TEST_F(Loader, BlockMarksTheEntryNumberOfTheProxyInUseAndReloads) {
  form.filtr_id = "8";
  ASSERT_FALSE(load(kWorkedExample));
  form.nabIP_Click(1);
  ASSERT_EQ(form.current_key, "1");
  form.block_Click();
  // The mark carries the entry number; every other line stays as it was.
  EXPECT_EQ(os.ini(), kWorkedExample + "2_block=1\r\n");
  EXPECT_EQ(entries(), (std::vector<int>{0, 5}));
}

TEST_F(Loader, BlockWithoutAProxyFromTheListOrThatCannotBeWrittenChangesNothing) {
  os.ini() = kWorkedExample;
  form.block_Click();
  EXPECT_EQ(os.ini(), kWorkedExample);
  form.nabIP_Click(0);
  os.files.fail_writes = true;
  form.block_Click();
  EXPECT_EQ(os.ini(), kWorkedExample);
  EXPECT_EQ(form.ip_count, 4);
}

TEST(LoaderBlock, BlockingTheLastProxyAsksForADownloadAndNeverLeavesItSet) {
  for (const int answer : {kIdNo, kIdYes}) {
    Program p;
    p.prepare();
    p.os.ini() = "[IP]\ncount=2\n0=192.0.2.1:80;1\n1=192.0.2.2:80;1\n1_block=1\n";
    p.form.nacti_ip(0);
    ASSERT_EQ(p.os.proxy_server(), "192.0.2.1:80");
    std::size_t menu_items_during_prompt = 0;
    p.os.boxes.while_open = [&] {
      if (p.os.boxes.shown.size() != 1) return;  // the prompt only
      menu_items_during_prompt = p.form.menu("ipadd").children.size();
      EXPECT_FALSE(p.form.menu("ipadd").children[0].enabled);
      p.form.nabIP_Click(0);  // a pick from the menu while the prompt is open
      // No second load may start inside the prompt.
      for (const char* item : {"block", "filter", "upd"}) {
        EXPECT_FALSE(p.form.menu(item).enabled) << item;
        p.form.menu_click(item, 0);
      }
      EXPECT_TRUE(p.os.window.filter_starts.empty());
      EXPECT_EQ(p.os.boxes.shown.size(), 1u);
    };
    p.os.boxes.answers = {answer, kIdOk};
    EXPECT_TRUE(p.ends([&] {
      p.form.block_Click();
      p.os.download.finish(p.form);  // "Yes": the download fails
    })) << answer;
    EXPECT_NE(p.os.ini().find("0_block=1"), std::string::npos);
    EXPECT_EQ(menu_items_during_prompt, 1u);
    // Whether the user declines or the download fails, the blocked proxy is
    // not left set in the system.
    EXPECT_TRUE(p.os.proxy_reset()) << answer;
  }
}

TEST_F(Loader, UnicodeDatabaseLoadsAndKeepsItsEncodingWhenBlocked) {
  const auto utf16 = [](const std::string& text) {
    std::string bytes;
    for (char c : text) bytes += std::string{c, '\0'};
    return bytes;
  };
  const std::string database =
      "\xFF\xFE" + utf16("[IP]\r\ncount=2\r\n0=192.0.2.1:80;1\r\n1=192.0.2.2:80;5\r\n");
  ASSERT_FALSE(load(database));
  ASSERT_EQ(form.ip_count, 2);
  form.nabIP_Click(1);
  form.block_Click();
  EXPECT_EQ(os.ini(), database + utf16("1_block=1\r\n"));
  EXPECT_EQ(form.ip_count, 1);
}

}  // namespace
}  // namespace proxanto::testing
