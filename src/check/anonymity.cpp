#include "check/anonymity.h"

#include <algorithm>

#include "app/text.h"

namespace proxanto {

namespace {

using Anonymity = ProbeResult::Anonymity;

// Headers by which a proxy announces itself or passes on the client's
// address, in the form fields are compared: lower case, "-" for "_".
constexpr std::string_view kProxyHeaders[] = {
    "via",           "x-forwarded-for",  "forwarded",          "forwarded-for",
    "x-forwarded",   "x-forwarded-host", "x-forwarded-server", "proxy-connection",
    "x-proxy-id",    "x-proxy-connection", "proxy-agent",      "client-ip",
    "x-client-ip",   "x-real-ip",        "x-originating-ip",   "true-client-ip",
    "x-bluecoat-via",
};
constexpr std::string_view kAddressFields[] = {"origin", "remote-addr", "ip"};

// "X_Forwarded_For" and "x-forwarded-for" alike; the positions stay.
std::string folded(std::string_view text) {
  std::string out = ascii_lower(text);
  std::replace(out.begin(), out.end(), '_', '-');
  return out;
}

bool name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// Where the value of field `name` begins in folded text, after its ":" or
// "="; npos when there is no such field. A name counts on its own or after
// the "HTTP_" of a dump of server variables, and only as a field's name.
std::size_t field_value(std::string_view text, std::string_view name) {
  for (std::size_t at = text.find(name); at != std::string_view::npos;
       at = text.find(name, at + 1)) {
    const std::size_t before = at >= 5 && text.substr(at - 5, 5) == "http-" ? at - 5 : at;
    const std::size_t end = at + name.size();
    if ((before > 0 && name_char(text[before - 1])) || (end < text.size() && name_char(text[end]))) {
      continue;
    }
    const std::size_t sign = text.find_first_not_of("\" \t", end);
    if (sign != std::string_view::npos && (text[sign] == ':' || text[sign] == '=')) return sign + 1;
  }
  return std::string_view::npos;
}

bool address_char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == '.' || c == ':';
}

// Whether the address stands in the folded text on its own, not as a part
// of a longer one ("10.0.0.1" is not in "10.0.0.12").
bool contains_address(std::string_view text, std::string_view address) {
  const bool v6 = address.find(':') != std::string_view::npos;
  const auto joins = [v6](char c) {
    return (c >= '0' && c <= '9') || c == '.' || (v6 && ((c >= 'a' && c <= 'f') || c == ':'));
  };
  for (std::size_t at = text.find(address); at != std::string_view::npos;
       at = text.find(address, at + 1)) {
    const std::size_t end = at + address.size();
    if ((at == 0 || !joins(text[at - 1])) && (end == text.size() || !joins(text[end]))) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<std::string> client_addresses(std::string_view answer) {
  const std::string text = folded(answer);
  std::vector<std::string> found;
  for (const std::string_view field : kAddressFields) {
    std::size_t at = field_value(text, field);
    if (at == std::string::npos) continue;
    // A list such as "198.51.100.7, 203.0.113.9", quoted or not.
    at = text.find_first_not_of("\" \t", at);
    while (at < text.size() && address_char(text[at])) {
      std::size_t end = at;
      while (end < text.size() && address_char(text[end])) ++end;
      const std::string_view word(text.data() + at, end - at);
      const bool digits = word.find_first_of("0123456789") != std::string_view::npos;
      if (digits && (std::count(word.begin(), word.end(), '.') == 3 ||
                     std::count(word.begin(), word.end(), ':') >= 2)) {
        found.emplace_back(word);
      }
      at = text.find_first_not_of(", \t", end);
    }
  }
  return found;
}

Anonymity judge_anonymity(std::string_view direct, std::string_view proxied) {
  const std::vector<std::string> own = client_addresses(direct);
  if (own.empty()) return Anonymity::NoJudge;
  // Anything else than the judge's own answer (an error page, a login page)
  // tells nothing.
  if (client_addresses(proxied).empty()) return Anonymity::Unknown;
  const std::string through = folded(proxied);
  for (const std::string& address : own) {
    if (contains_address(through, address)) return Anonymity::Transparent;
  }
  const std::string alone = folded(direct);
  for (const std::string_view header : kProxyHeaders) {
    if (field_value(through, header) != std::string::npos &&
        field_value(alone, header) == std::string::npos) {
      return Anonymity::Anonymous;
    }
  }
  return Anonymity::Elite;
}

}  // namespace proxanto
