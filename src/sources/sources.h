#pragma once
// Proxy lists: the addresses the update fetches them from, the formats they
// come in (the program's own ip.ini, and the plain lists that public proxy
// lists are published as), and the merge of several lists into one ip.ini.
// Plain functions over plain data; Form1 only feeds them and shows the result.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ports.h"
#include "database/entries.h"

namespace proxanto {

// The two public lists fetched after the maker's database when the setting
// "sources" is absent. Both are third-party and checked by nobody.
inline constexpr const char* kPublicLists[] = {
    "https://raw.githubusercontent.com/TheSpeedX/PROXY-List/master/http.txt",
    "https://raw.githubusercontent.com/monosans/proxy-list/main/proxies/http.txt",
};

// The addresses of the setting "sources" (one a line, blanks around them and
// empty lines ignored); when it names none, `update_url` then the public lists.
std::vector<std::string> source_addresses(std::string_view setting, const std::string& update_url);

enum class SourceKind { Web, File, Invalid };
// By the address's scheme: http:// and https:// are fetched, file: is read.
SourceKind source_kind(std::string_view address);
// The path of a file: address in the platform's form: "file:///C:/a%20b.txt",
// "file:C:\a b.txt" and "file://localhost/C:/a b.txt" are all C:\a b.txt,
// "file://server/share/x.txt" is \\server\share\x.txt.
std::string file_path(std::string_view address);

// Network lists may not point at the user's own network; a list of the
// user's own (a file, the clipboard, ip.ini) may.
enum class SourceOrigin { Network, Local };
enum class ListFormat { Database, Plain };

// One proxy of a list. The views stay valid during the visit only.
struct ListedProxy {
  std::string_view address;  // host:port as ProxyServer takes it, the host in lower case
  std::string_view host;     // its host part
  std::string_view country;  // an ip.ini entry's country field; empty for a plain list
  std::string_view rest;     // an ip.ini entry's further fields, each with its ";"
  bool blocked = false;      // an ip.ini entry with a block mark
};

// What a list held besides its proxies.
struct ListCounts {
  int proxies = 0;         // proxies given, in order, duplicates included
  int other_kinds = 0;     // socks4://, socks5:// and other schemes than http(s)
  int local_networks = 0;  // in a network list, addresses of a local network
};

// Tells the format of a list by its content (an [IP] section makes it the
// program's own) and visits its proxies in order. `text` is decoded
// (profile_text); a UTF-8 byte-order mark is allowed. A plain list gives one
// proxy a line: host:port, with http:// or https:// before it or not, and
// anything after a blank ignored; every other line is skipped.
ListFormat read_list(std::string_view text, SourceOrigin origin, ListCounts& counts,
                     const std::function<void(const ListedProxy&)>& visit);

// One list to merge: where it came from and what was fetched.
struct SourceList {
  std::string address;  // as configured, for the report
  SourceOrigin origin = SourceOrigin::Network;
  FetchResult fetched;  // an address of neither kind fails with BadAddress
};

struct SourceReport {
  std::string address;
  std::optional<FetchFailure> failure;  // nothing when the list was fetched
  int status = 0;
  ListFormat format = ListFormat::Plain;
  ListCounts counts;
  int added = 0;  // proxies of this list in the result that the old database did not hold
};

struct MergeResult {
  std::string database;  // ip.ini in the program's own format, CR LF lines
  int entries = 0;
  int loadable = 0;          // entries without a block mark
  int from_plain_lists = 0;  // loadable entries that came from plain lists
  std::vector<SourceReport> sources;
};

// The country id of a proxy's host, when it is known.
using CountryLookup = std::function<std::optional<int>(std::string_view host)>;

// Merges the lists in order: the first occurrence of an address wins, up to
// kMaxDatabaseEntries entries. An address blocked in `old_database` (decoded
// or not) stays blocked; ip.ini entries keep their country, the others (and
// those whose country is no country id) get theirs from `lookup`.
MergeResult merge_sources(const std::vector<SourceList>& sources, std::string_view old_database,
                          const CountryLookup& lookup);

// Message n of the current language.
using MessageText = std::function<std::string(int n)>;


// The report of an update: message 27 or 28 (after a failed write, with
// message 56), then a line for each source.
std::string update_report(bool updated, bool write_failed, const std::vector<SourceReport>& sources,
                          const MessageText& message);

}  // namespace proxanto
