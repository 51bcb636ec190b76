// The country table past the first 33, the address-to-country range table
// and the countries of proxies everywhere they are shown.

#include <fstream>
#include <iterator>

#include "form_test.h"
#include "geo/country_ranges.h"
#include "geo/country_ranges_source.h"

namespace proxanto::testing {
namespace {

std::string joined(const std::vector<std::string>& names, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t id = from; id < to; ++id) text += names.at(id) + (id + 1 < to ? "|" : "");
  return text;
}

// Ids are stored in ip.ini, the filter and the favourites: the first 33 keep
// their names, the others follow in alpha-2 order and have names in both
// languages.
TEST(Countries, TheFirstTableKeepsItsIdsAndEveryOtherCountryFollowsByCode) {
  const std::vector<std::string> en = english_country_names(), cs = czech_country_names();
  ASSERT_TRUE(en.size() == 249 && cs.size() == 249);
  EXPECT_EQ(joined(en, 0, 33),
            "Thailand|China|Denmark|Japan|Sri Lanka|Iran|Vietnam|Philippines|United States|Turkey|"
            "Taiwan|Spain|Hong Kong|Algeria|Australia|South Korea|Mexico|Italy|New Zealand|Puerto "
            "Rico (US)|India|Brazil|Argentina|Belgium|Russian Federation|Venezuela|Indonesia|"
            "Singapore|Jordan|Canada|Malaysia|Saudi Arabia|Colombia");
  EXPECT_EQ(joined(cs, 0, 33),
            "Thajsko|Čína|Dánsko|Japonsko|Srí Lanka|Írán|Vietnam|Filipíny|Spojené Státy|Turecko|"
            "Tchaj-wan|Španělsko|Hongkong|Alžírsko|Austrálie|Jižní Korea|Mexiko|Itálie|Nový "
            "Zéland|Portoriko|Indie|Brazílie|Argentina|Belgie|Ruská Federace|Venezuela|Indonésie|"
            "Singapur|Jordánsko|Kanada|Malajsie|Saudská Arábie|Kolumbie");
  for (const auto& [id, code, english, czech] :
       {std::tuple{33, "AD", "Andorra", "Andorra"}, {71, "CI", "Côte d'Ivoire", "Pobřeží slonoviny"},
        {81, "CZ", "Czechia", "Česko"}, {82, "DE", "Germany", "Německo"},
        {99, "GB", "United Kingdom", "Spojené království"}, {177, "NL", "Netherlands", "Nizozemsko"},
        {232, "UA", "Ukraine", "Ukrajina"}, {248, "ZW", "Zimbabwe", "Zimbabwe"}}) {
    EXPECT_EQ(std::string(country_code(id)) + " " + en[id] + "/" + cs[id],
              std::string(code) + " " + english + "/" + czech);
  }
  for (int id = 0; id < kCountryCount; ++id) {
    EXPECT_FALSE(en[id].empty() || cs[id].empty() || en[id] == country_code(id)) << id;
    EXPECT_EQ(country_of_code(country_code(id)), id) << "the code of " << id << " is taken twice";
    EXPECT_TRUE(id <= kFirstTableCount || country_code(id - 1) < country_code(id)) << id;
  }
  EXPECT_EQ((std::tuple{country_id("248"), country_id("249"), country_of_code("XK")}),
            (std::tuple{std::optional(248), std::optional<int>(), std::optional<int>()}));
}

TEST(Ipv4, FourDecimalPartsOf0To255AndNothingElse) {
  const std::optional<std::uint32_t> none;
  for (const auto& [text, address] : std::initializer_list<std::pair<const char*, std::optional<std::uint32_t>>>{
           {"0.0.0.0", 0}, {"255.255.255.255", 0xFFFFFFFF}, {"10.1.2.3", 0x0A010203}, {"010.1.2.3", none}, {"", none},
           {"1.2.3", none}, {"1.2.3.4.5", none}, {"256.1.1.1", none}, {"1.2.3.0256", none},
           {" 1.2.3.4", none}, {"1.2.3.4 ", none}, {"1..2.3", none}, {"1.2.3.-4", none},
           {"1.2.3.4:80", none}, {"a.b.c.d", none}, {"1.2.3.4.", none}}) {
    EXPECT_EQ(parse_ipv4(text), address) << text;
  }
  for (const auto& [address, ipv4] : std::initializer_list<std::pair<const char*, std::optional<std::uint32_t>>>{
           {"192.0.2.1:8080", 0xC0000201}, {" http://192.0.2.1:80", 0xC0000201},
           {"192.0.2.1", 0xC0000201}, {"proxy.example.com:80", none},
           {"[2001:db8::1]:80", none}, {"192.0.2.1x:80", none}}) {
    EXPECT_EQ(ipv4_of_address(address), ipv4) << address;
  }
}

// A table in the layout of ipv4_country.bin: the codes, then each range's
// first address and code index (255 for no country).
std::string table_bytes(const std::string& codes,
                        const std::vector<std::pair<std::uint32_t, std::uint8_t>>& ranges) {
  std::string bytes = "PXCR";
  const auto u32 = [&bytes](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i) & 0xFF);
  };
  for (const std::size_t v : {std::size_t{1}, ranges.size(), codes.size() / 2}) u32(static_cast<std::uint32_t>(v));
  bytes += codes;
  for (const auto& range : ranges) u32(range.first);
  for (const auto& range : ranges) bytes += static_cast<char>(range.second);
  return bytes;
}

// AU 1.0.0.0-1.0.0.255, CZ 1.0.1.0-1.0.1.255, XK (no ISO country)
// 2.0.0.0-2.255.255.255, US 255.255.255.0 to the end; the rest of no country.
const std::string kTable = table_bytes(
    "AUCZXKUS", {{0, 255}, {0x01000000, 0}, {0x01000100, 1}, {0x01000200, 255}, {0x02000000, 2},
                 {0x03000000, 255}, {0xFFFFFF00, 3}});

TEST(CountryRanges, EachAddressHasTheCountryOfItsRangeToTheEdges) {
  const std::optional<CountryRanges> table = CountryRanges::from_bytes(kTable);
  ASSERT_TRUE(table);
  for (const auto& [address, country] : std::initializer_list<std::pair<const char*, std::optional<int>>>{
           {"0.0.0.0", std::nullopt}, {"0.255.255.255", std::nullopt}, {"1.0.0.0", 14},
           {"1.0.0.255", 14}, {"1.0.1.0", 81}, {"1.0.1.255", 81}, {"1.0.2.0", std::nullopt},
           {"2.1.2.3", std::nullopt}, {"255.255.254.255", std::nullopt}, {"255.255.255.0", 8},
           {"255.255.255.255", 8}}) {
    EXPECT_EQ(table->country_of(*parse_ipv4(address)), country) << address;
  }
}

TEST(CountryRanges, ADamagedTableIsNoTable) {
  const auto changed = [](std::size_t at, std::string with) {
    return std::string(kTable).replace(at, with.size(), with);
  };
  const std::size_t starts = 16 + 8, indexes = starts + 7 * 4;
  for (const auto& [what, bytes] : std::initializer_list<std::pair<const char*, std::string>>{
           {"empty", ""}, {"another magic", changed(0, "PXCS")},
           {"another version", changed(4, "\2")}, {"cut short", kTable.substr(0, kTable.size() - 1)},
           {"a byte more", kTable + '\0'}, {"more ranges than bytes", changed(8, "\xFF\xFF\xFF")},
           {"not from 0.0.0.0", changed(starts, "\1")},
           {"not ascending", changed(starts + 8, std::string("\0\0\0\1", 4))},
           {"an unknown code index", changed(indexes + 1, "\4")}}) {
    EXPECT_FALSE(CountryRanges::from_bytes(bytes)) << what;
  }
}

// The table as the program carries it: whole, and of the addresses' owners.
TEST(CountryRanges, TheShippedTableIsWhole) {
  std::ifstream file(PROXANTO_RANGE_TABLE, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const std::optional<CountryRanges> table = CountryRanges::from_bytes(bytes);
  ASSERT_TRUE(table);
  EXPECT_EQ(table->size(), static_cast<std::size_t>(kCountryRangesCount));
  for (const auto& [address, country] : std::initializer_list<std::pair<const char*, std::optional<int>>>{
           {"8.8.8.8", 8}, {"77.75.77.53", 81}, {"193.0.6.139", 177}, {"10.1.2.3", std::nullopt},
           {"127.0.0.1", std::nullopt}}) {
    EXPECT_EQ(table->country_of(*parse_ipv4(address)), country) << address;
  }
}

// Germany (82) has two proxies, the blocked Czech one counts for nothing.
const std::string kNewCountries =
    "[IP]\r\ncount=4\r\n0=192.0.2.1:80;82\r\n1=192.0.2.2:80;82\r\n2=192.0.2.3:80;8\r\n"
    "3=192.0.2.4:80;81\r\n3_block=1\r\n";

using NewCountries = FormTest;

// A proxy of a new country is named in the IP menu, the popup, the tooltip and
// the favourites, in both languages; the dialog learns how many proxies each
// country of the database has, whatever the filter; a filter on it holds
// across a restart.
TEST_F(NewCountries, AreNamedEverywhereAndFilterAcrossARestart) {
  os.save("lang", "1");
  ASSERT_FALSE(start(kNewCountries));
  const auto counts = [this] {
    const std::vector<int>& c = form.country_counts;
    return std::tuple{c.size(), c.at(82), c.at(8), c.at(81)};
  };
  const std::tuple<std::size_t, int, int, int> kCounts{249, 2, 1, 0};
  form.filter_Click();
  EXPECT_EQ(counts(), kCounts);
  EXPECT_EQ(menu({}, "ipadd"),
            "192.0.2.1:80 (Germany) | 192.0.2.2:80 (Germany) | 192.0.2.3:80 (United States)");
  EXPECT_EQ(shown(), "192.0.2.1:80 on; inet on 192.0.2.1:80 +local; popup 192.0.2.1:80|Germany; tip "
                     "Proxanto\r\n192.0.2.1:80\r\nGermany");
  form.lngLIST_Click(0);
  form.favadd_Click();
  form.favIPsmenu_Click(0);
  EXPECT_EQ(menu({}, "favIPs") + " " + os.reg(RegRoot::CurrentUser, form.Hkey + "\\Favorites", "0"),
            "192.0.2.1:80 (Německo) 192.0.2.1:80/82");
  EXPECT_EQ(shown(), "192.0.2.1:80 on; inet on 192.0.2.1:80 +local; popup 192.0.2.1:80|Německo; tip "
                     "Proxanto\r\n192.0.2.1:80\r\nNěmecko");

  form.filter_chosen(82, 36);
  form.filter_Click();  // counted afresh
  EXPECT_EQ(entries(), (std::vector<int>{0, 1}));
  EXPECT_EQ(counts(), kCounts);
  Program restarted;
  restarted.os.registry.values = os.registry.values;
  ASSERT_FALSE(restarted.start(kNewCountries));
  restarted.form.filter_Click();
  EXPECT_EQ(restarted.form.filtr_id + "/" + restarted.form.filtr_index + " " +
                restarted.form.country_en + " " + std::to_string(restarted.os.filter_starts.at(0)),
            "82/36 Germany 36");
  EXPECT_EQ(restarted.entries(), (std::vector<int>{0, 1}));
}

// The table is read at the first lookup, never at start-up, and only once,
// also when it is missing; a host name needs no table. A merge names the
// country of each new proxy by it.
TEST_F(NewCountries, LookupReadsTheTableOnceAtTheFirstAddress) {
  ASSERT_FALSE(start(kNewCountries));
  EXPECT_EQ(form.lookup_country("proxy.example.com:8080"), std::nullopt);
  EXPECT_EQ(os.ranges_reads, 0);
  os.ranges = kTable;
  EXPECT_EQ((std::vector{form.lookup_country("1.0.1.7:3128"), form.lookup_country("1.0.0.1"),
                         form.lookup_country("1.0.2.1:80")}),
            (std::vector<std::optional<int>>{81, 14, std::nullopt}));
  EXPECT_EQ(os.ranges_reads, 1);
  // Proxies merged from a list get the country of their address, if any.
  os.clipboard = "1.0.1.7:3128\n1.0.2.1:80\n";
  form.menu_click("clipadd", 0);
  EXPECT_NE(os.ini().find("=1.0.1.7:3128;81\r\n"), std::string::npos) << os.ini();
  EXPECT_NE(os.ini().find("=1.0.2.1:80;\r\n"), std::string::npos) << os.ini();

  // Off the public Internet there is no country, whatever the data say of
  // the block (they give documentation addresses the registry's country).
  std::ifstream file(PROXANTO_RANGE_TABLE, std::ios::binary);
  Program shipped;
  shipped.os.ranges.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  for (const auto& [address, country] : std::initializer_list<std::pair<const char*, std::optional<int>>>{
           {"8.8.8.8:80", 8}, {"203.0.113.90:8080", std::nullopt}, {"198.51.100.7", std::nullopt},
           {"192.0.2.1", std::nullopt}, {"100.64.0.1", std::nullopt}, {"198.18.0.1", std::nullopt},
           {"239.1.2.3", std::nullopt}}) {
    EXPECT_EQ(shipped.form.lookup_country(address), country) << address;
  }

  Program damaged;
  damaged.os.ranges = kTable.substr(1);
  damaged.form.lookup_country("1.0.1.7");
  EXPECT_EQ(std::pair(damaged.form.lookup_country("1.0.1.8"), damaged.os.ranges_reads),
            std::pair(std::optional<int>(), 1));
}

}  // namespace
}  // namespace proxanto::testing
