#include <gtest/gtest.h>

#include "fakes.h"

namespace proxanto::testing {
namespace {

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    form.Hkey = "Software\\Marvedo\\Quillet";
    form.ini_path = os.ini_path();
    form.ARR_EN = english_country_names();
    form.ARR_CS = czech_country_names();
  }
  std::vector<int> entries() const {
    std::vector<int> out;
    for (const auto& r : form.ip_list) out.push_back(r.entry);
    return out;
  }
  std::vector<std::string> addresses() const {
    std::vector<std::string> out;
    for (const auto& r : form.ip_list) out.push_back(r.address());
    return out;
  }
  // Runs a load; true when it ended the program.
  bool load(int par) {
    try {
      form.nacti_ip(par);
    } catch (const ProgramExit&) {
      return true;
    }
    return false;
  }
  int applied() const {
    int n = 0;
    for (const auto& w : os.registry.writes) n += w == "proxyserver";
    return n;
  }
  TestPlatform os;
  Form1 form{os.platform};
};

TEST_F(Loader, WorkedExampleWithoutFilter) {
  os.set_ini(kWorkedExample);
  ASSERT_FALSE(load(0));
  EXPECT_EQ(entries(), (std::vector<int>{0, 2, 3, 5}));
  EXPECT_EQ(addresses(), (std::vector<std::string>{"192.0.2.10:8080", "203.0.113.25:80",
                                                    "192.0.2.200:8000", "198.51.100.33:8080"}));
  EXPECT_EQ(form.ip_count, 4);
  EXPECT_EQ(form.ip_list[3].fields, (std::vector<std::string>{"198.51.100.33:8080", "8", "x"}));
  // Every load that yields proxies ends with a random proxy in use.
  EXPECT_EQ(applied(), 1);
}

TEST_F(Loader, WorkedExampleWithFilterAndBlock) {
  os.set_ini(kWorkedExample);
  form.filtr_id = "8";
  ASSERT_FALSE(load(0));
  EXPECT_EQ(entries(), (std::vector<int>{0, 2, 5}));

  form.nabIP_Click(1);
  ASSERT_EQ(form.current_key, "1");
  form.block_Click();
  // The mark carries the entry number; every other line stays as it was.
  EXPECT_EQ(os.files.files[os.ini_path()], std::string(kWorkedExample) + "2_block=1\r\n");
  EXPECT_EQ(entries(), (std::vector<int>{0, 5}));
}

TEST_F(Loader, FilterThatMatchesNothingClearsItInMemoryAndLoadsEverything) {
  os.set_ini(kWorkedExample);
  form.filtr_id = "5";
  form.filtr_index = "12";
  ASSERT_FALSE(load(1));
  ASSERT_EQ(os.boxes.shown.size(), 1u);
  EXPECT_EQ(os.boxes.shown[0].text,
            "V DB není žádná IP adpovídající vybrané zemi !\r\nFiltr nelze použít !");
  EXPECT_EQ(os.boxes.shown[0].style, kMbOk | kMbIconExclamation);
  EXPECT_EQ(form.filtr_id, "-1");
  EXPECT_EQ(form.filtr_index, "0");
  EXPECT_EQ(form.ip_count, 4);
  // The inner reload builds the menu and applies a proxy, then the outer load
  // does both once more.
  EXPECT_EQ(applied(), 2);
}

TEST_F(Loader, EmptyFilteredReloadDoesNotRepeatButOffersTheDownload) {
  os.set_ini("[IP]\ncount=0\n");
  form.filtr_id = "5";
  os.boxes.answers = {kIdOk, kIdNo};
  EXPECT_TRUE(load(1));
  ASSERT_EQ(os.boxes.shown.size(), 2u);
  EXPECT_EQ(os.boxes.shown[0].style, kMbOk | kMbIconExclamation);
  EXPECT_EQ(os.boxes.shown[1].style, kMbYesNo | kMbIconStop);
}

TEST_F(Loader, EnglishMessagesFollowTheLanguage) {
  os.set_ini("[IP]\n");
  form.LNG_INT = 100;
  os.boxes.answers = {kIdNo};
  EXPECT_TRUE(load(0));
  EXPECT_EQ(os.boxes.shown[0].text,
            "IP adresy was not found !\r\nWould you like to download new database ?");
}

TEST_F(Loader, MissingOrZeroCountIsAnEmptyResult) {
  for (const char* text : {"", "[IP]\n0=192.0.2.1:80;1\n", "[IP]\ncount=0\n0=192.0.2.1:80;1\n",
                           "[IP]\ncount=abc\n0=192.0.2.1:80;1\n", "[Other]\ncount=1\n0=a:1;1\n"}) {
    TestPlatform fresh;
    fresh.set_ini(text);
    Form1 f{fresh.platform};
    f.ini_path = fresh.ini_path();
    fresh.boxes.answers = {kIdNo};
    EXPECT_THROW(f.nacti_ip(0), ProgramExit) << text;
    EXPECT_EQ(f.ip_count, 0);
  }
}

TEST_F(Loader, ReadsOnlyEntriesBelowCountAndSkipsGaps) {
  os.set_ini("[ip]\nCOUNT=10\n1=a:1;1\n7=b:2;2\n10=c:3;3\n");
  ASSERT_FALSE(load(0));
  EXPECT_EQ(entries(), (std::vector<int>{1, 7}));
}

TEST_F(Loader, BlockMarksAreNumbersAndBelongToTheirOwnEntry) {
  os.set_ini(
      "[IP]\ncount=31\n"
      "0=a:1;1\n0_block=0\n"
      "1=b:1;1\n1_block=abc\n"
      "2=c:1;1\n2_block=2\n"
      "3=d:1;1\n3_block=1\n"
      "30=e:1;1\n"
      "4=f:1;1\n4_block= 1\n");
  ASSERT_FALSE(load(0));
  EXPECT_EQ(entries(), (std::vector<int>{0, 1, 30}));
}

TEST_F(Loader, FilterReadsTheLeadingNumberOfTheCountryField) {
  os.set_ini(
      "[IP]\ncount=6\n"
      "0=a:1;08\n"
      "1=192.0.2.10:8080 ; 8\n"
      "2=c:1;8x\n"
      "3=d:1;18\n"
      "4=e:1\n"
      "5=f:1;abc\n");
  form.filtr_id = "8";
  ASSERT_FALSE(load(0));
  EXPECT_EQ(entries(), (std::vector<int>{0, 1, 2}));
  // Fields are split, not trimmed one by one.
  EXPECT_EQ(form.ip_list[1].fields, (std::vector<std::string>{"192.0.2.10:8080 ", " 8"}));
}

TEST_F(Loader, ThailandFilterDoesNotCatchEntriesWithoutACountry) {
  os.set_ini("[IP]\ncount=3\n0=a:1;0\n1=b:1\n2=c:1;zz\n");
  form.filtr_id = "0";
  ASSERT_FALSE(load(0));
  EXPECT_EQ(entries(), (std::vector<int>{0}));
}

TEST_F(Loader, BlankAndAddresslessEntriesAreSkipped) {
  os.set_ini("[IP]\ncount=4\n0=   \n1=;8\n2=\n3=d:1;3\n");
  ASSERT_FALSE(load(0));
  EXPECT_EQ(entries(), (std::vector<int>{3}));
}

TEST_F(Loader, EntriesWithoutOrWithUnknownCountryLoadAndShowTheAddressAlone) {
  os.set_ini("[IP]\ncount=2\n0=192.0.2.1:80\n1=192.0.2.2:80;99\n");
  os.random.values = {0.0};
  ASSERT_FALSE(load(0));
  ASSERT_EQ(form.ip_count, 2);
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

TEST_F(Loader, LongValuesAreCutAt1549Characters) {
  const std::string tail(2000, 'y');
  os.set_ini("[IP]\ncount=1\n0=192.0.2.1:80;8;" + tail + "\n");
  ASSERT_FALSE(load(0));
  ASSERT_EQ(form.ip_count, 1);
  const auto& f = form.ip_list[0].fields;
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0].size() + f[1].size() + f[2].size() + 2, 1549u);
}

TEST_F(Loader, CountAboveTheSixteenBitLimitIsCapped) {
  os.set_ini("[IP]\ncount=40000\n32766=a:1;1\n32767=b:1;1\n");
  ASSERT_FALSE(load(0));
  EXPECT_EQ(entries(), (std::vector<int>{32766}));
}

TEST_F(Loader, HotKeyWhileThePromptIsOpenFindsNoProxyToApply) {
  os.set_ini("[IP]\ncount=0\n");
  os.boxes.answers = {kIdNo};
  os.boxes.while_open = [this] {
    form.proxy();
    form.st_Click();
    form.nabIP_Click(0);
  };
  EXPECT_TRUE(load(0));
  EXPECT_TRUE(form.current_ip.empty());
  for (const auto& call : os.internet.calls) EXPECT_NE(call.flags, 0xFFFFFFFFu);
  EXPECT_FALSE(os.registry.has(RegRoot::CurrentUser, kInternetSettings, "ProxyServer"));
}

TEST_F(Loader, RestartLoadsExactlyTheFilteredEntries) {
  os.set_ini(kWorkedExample);
  form.filtr_id = "24";
  form.restart_nacti_ip();
  EXPECT_EQ(entries(), (std::vector<int>{3}));
  EXPECT_TRUE(os.boxes.shown.empty());
}

TEST_F(Loader, BlockWithoutAProxyFromTheListWritesNothing) {
  os.set_ini(kWorkedExample);
  form.block_Click();
  EXPECT_EQ(os.files.files[os.ini_path()], kWorkedExample);
}

TEST_F(Loader, BlockThatCannotBeWrittenKeepsTheProxy) {
  os.set_ini(kWorkedExample);
  ASSERT_FALSE(load(0));
  form.nabIP_Click(0);
  os.files.fail_writes = true;
  form.block_Click();
  EXPECT_EQ(os.files.files[os.ini_path()], kWorkedExample);
  EXPECT_EQ(form.ip_count, 4);
}

TEST_F(Loader, BlockingTheLastProxyAsksForADownloadAndNeverLeavesItSet) {
  for (const int answer : {kIdNo, kIdYes}) {
    TestPlatform fresh;
    Form1 f{fresh.platform};
    f.ini_path = fresh.ini_path();
    f.ARR_CS = czech_country_names();
    f.ARR_EN = english_country_names();
    fresh.set_ini("[IP]\ncount=2\n0=192.0.2.1:80;1\n1=192.0.2.2:80;1\n1_block=1\n");
    f.nacti_ip(0);
    ASSERT_EQ(fresh.proxy_server(), "192.0.2.1:80");
    std::size_t menu_items_during_prompt = 0;
    fresh.boxes.while_open = [&] {
      menu_items_during_prompt = f.menu("ipadd").children.size();
      EXPECT_FALSE(f.menu("ipadd").children[0].enabled);
      f.nabIP_Click(0);  // a pick from the menu while the prompt is open
    };
    fresh.boxes.answers = {answer, kIdOk};
    EXPECT_THROW(f.block_Click(), ProgramExit) << answer;
    EXPECT_NE(fresh.files.files[fresh.ini_path()].find("0_block=1"), std::string::npos);
    EXPECT_EQ(menu_items_during_prompt, 1u);
    // Whether the user declines or the download fails, the blocked proxy is
    // not left set in the system.
    EXPECT_FALSE(fresh.registry.has(RegRoot::CurrentUser, kInternetSettings, "ProxyServer"));
    EXPECT_EQ(fresh.proxy_enable(), 0u) << answer;
  }
}

TEST_F(Loader, UnicodeDatabaseLoadsAndKeepsItsEncodingWhenBlocked) {
  const std::string text = "[IP]\r\ncount=2\r\n0=192.0.2.1:80;1\r\n1=192.0.2.2:80;5\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : text) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  os.set_ini(utf16);
  ASSERT_FALSE(load(0));
  ASSERT_EQ(form.ip_count, 2);
  form.nabIP_Click(1);
  form.block_Click();
  std::string expected = utf16;
  for (char c : std::string("1_block=1\r\n")) {
    expected.push_back(c);
    expected.push_back('\0');
  }
  EXPECT_EQ(os.files.files[os.ini_path()], expected);
  EXPECT_EQ(form.ip_count, 1);
}

}  // namespace
}  // namespace proxanto::testing
