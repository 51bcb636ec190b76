// The proxy list: loading the database, its prompts, blocking a proxy, the
// favourites and the country filter.

#include "form_test.h"

namespace proxanto::testing {
namespace {

TEST(LoadRecords, CountBlockMarksAndFilterDecideWhichEntriesLoad) {
  const std::tuple<const char*, std::string, std::optional<int>, std::vector<int>> cases[] = {
      {"worked example", kWorkedExample, std::nullopt, {0, 2, 3, 5}},
      {"worked example, United States", kWorkedExample, 8, {0, 2, 5}},
      {"names ignore case, gaps skipped, entries from count on ignored",
       "[ip]\nCOUNT=10\n1=a:1;1\n7=b:2;2\n10=c:3;3\n", std::nullopt, {1, 7}},
      {"block marks are numbers of their own entry",
       "[IP]\ncount=31\n0=a:1;1\n0_block=0\n1=b:1;1\n1_block=abc\n2=c:1;1\n2_block=2\n"
       "3=d:1;1\n3_block=1\n30=e:1;1\n4=f:1;1\n4_block= 1\n5=g:1;1\n5_block=-1\n",
       std::nullopt, {0, 1, 30}},
      {"filter by the leading number of the country field",
       "[IP]\ncount=6\n0=a:1;08\n1=b:1 ; 8\n2=c:1;8x\n3=d:1;18\n4=e:1\n5=f:1;abc\n", 8, {0, 1, 2}},
      {"Thailand (0) does not catch entries without a country",
       "[IP]\ncount=3\n0=a:1;0\n1=b:1\n2=c:1;zz\n", 0, {0}},
      {"blank and addressless entries skipped", "[IP]\ncount=4\n0=   \n1=;8\n2=\n3=d:1;3\n",
       std::nullopt, {3}},
      {"count capped at the 16-bit limit", "[IP]\ncount=40000\n32766=a:1;1\n32767=b:1;1\n",
       std::nullopt, {32766}},
      {"a negative count, also by wrapping, loads nothing",
       "[IP]\ncount=4294967295\n0=a:1;1\n", std::nullopt, {}}};
  for (const auto& [name, ini, filter, expected] : cases) {
    std::vector<int> entries;
    for (const ProxyRecord& r : load_records(ini, filter)) entries.push_back(r.entry);
    EXPECT_EQ(entries, expected) << name;
  }
  const ProxyRecord record = load_records("[IP]\ncount=1\n0= a:1 ; 8 ;x;;\n", std::nullopt).at(0);
  EXPECT_EQ((std::vector{record.field(0), record.field(1), record.field(2), record.field(5)}),
            (std::vector<std::string_view>{"a:1 ", " 8 ", "x", ""}));
}

using Loader = FormTest;

// A filter that matches nothing is cleared in memory, and the reload
// without it builds the menu and applies a proxy before the filtered load
// does both once more; a reload that finds nothing either offers the
// download instead of clearing the filter again.
TEST_F(Loader, FilterThatMatchesNothingIsClearedInMemoryAndEverythingLoads) {
  prepare();
  os.ini() = kWorkedExample;
  form.filtr_id = "5";
  form.filtr_index = "12";
  form.nacti_ip(1);
  EXPECT_EQ(os.boxes.at(0), "Proxanto, exclamation ok: V DB není žádná IP adpovídající vybrané "
                            "zemi !\r\nFiltr nelze použít !");
  EXPECT_EQ(form.filtr_id + "/" + form.filtr_index + " " + std::to_string(form.ip_count), "-1/0 4");
  EXPECT_EQ(menu({"block", "upd"}), "Blokovat tuto IP adresu | Aktualizovat");
  EXPECT_EQ(std::count(os.journal.begin(), os.journal.end(), "inet 75"), 2);
  os.ini() = "[IP]\ncount=0\n";
  form.filtr_id = "5";
  os.answers = {kIdOk, kIdNo};
  EXPECT_TRUE(ends([&] { form.nacti_ip(1); }));
  ASSERT_EQ(os.boxes.size(), 3u);
  EXPECT_EQ(os.boxes[2].substr(0, 22), "Proxanto, stop yes/no:");
}

// The mark carries the entry number; every other line stays as it was.
// Without a proxy from the list, or when the file cannot be written, nothing
// changes. (UTF-16 files are held to the platform in the Windows tests.)
TEST_F(Loader, BlockMarksTheEntryNumberOfTheProxyInUseAndReloads) {
  prepare();
  os.ini() = kWorkedExample;
  form.filtr_id = "8";
  form.block_Click();  // no proxy in use yet: nothing marked, nothing loaded
  form.nacti_ip(0);
  form.nabIP_Click(1);
  os.files.fail_writes = true;
  form.block_Click();
  os.files.fail_writes = false;
  EXPECT_EQ(entries(), (std::vector<int>{0, 2, 5}));
  form.nabIP_Click(1);
  form.block_Click();
  EXPECT_EQ(os.ini(), kWorkedExample + "2_block=1\r\n");
  EXPECT_EQ(entries(), (std::vector<int>{0, 5}));
}

// Whether the user declines or the download fails, the blocked proxy is not
// left set in the system. The prompt's menu no longer offers the proxies of
// the last load: nothing is applied, and no second load starts, inside it.
TEST(LoaderBlock, BlockingTheLastProxyAsksForADownloadAndNeverLeavesItSet) {
  for (const int answer : {kIdNo, kIdYes}) {
    Program p;
    p.prepare();
    p.os.ini() = "[IP]\ncount=2\n0=192.0.2.1:80;1\n1=192.0.2.2:80;1\n1_block=1\n";
    p.form.nacti_ip(0);
    p.os.while_open = [&] {
      if (p.os.boxes.size() != 1) return;  // the prompt only
      EXPECT_EQ(p.menu({}, "ipadd") + " | " + p.menu({"block", "filter", "upd"}),
                "Žádná IP adresa (off) | Blokovat tuto IP adresu (off) | Filtr zemí (off) | "
                "Aktualizovat (off)");
      p.os.internet.clear();
      p.form.proxy();  // a hot key, a pick from the menu
      p.form.nabIP_Click(0);
      for (const char* item : {"block", "filter", "upd"}) p.form.menu_click(item, 0);
      EXPECT_EQ(p.os.boxes.size() + p.os.filter_starts.size() + p.os.internet.size(), 1u);
    };
    p.os.answers = {answer, kIdOk};
    EXPECT_TRUE(p.ends([&] {
      p.form.block_Click();
      p.os.finish(p.form);  // "Yes": the download fails
    })) << answer;
    EXPECT_EQ(p.os.boxes[0], "Proxanto, stop yes/no: IP adresy nebyly nalezeny !\r\nPřejete si "
                             "stáhnout novou databázi ?");
    EXPECT_EQ(p.os.proxy(), "- off") << answer;
  }
}

class Favourites : public FormTest {
 protected:
  void SetUp() override { ASSERT_FALSE(start()); }
  // Stores favourites as "number=text" pairs, and lists those stored.
  void store(const std::vector<std::pair<std::string, std::string>>& favourites) {
    for (const auto& [name, text] : favourites) os.save(name, text, "\\Favorites");
  }
  std::string stored() {
    std::string text;
    for (const auto& [key, value] : os.registry.values) {
      const auto& [root, path, name] = key;
      if (path.ends_with("\\favorites")) text += name + "=" + os.reg(root, path, name) + " ";
    }
    return text;
  }
};

// Adding stores the proxy in use, the count first, a favourite too.
TEST_F(Favourites, AddStoresTheProxyInUse) {
  os.randoms = {0.6};  // position 2: 192.0.2.200:8000, Russia
  form.proxy();
  form.menu_click("favadd", 0);
  os.journal.clear();
  form.favadd_Click();
  EXPECT_EQ(os.journal, (Journal{"reg count", "reg 1"}));
  store({{"2", "10.0.0.1:8080/3"}, {"count", "3"}});
  form.oblibene_ip();
  form.menu_click("favIPsmenu", 2);
  EXPECT_EQ(shown(), "10.0.0.1:8080 on; inet on 10.0.0.1:8080 +local; popup 10.0.0.1:8080|Japonsko; tip "
                     "Proxanto\r\n10.0.0.1:8080\r\nJaponsko");
  form.favadd_Click();
  EXPECT_EQ(stored(), "0=192.0.2.200:8000/24 1=192.0.2.200:8000/24 2=10.0.0.1:8080/3 "
                      "3=10.0.0.1:8080/3 count=4 ");
}

// Entry 0 in use, Block after a favourite marks that favourite's entries,
// found by address: entry 5; then, with the filter on Russia, entries 2 and 4
// of an address listed twice. One that ip.ini lacks leaves Block disabled.
TEST_F(Favourites, BlockMarksTheEntriesOfTheFavouriteInUse) {
  const std::string ini = kWorkedExample + "4=203.0.113.25:80 ;3\r\n";
  os.ini() = ini;
  store({{"count", "3"}, {"0", "198.51.100.33:8080/8"}, {"1", "203.0.113.25:80/8"},
         {"2", "10.0.0.1:8080/3"}});
  form.oblibene_ip();
  std::string marks;
  for (const auto& [favourite, after, mark] :
       {std::tuple{0, "on 192.0.2.10:8080 on", "5_block=1\r\n"},
        {1, "on 192.0.2.200:8000 on", "2_block=1\r\n4_block=1\r\n"},
        {2, "off 10.0.0.1:8080 on", ""}}) {
    if (favourite == 1) form.filter_chosen(24, 25);  // entry 3 alone loads
    form.favIPsmenu_Click(favourite);
    const std::string block = form.menu("block").enabled ? "on " : "off ";
    form.block_Click();
    EXPECT_EQ(block + os.proxy() + "\n" + os.ini(), after + ("\n" + ini + (marks += mark)));
  }
}

TEST_F(Favourites, SlashesDamagedCountsGapsOrGarbageNeitherLoseNorBreakOne) {
  // A damaged count, and lower than what is stored.
  store({{"count", "1x"}, {"0", "http://192.0.2.1:80/8"}, {"1", "192.0.2.2:80/1"}});
  form.oblibene_ip();
  form.favIPsmenu_Click(0);
  EXPECT_EQ(os.proxy() + " " + form.country_en, "http://192.0.2.1:80 on United States");
  form.favadd_Click();
  EXPECT_EQ(stored(), "0=http://192.0.2.1:80/8 1=192.0.2.2:80/1 2=http://192.0.2.1:80/8 count=3 ");
  store({{"0", "192.0.2.1:80/249"}, {"1", ""}, {"2", "192.0.2.3:80"}});
  form.oblibene_ip();
  EXPECT_EQ(menu({}, "favIPs"), "192.0.2.1:80 | - | 192.0.2.3:80");
  form.favIPsmenu_Click(1);  // the placeholder of the missing entry applies nothing
  EXPECT_EQ(os.proxy(), "http://192.0.2.1:80 on");
  store({{"count", "lots"}});
  form.oblibene_ip();
  EXPECT_EQ(menu({}, "favIPs"), "Žádná IP adresa (off)");
}

TEST_F(Favourites, FilterOpensAtTheSavedRowAndTheChosenCountryIsSavedEvenWithoutEntries) {
  form.filtr_index = "7";
  form.menu_click("filter", 0);
  for (const char* saved : {"x", "40", "250", "-3"}) {
    form.filtr_index = saved;
    form.filter_Click();
  }
  // Rows past the first table hold the countries of the database: the
  // dialog settles those.
  EXPECT_EQ(os.filter_starts, (std::vector<int>{7, 0, 40, 0, 0}));
  for (const auto& [country, row, loaded] : {std::tuple{8, 21, "8/21 3 8/21"},
                                             std::tuple{-1, 0, "-1/0 4 -1/0"},
                                             std::tuple{5, 9, "-1/0 4 5/9"}}) {
    form.filter_chosen(country, row);  // Iran (5) has no entry: everything loads
    EXPECT_EQ(form.filtr_id + "/" + form.filtr_index + " " + std::to_string(form.ip_count) + " " +
                  os.reg(RegRoot::CurrentUser, form.Hkey, "filter_id") + "/" +
                  os.reg(RegRoot::CurrentUser, form.Hkey, "filter_index"),
              loaded);
  }
}

}  // namespace
}  // namespace proxanto::testing
