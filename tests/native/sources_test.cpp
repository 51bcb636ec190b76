// Proxy lists: their formats, the merge into ip.ini, the report, and the
// update and the clipboard item that use them.

#include "sources/sources.h"

#include <gtest/gtest.h>

#include "form_test.h"
#include "update/redirects.h"

namespace proxanto::testing {
namespace {

using namespace std::string_literals;

// Each proxy as "address;country;rest", "!" after a blocked one, then the
// counts as "= proxies/other kinds/local networks".
std::string listed(std::string_view text, SourceOrigin origin, ListFormat* format = nullptr) {
  std::string out;
  ListCounts counts;
  const ListFormat found = read_list(text, origin, counts, [&](const ListedProxy& p) {
    out += std::string(p.address) + ";" + std::string(p.country) + std::string(p.rest) +
           (p.blocked ? "!" : "") + " ";
  });
  if (format) *format = found;
  return out + "= " + std::to_string(counts.proxies) + "/" + std::to_string(counts.other_kinds) +
         "/" + std::to_string(counts.local_networks);
}

const std::string kPlain =
    "\xEF\xBB\xBF"
    "203.0.113.9:3128 US-H-S +\r\n"
    "Free proxy list, updated daily: https://example.com/proxies\r\n"
    "# host:port country-anonymity-ssl google\n"
    "  http://198.51.100.7:8080\t(fast)\r"
    "HTTPS://Proxy.Example.COM:0443/\n"
    "socks5://203.0.113.10:1080\nsocks4://a.example:1080\n"
    "10.0.0.1:80\n127.0.0.1:8080\n100.64.0.1:80\n172.31.255.255:80\n192.168.1.1:80\n"
    "169.254.1.1:80\n0.1.2.3:80\n224.0.0.1:80\n255.255.255.255:80\nLocalHost:3128\n"
    "172.32.0.1:80\n100.128.0.1:80\n192.0.2.5:65535\n"
    "192.0.2.5:0\n192.0.2.5:65536\n256.1.1.1:80\n1.2.3:80\n01.2.3.4:80\n1.2.3.4:8080:x\n"
    "user:pw@1.2.3.4:80\n[2001:db8::1]:80\n-bad.example:80\nexample.123:80\nbc1qdonate\n\n\t\n" +
    std::string(100000, '9') + ":80\n203.0.113.9:3128";
const std::string kPublic =
    "203.0.113.9:3128; 198.51.100.7:8080; proxy.example.com:443; 172.32.0.1:80; "
    "100.128.0.1:80; 192.0.2.5:65535; 203.0.113.9:3128; ";

// Plain lines are judged one by one; an [IP] section makes the program's own
// format, entries as the loader reads them. Only a list of the user's own
// may name local networks.
TEST(ListReading, FormatsAreToldByContentAndEachLineIsJudged) {
  ListFormat format = ListFormat::Database;
  EXPECT_EQ(listed(kPlain, SourceOrigin::Network, &format), kPublic + "= 7/2/10");
  EXPECT_EQ(format, ListFormat::Plain);
  EXPECT_EQ(listed(kPlain, SourceOrigin::Local),
            "203.0.113.9:3128; 198.51.100.7:8080; proxy.example.com:443; 10.0.0.1:80; "
            "127.0.0.1:8080; 100.64.0.1:80; 172.31.255.255:80; 192.168.1.1:80; 169.254.1.1:80; "
            "0.1.2.3:80; 224.0.0.1:80; 255.255.255.255:80; localhost:3128; 172.32.0.1:80; "
            "100.128.0.1:80; 192.0.2.5:65535; 203.0.113.9:3128; = 17/2/0");
  // A NUL ends a value where the line's blanks are no longer trimmed: a
  // written entry may not end with a blank that would be lost on reading.
  const std::string database =
      "; ours\r\n[ ip ]\r\ncount=5\r\n0=192.0.2.10:8080;8\r\n1= 10.1.1.1:80 ;1;x;y\f\x1a\0z\r\n"
      "1_block=1\r\n2=Host.Example:80;24\r\n3=socks5://"
      "192.0.2.1:1080;3\r\n4=203.0.113.1:80\r\n5=192.0.2.6:80;1\r\n"s;
  EXPECT_EQ(listed(database, SourceOrigin::Network, &format),
            "192.0.2.10:8080;8 host.example:80;24 203.0.113.1:80; = 3/1/1");
  EXPECT_EQ(format, ListFormat::Database);
  EXPECT_EQ(listed(database, SourceOrigin::Local),
            "192.0.2.10:8080;8 10.1.1.1:80;1;x;y! host.example:80;24 socks5://192.0.2.1:1080;3 "
            "203.0.113.1:80; = 5/0/0");
}

std::string utf16(std::string_view ascii) {
  std::string bytes = "\xFF\xFE";
  for (const char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

SourceList fetched(std::string address, std::optional<std::string> body,
                   SourceOrigin origin = SourceOrigin::Network) {
  return {std::move(address), origin, {std::move(body), FetchFailure::Status, 404}};
}

// In source order, the first occurrence of an address wins; what was blocked
// stays blocked, by address, even where only a duplicate was; ip.ini entries keep their country, the others
// are looked up. "New" counts what the old database did not hold.
TEST(Merge, FirstOccurrenceWinsBlockMarksFollowTheAddressAndCountriesAreKept) {
  const std::string old =
      utf16("[IP]\r\ncount=3\r\n0=192.0.2.1:80;8\r\n1=198.51.100.2:8080;1\r\n1_block=1\r\n"
            "2=192.0.2.1:80;8\r\n2_block=1\r\n");
  const std::vector<SourceList> sources = {
      fetched("a", utf16("[IP]\r\ncount=2\r\n0=203.0.113.1:80;5\r\n1=198.51.100.2:08080;9\r\n")),
      fetched("b", "198.51.100.2:8080\n203.0.113.1:80\n192.0.2.1:80\n203.0.113.50:3128\n"),
      fetched("c", std::nullopt), fetched("d", "<html>Not found</html>")};
  std::vector<std::string> asked;
  const MergeResult merged = merge_sources(sources, old, [&](std::string_view host) {
    asked.emplace_back(host);
    return host == "203.0.113.50" ? std::optional(7) : std::nullopt;
  });
  EXPECT_EQ(merged.database,
            "[IP]\r\ncount=4\r\n0=203.0.113.1:80;5\r\n1=198.51.100.2:8080;9\r\n1_block=1\r\n"
            "2=192.0.2.1:80;\r\n2_block=1\r\n3=203.0.113.50:3128;7\r\n");
  EXPECT_EQ(asked, (std::vector<std::string>{"192.0.2.1", "203.0.113.50"}));
  EXPECT_EQ(std::tuple(merged.entries, merged.loadable, merged.from_plain_lists),
            std::tuple(4, 2, 1));
  std::string reports;
  for (const SourceReport& r : merged.sources) {
    reports += r.address + (r.format == ListFormat::Database ? " ini " : " plain ") +
               std::to_string(r.counts.proxies) + "/" + std::to_string(r.added) +
               (r.failure ? " failed " + std::to_string(r.status) : "") + "; ";
  }
  EXPECT_EQ(reports, "a ini 2/1; b plain 4/1; c plain 0/0 failed 404; d plain 0/0; ");

  // Up to the loader's limit: one more is dropped, and the loader reads them all.
  std::string many;
  for (int i = 0; i <= kMaxDatabaseEntries; ++i) {
    many += "198.51." + std::to_string(i / 250) + "." + std::to_string(i % 250) + ":80\n";
  }
  const MergeResult full =
      merge_sources({fetched("big", many), fetched("more", "192.0.2.1:80")}, "", {});
  EXPECT_EQ(std::tuple(full.entries, full.sources[0].counts.proxies, full.sources[0].added,
                       full.sources[1].added),
            std::tuple(kMaxDatabaseEntries, kMaxDatabaseEntries + 1, kMaxDatabaseEntries, 0));
  EXPECT_EQ(load_records(full.database, std::nullopt).size(), std::size_t(kMaxDatabaseEntries));

  // Odd entries of the user's own file are written so that they read back as
  // they were: no blanks the reader would trim, a quoted value in one more
  // pair of quotes, and an address of blanks alone not at all.
  const std::string odd = "[IP]\r\ncount=3\r\n0=\"\f\v\x8e;0\"\r\n1=\"\"q;1;z\"\"\r\n2=\"\f\"\r\n";
  const MergeResult once = merge_sources({fetched("own", odd, SourceOrigin::Local)}, odd, {});
  EXPECT_EQ(once.database, "[IP]\r\ncount=2\r\n0=\x8e;0\r\n1=\"\"q;1;z\"\"\r\n");
  EXPECT_EQ(merge_sources({fetched("own", once.database, SourceOrigin::Local)}, once.database, {})
                .database,
            once.database);
}

// A line per source, in either language; an address's own "%2" stays.
TEST(Report, SaysPerSourceWhatItGaveOrWhyItFailed) {
  std::vector<SourceReport> sources(8);
  sources[0] = {"http://a/ip%20list", std::nullopt, 0, ListFormat::Plain, {120, 3, 2}, 40};
  sources[1] = {"file:C:\\p.txt", std::nullopt, 0, ListFormat::Plain, {5, 0, 0}, 0};
  sources[2] = {"http://b", std::nullopt, 0, ListFormat::Plain, {}, 0};
  const FetchFailure failures[] = {FetchFailure::Status, FetchFailure::Unreachable,
                                   FetchFailure::Redirect, FetchFailure::TimedOut,
                                   FetchFailure::BadAddress};
  for (int i = 0; i < 5; ++i) {
    sources[3 + i].address = "s" + std::to_string(i);
    sources[3 + i].failure = failures[i];
    sources[3 + i].status = 404;
  }
  BuiltinStringTable strings;
  const auto in = [&](int lng) {
    return update_report(true, false, sources, [&](int n) { return strings.load(100 + n + lng); });
  };
  EXPECT_EQ(in(0),
            "Aktulizace byla úspěšně dokončena !\r\n\r\n"
            "http://a/ip%20list: 120 proxy, z toho nových 40 (přeskočeno: 3 jiného druhu než HTTP, "
            "2 z místních sítí)\r\nfile:C:\\p.txt: 5 proxy, z toho nových 0\r\n"
            "http://b: nezdařilo se – neobsahuje žádnou proxy\r\n"
            "s0: nezdařilo se – server odpověděl kódem 404\r\ns1: nezdařilo se – nedostupné\r\n"
            "s2: nezdařilo se – přesměrování odmítnuto (více než 5, nebo z https na http)\r\n"
            "s3: nezdařilo se – vypršel čas (15 s bez dat, nebo 60 s celkem)\r\n"
            "s4: nezdařilo se – není to adresa http://, https:// ani file:");
  EXPECT_EQ(in(100),
            "Update was completed successfull !\r\n\r\n"
            "http://a/ip%20list: 120 proxies, 40 of them new (skipped: 3 other than HTTP, "
            "2 of local networks)\r\nfile:C:\\p.txt: 5 proxies, 0 of them new\r\n"
            "http://b: failed – holds no proxy\r\ns0: failed – the server answered 404\r\n"
            "s1: failed – cannot be reached\r\n"
            "s2: failed – redirect refused (more than 5, or from https to http)\r\n"
            "s3: failed – timed out (15 s without data, or 60 s in all)\r\n"
            "s4: failed – not an http://, https:// or file: address");
  EXPECT_EQ(update_report(false, true, {}, [&](int n) { return strings.load(200 + n); }),
            "Update was aborted !\r\nThe database could not be saved !\r\n");
}

TEST(Sources, SettingFileAddressesAndRedirects) {
  EXPECT_EQ(source_addresses(" \r\n", "http://u"),
            (std::vector<std::string>{"http://u", kPublicLists[0], kPublicLists[1]}));
  EXPECT_EQ(source_addresses(" file:C:\\a.txt \r\n\r\nhttps://b\nftp://c", "http://u"),
            (std::vector<std::string>{"file:C:\\a.txt", "https://b", "ftp://c"}));
  EXPECT_EQ(std::tuple(source_kind("HTTPS://x"), source_kind("File:x"), source_kind("ftp://x")),
            std::tuple(SourceKind::Web, SourceKind::File, SourceKind::Invalid));
  for (const auto& [address, path] : {std::pair{"file:///C:/a%20b/c.txt", "C:\\a b\\c.txt"},
                                      {"file:C:\\a b\\c.txt", "C:\\a b\\c.txt"},
                                      {"file://localhost/C:/x%zz", "C:\\x%zz"},
                                      {"file://server/share/x.txt", "\\\\server\\share\\x.txt"}}) {
    EXPECT_EQ(file_path(address), path) << address;
  }

  // Redirects: at most 5, and never from https to http.
  for (const auto& [chain, outcome] :
       {std::pair<std::vector<std::string>, std::string>{{"https://a", "HTTPS://b", "http://c"},
                                                         "refused"},
        {{"http://a", "https://b", "https://c"}, "body from https://c"},
        {{"http://a", "http://a", "http://a", "http://a", "http://a", "http://a"},
         "body from http://a"},
        {std::vector<std::string>(7, "http://a"), "refused"}}) {
    std::vector<std::string> asked;
    const FetchResult result = follow_redirects(chain[0], [&](const std::string& url) {
      asked.push_back(url);
      if (asked.size() < chain.size()) return FetchStep{chain[asked.size()], {}};
      return FetchStep{std::nullopt, {"body from " + url}};
    });
    EXPECT_EQ(result.body                                ? *result.body
              : result.failure == FetchFailure::Redirect ? "refused"
                                                         : "?",
              outcome);
    EXPECT_TRUE(std::find(asked.begin(), asked.end(), "http://c") == asked.end());
  }
}

using Update = FormTest;
const std::string kFresh = "[IP]\r\ncount=2\r\n0=203.0.113.70:3128;3\r\n1=203.0.113.71:3128;3\r\n";
const std::string kList = "203.0.113.80:3128\n198.51.100.2:8080 US\nsocks5://203.0.113.81:1080\n";
const std::string kOffer = "Proxanto, exclamation yes/no: Proxy z veřejných seznamů";

// Three sources, at most 4 downloads at once: the merge keeps a block mark,
// the report names each source, and the offer to check starts the check.
TEST_F(Update, MergesEverySourceKeepsBlockMarksAndOffersACheckOfPlainLists) {
  const std::string sources =
      "http://s/1\r\nhttp://s/2\r\nhttp://s/3\r\nhttp://s/4\r\nhttp://s/5\r\n"
      "file:///C:/mine.txt\r\ngopher://x";
  os.save("sources", sources);
  os.served = {{"http://s/1", kFresh}, {"http://s/2", kList}};
  os.files.files["C:\\mine.txt"] = "192.168.1.20:3128";
  ASSERT_FALSE(start(kWorkedExample + "4=198.51.100.2:8080;3\r\n4_block=1\r\n"));
  for (const int answer : {kIdNo, kIdYes}) {
    os.boxes.clear();
    os.answers = {kIdOk, answer};
    form.menu_click("upd", 0);
    EXPECT_EQ(os.started.size() - os.finished, 4u);
    os.finish(form, 1);
    EXPECT_EQ(os.started.size() - os.finished, 4u);
    os.finish(form);
    EXPECT_EQ(os.ini(),
              "[IP]\r\ncount=5\r\n0=203.0.113.70:3128;3\r\n1=203.0.113.71:3128;3\r\n"
              "2=203.0.113.80:3128;\r\n3=198.51.100.2:8080;\r\n3_block=1\r\n"
              "4=192.168.1.20:3128;\r\n");
    ASSERT_EQ(os.boxes.size(), 2u);
    EXPECT_TRUE(os.boxes[1].starts_with(kOffer));
    EXPECT_EQ(std::tuple(form.ip_count, form.menu("working").checked, os.runs.size()),
              std::tuple(4, answer == kIdYes, answer == kIdYes ? 1u : 0u));
  }
  // With the check, the connection stays direct until it has found a proxy
  // that works; the counts are shown over that proxy's announcement. A stop
  // meanwhile holds.
  EXPECT_EQ(os.proxy(), "- off");
  const auto finish_check = [&] {
    for (int i = 0; i < 4; ++i) {
      form.probe_done(os.runs.back().first, i,
                      {i == 2 ? ProbeResult::Outcome::Working : ProbeResult::Outcome::Refused, 9});
    }
  };
  form.obnovit_Click();
  finish_check();
  EXPECT_EQ(os.proxy(), "- off");
  os.answers = {kIdOk, kIdYes};
  form.menu_click("upd", 0);
  os.finish(form);
  finish_check();
  EXPECT_EQ(os.proxy() + " " + os.popup_lines,
            "203.0.113.80:3128 on Ověření dokončeno|Funkčních 1: elitních 0, anonymních 0, "
            "prozrazujících vaši adresu 0, neposouzených 1");
  EXPECT_EQ(os.reg(RegRoot::CurrentUser, "Software\\Marvedo\\Quillet", "only_working"), "1");
  EXPECT_EQ(os.boxes[0],
            "Proxanto, information ok: Aktulizace byla úspěšně dokončena !\r\n\r\n"
            "http://s/1: 2 proxy, z toho nových 0\r\n"
            "http://s/2: 2 proxy, z toho nových 0 (přeskočeno: 1 jiného druhu než HTTP, 0 z "
            "místních sítí)\r\n"
            "http://s/3: nezdařilo se – server odpověděl kódem 404\r\n"
            "http://s/4: nezdařilo se – server odpověděl kódem 404\r\n"
            "http://s/5: nezdařilo se – server odpověděl kódem 404\r\n"
            "file:///C:/mine.txt: 1 proxy, z toho nových 0\r\n"
            "gopher://x: nezdařilo se – není to adresa http://, https:// ani file:");
}

// A copied list joins the database as a file of the user's own would; with
// no proxy in it, nothing is written.
TEST_F(Update, ProxiesFromTheClipboardJoinTheDatabase) {
  ASSERT_FALSE(start());
  form.favIPsmenu_Click(0);  // none stored: the proxy in use stays entry 0
  form.menu_click("st", 0);
  const std::string stopped = shown();
  for (const char* copied : {"no proxy here", "192.0.2.10:8080\n10.0.0.7:3128 mine\n"}) {
    os.clipboard = copied;
    form.menu_click("clipadd", 0);
  }
  EXPECT_EQ(shown(), stopped) << "adding proxies changes no proxy and keeps a stop";
  EXPECT_EQ(os.boxes, (std::vector<std::string>{
                          "Proxanto, exclamation ok: Ve schránce není žádná proxy.",
                          "Proxanto, information ok: Ze schránky přidáno nových proxy: 1 (ve "
                          "schránce jich bylo 2)."}));
  EXPECT_EQ(os.ini(),
            "[IP]\r\ncount=6\r\n0=192.0.2.10:8080;8\r\n1=198.51.100.7:3128;1\r\n"
            "1_block=1\r\n2=203.0.113.25:80;8\r\n3=192.0.2.200:8000;24\r\n"
            "4=198.51.100.33:8080;8;x\r\n5=10.0.0.7:3128;\r\n");
  EXPECT_EQ(os.files.files[os.folder + "\\ip_backup.ini"], kWorkedExample);
  EXPECT_EQ(form.ip_count, 5);
}

}  // namespace
}  // namespace proxanto::testing
