#include "sources/sources.h"

#include <algorithm>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "app/text.h"
#include "database/countries.h"
#include "database/entries.h"
#include "database/profile_file.h"
#include "geo/country_ranges.h"

namespace proxanto {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool starts_with_lower(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && ascii_lower(text.substr(0, prefix.size())) == prefix;
}

// The position of the first of the characters `a` and `b` from `pos` on,
// or the end. (Scanning once beats find_first_of, which searches the set
// for every character.)
std::size_t find_either(std::string_view text, std::size_t pos, char a, char b) {
  while (pos < text.size() && text[pos] != a && text[pos] != b) ++pos;
  return pos;
}

// Each line without its line break; CR, LF and CR LF all end a line.
template <typename Visit>
void for_each_line(std::string_view text, Visit visit) {
  for (std::size_t pos = 0; pos < text.size();) {
    // LF ends nearly every line: found with memchr, then a CR looked for
    // in the line alone.
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    end = std::min(end, text.substr(0, end).find('\r', pos));
    visit(text.substr(pos, end - pos));
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Letters, digits and hyphens in dot-separated labels of 1-63 characters,
// none starting or ending with a hyphen; the last label is not all digits.
bool host_name(std::string_view host) {
  if (host.empty() || host.size() > 253) return false;
  bool last_all_digits = true;
  for (std::size_t pos = 0; pos <= host.size();) {
    std::size_t dot = host.find('.', pos);
    if (dot == std::string_view::npos) dot = host.size();
    const std::string_view label = host.substr(pos, dot - pos);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
      return false;
    }
    last_all_digits = true;
    for (const char c : label) {
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      if (!letter && !is_digit(c) && c != '-') return false;
      if (!is_digit(c)) last_all_digits = false;
    }
    pos = dot + 1;
  }
  return !last_all_digits;
}

// Addresses no public proxy can have: this network, private networks, the
// shared address space, loopback, link-local, multicast and reserved.
bool local_network(std::uint32_t a) {
  static constexpr Ipv4Block kLocal[] = {{0x00000000, 8},  {0x0A000000, 8},  {0x64400000, 10},
                                         {0x7F000000, 8},  {0xA9FE0000, 16}, {0xAC100000, 12},
                                         {0xC0A80000, 16}, {0xE0000000, 3}};
  return std::any_of(std::begin(kLocal), std::end(kLocal),
                     [a](const Ipv4Block& block) { return in_block(a, block); });
}

enum class Verdict { Proxy, OtherKind, LocalNetwork, Junk };

// One address as a list writes it: host:port, optionally after a scheme and
// before a "/". A proxy's address and host go to `out`, as views into
// `token` or, when they had to be normalised, into `scratch`.
Verdict parse_address(std::string_view token, SourceOrigin origin, std::string& scratch,
                      ListedProxy& out) {
  bool other_scheme = false;
  if (const std::size_t scheme = token.find(':');
      scheme != std::string_view::npos && token.substr(scheme, 3) == "://") {
    const std::string name = ascii_lower(token.substr(0, scheme));
    other_scheme = name != "http" && name != "https";
    token.remove_prefix(scheme + 3);
  }
  if (token.ends_with('/')) token.remove_suffix(1);
  const std::size_t colon = token.rfind(':');
  if (colon == std::string_view::npos) return Verdict::Junk;
  const std::string_view host = token.substr(0, colon);
  std::string_view port = token.substr(colon + 1);
  if (port.empty() || port.size() > 5) return Verdict::Junk;
  std::uint32_t port_number = 0;
  for (const char c : port) {
    if (!is_digit(c)) return Verdict::Junk;
    port_number = port_number * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (port_number == 0 || port_number > 65535) return Verdict::Junk;
  const std::optional<std::uint32_t> ip = parse_ipv4(host);
  bool numeric = true;
  for (std::size_t i = 0; !ip && i < host.size(); ++i)
    numeric = numeric && (is_digit(host[i]) || host[i] == '.');
  if (!ip && (numeric || !host_name(host))) return Verdict::Junk;
  if (other_scheme) return Verdict::OtherKind;
  const std::string lower = numeric ? std::string() : ascii_lower(host);
  const bool loopback_name = lower == "localhost" || lower.ends_with(".localhost");
  if (origin == SourceOrigin::Network && ((ip && local_network(*ip)) || loopback_name)) {
    return Verdict::LocalNetwork;
  }
  while (port.size() > 1 && port[0] == '0') port.remove_prefix(1);
  if ((numeric || lower == host) && port.data() == host.data() + colon + 1) {
    out.address = token.substr(0, colon + 1 + port.size());
    out.host = host;
  } else {
    scratch.assign(numeric ? host : std::string_view(lower)).append(":").append(port);
    out.address = scratch;
    out.host = std::string_view(scratch).substr(0, host.size());
  }
  return Verdict::Proxy;
}

// Counts what a list held besides its proxies; true for a proxy.
bool count(Verdict verdict, ListCounts& counts) {
  if (verdict == Verdict::OtherKind) ++counts.other_kinds;
  if (verdict == Verdict::LocalNetwork) ++counts.local_networks;
  if (verdict == Verdict::Proxy) ++counts.proxies;
  return verdict == Verdict::Proxy;
}

// A line "[IP]" (blanks allowed, any case), as the profile reader finds it.
bool has_ip_section(std::string_view text) {
  for (std::size_t at = text.find('['); at != std::string_view::npos; at = text.find('[', at + 1)) {
    std::size_t begin = at;
    while (begin > 0 && (text[begin - 1] == ' ' || text[begin - 1] == '\t')) --begin;
    if (begin > 0 && text[begin - 1] != '\n' && text[begin - 1] != '\r') continue;
    const std::string_view line =
        trim_blanks(text.substr(at, find_either(text, at, '\r', '\n') - at));
    const std::size_t close = line.rfind(']');
    if (ascii_lower(trim_blanks(line.substr(1, close - 1))) == "ip") return true;
  }
  return false;
}

void read_database(std::string_view text, SourceOrigin origin, ListCounts& counts,
                   const std::function<void(const ListedProxy&)>& visit) {
  std::string scratch;
  for_each_entry(text, [&](int, std::string_view value, bool blocked) {
    ListedProxy proxy;
    const std::size_t end = value.find(';');
    // Nothing the reader would trim from a line's start is kept either.
    const std::string_view address = trim_profile_spaces(value.substr(0, end));
    const std::string_view after = end == std::string_view::npos ? "" : value.substr(end + 1);
    const std::size_t country_end = after.find(';');
    proxy.country = trim_blanks(after.substr(0, country_end));
    // A written entry ends with these fields: nothing the reader would trim
    // from the line's end is kept, so that the entry reads back as written.
    proxy.rest = country_end == std::string_view::npos
                     ? ""
                     : trim_profile_spaces(after.substr(country_end));
    proxy.blocked = blocked;
    const Verdict verdict = parse_address(address, origin, scratch, proxy);
    // The user's own database keeps what the loader would load, whatever it is.
    if (verdict != Verdict::Proxy && origin == SourceOrigin::Local) {
      if (address.empty()) return;  // blanks alone: no entry once written
      proxy.address = address;
      ++counts.proxies;
      visit(proxy);
      return;
    }
    if (count(verdict, counts)) visit(proxy);
  });
}

void read_plain(std::string_view text, SourceOrigin origin, ListCounts& counts,
                const std::function<void(const ListedProxy&)>& visit) {
  std::string scratch;
  for_each_line(text, [&](std::string_view line) {
    line = trim_blanks(line);
    const std::string_view token = line.substr(0, find_either(line, 0, ' ', '\t'));
    ListedProxy proxy;
    if (!token.empty() && count(parse_address(token, origin, scratch, proxy), counts)) visit(proxy);
  });
}

}  // namespace

namespace {

std::string reason(const SourceReport& source, const MessageText& message) {
  if (!source.failure) return message(60);
  switch (*source.failure) {
    case FetchFailure::Unreachable:
      return message(53);
    case FetchFailure::Status:
      return fill_in(message(54), {std::to_string(source.status)});
    case FetchFailure::Redirect:
      return message(55);
    case FetchFailure::Incomplete:
      return message(57);
    case FetchFailure::TimedOut:
      return message(58);
    case FetchFailure::BadAddress:
      break;
  }
  return message(59);
}

}  // namespace

std::vector<std::string> source_addresses(std::string_view setting, const std::string& update_url) {
  std::vector<std::string> addresses;
  for_each_line(setting, [&](std::string_view line) {
    if (!trim_blanks(line).empty()) addresses.emplace_back(trim_blanks(line));
  });
  if (addresses.empty()) {
    addresses.push_back(update_url);
    addresses.insert(addresses.end(), std::begin(kPublicLists), std::end(kPublicLists));
  }
  return addresses;
}

SourceKind source_kind(std::string_view address) {
  if (starts_with_lower(address, "http://") || starts_with_lower(address, "https://")) {
    return SourceKind::Web;
  }
  return starts_with_lower(address, "file:") ? SourceKind::File : SourceKind::Invalid;
}

std::string file_path(std::string_view address) {
  std::string_view rest = address.substr(std::min<std::size_t>(5, address.size()));
  std::string path;
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    const std::string_view host = rest.substr(0, rest.find_first_of("/\\"));
    if (!host.empty() && ascii_lower(host) != "localhost") path = "\\\\";
    if (path.empty()) rest.remove_prefix(host.size());
  }
  // "/C:/..." names the drive C:.
  if (rest.size() >= 3 && (rest[0] == '/' || rest[0] == '\\') && rest[2] == ':')
    rest.remove_prefix(1);
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const auto hex = [&](std::size_t at) {
      const char c = at < rest.size() ? static_cast<char>(rest[at] | 0x20) : 'x';
      return is_digit(c) ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    if (rest[i] == '%' && hex(i + 1) >= 0 && hex(i + 2) >= 0) {
      path += static_cast<char>(hex(i + 1) * 16 + hex(i + 2));
      i += 2;
    } else {
      path += rest[i] == '/' ? '\\' : rest[i];
    }
  }
  return path;
}

ListFormat read_list(std::string_view text, SourceOrigin origin, ListCounts& counts,
                     const std::function<void(const ListedProxy&)>& visit) {
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  if (has_ip_section(text)) {
    read_database(text, origin, counts, visit);
    return ListFormat::Database;
  }
  read_plain(text, origin, counts, visit);
  return ListFormat::Plain;
}

MergeResult merge_sources(const std::vector<SourceList>& sources, std::string_view old_database,
                          const CountryLookup& lookup) {
  // Addresses are kept as views: into the lists themselves, into their
  // decoded copies, or into `normalised` for those a list wrote otherwise.
  std::deque<std::string> decoded, normalised;
  const auto text_of = [&](std::string_view bytes) -> std::string_view {
    if (!bytes.starts_with("\xFF\xFE") && !bytes.starts_with("\xFE\xFF")) return bytes;
    return decoded.emplace_back(profile_text(std::string(bytes)));
  };
  const auto within = [](std::string_view address, std::string_view text) {
    const std::less_equal<const char*> before;
    return before(text.data(), address.data()) &&
           before(address.data() + address.size(), text.data() + text.size());
  };
  const auto stable = [&](std::string_view address, std::string_view text) -> std::string_view {
    return within(address, text) ? address : normalised.emplace_back(address);
  };

  // Every address of the old database, and whether it was blocked: in any
  // of its entries, for a duplicate may carry the user's mark.
  std::unordered_map<std::string_view, bool> old_entries;
  ListCounts ignored;
  const std::string_view old_text = text_of(old_database);
  read_list(old_text, SourceOrigin::Local, ignored, [&](const ListedProxy& proxy) {
    old_entries[stable(proxy.address, old_text)] |= proxy.blocked;
  });

  MergeResult result;
  std::unordered_set<std::string_view> seen;
  std::string entries, value;
  for (const SourceList& source : sources) {
    SourceReport& report = result.sources.emplace_back();
    report.address = source.address;
    if (!source.fetched.body) {
      report.failure = source.fetched.failure;
      report.status = source.fetched.status;
      continue;
    }
    const std::string_view text = text_of(*source.fetched.body);
    int loadable = 0;
    report.format = read_list(text, source.origin, report.counts, [&](const ListedProxy& proxy) {
      if (result.entries >= kMaxDatabaseEntries) return;
      // One lookup for the usual address, which is part of the list's text.
      if (within(proxy.address, text) ? !seen.insert(proxy.address).second
                                      : seen.contains(proxy.address)) {
        return;
      }
      if (!within(proxy.address, text)) seen.insert(normalised.emplace_back(proxy.address));
      const auto old = old_entries.find(proxy.address);
      const bool blocked = proxy.blocked || (old != old_entries.end() && old->second);
      const std::string n = std::to_string(result.entries++);
      value.assign(proxy.address).append(";");
      // A country is written as the loader reads it: " 08" and "8x" are 8.
      std::optional<int> id = country_id(proxy.country);
      if (!id && lookup && !proxy.host.empty()) id = lookup(proxy.host);
      if (id) value.append(std::to_string(*id));
      value.append(proxy.rest);
      // A value that starts and ends with the same quote loses that pair on
      // reading (only an odd entry of the user's own file can): written in
      // one more pair, it reads back as it was.
      const bool quoted =
          (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
      entries.append(n).append(quoted ? "=\"" : "=").append(value);
      entries.append(quoted ? "\"\r\n" : "\r\n");
      if (blocked) entries.append(n).append("_block=1\r\n");
      if (old == old_entries.end()) ++report.added;
      if (!blocked) ++loadable;
    });
    result.loadable += loadable;
    if (report.format == ListFormat::Plain) result.from_plain_lists += loadable;
  }
  result.database = "[IP]\r\ncount=" + std::to_string(result.entries) + "\r\n";
  result.database += entries;
  return result;
}

std::string update_report(bool updated, bool write_failed, const std::vector<SourceReport>& sources,
                          const MessageText& message) {
  std::string text = message(updated ? 27 : 28);
  if (write_failed) text += "\r\n" + message(56);
  text += "\r\n";
  for (const SourceReport& source : sources) {
    text += "\r\n";
    if (source.failure || source.counts.proxies == 0) {
      text += fill_in(message(52), {source.address, reason(source, message)});
      continue;
    }
    text += fill_in(message(50), {source.address, std::to_string(source.counts.proxies),
                                  std::to_string(source.added)});
    if (source.counts.other_kinds > 0 || source.counts.local_networks > 0) {
      text += fill_in(message(51), {std::to_string(source.counts.other_kinds),
                                    std::to_string(source.counts.local_networks)});
    }
  }
  return text;
}

}  // namespace proxanto
