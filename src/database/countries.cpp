#include "database/countries.h"

#include <algorithm>
#include <iterator>

#include "app/text.h"

namespace proxanto {

namespace {

struct Country {
  const char* code;
  const char* english;
  const char* czech;
};

// Ids 0-32: the program's first table, with its own spelling of the names.
constexpr Country kFirstTable[kFirstTableCount] = {
    {"TH", "Thailand", "Thajsko"},          {"CN", "China", "Čína"},
    {"DK", "Denmark", "Dánsko"},            {"JP", "Japan", "Japonsko"},
    {"LK", "Sri Lanka", "Srí Lanka"},       {"IR", "Iran", "Írán"},
    {"VN", "Vietnam", "Vietnam"},           {"PH", "Philippines", "Filipíny"},
    {"US", "United States", "Spojené Státy"}, {"TR", "Turkey", "Turecko"},
    {"TW", "Taiwan", "Tchaj-wan"},          {"ES", "Spain", "Španělsko"},
    {"HK", "Hong Kong", "Hongkong"},        {"DZ", "Algeria", "Alžírsko"},
    {"AU", "Australia", "Austrálie"},       {"KR", "South Korea", "Jižní Korea"},
    {"MX", "Mexico", "Mexiko"},             {"IT", "Italy", "Itálie"},
    {"NZ", "New Zealand", "Nový Zéland"},   {"PR", "Puerto Rico (US)", "Portoriko"},
    {"IN", "India", "Indie"},               {"BR", "Brazil", "Brazílie"},
    {"AR", "Argentina", "Argentina"},       {"BE", "Belgium", "Belgie"},
    {"RU", "Russian Federation", "Ruská Federace"}, {"VE", "Venezuela", "Venezuela"},
    {"ID", "Indonesia", "Indonésie"},       {"SG", "Singapore", "Singapur"},
    {"JO", "Jordan", "Jordánsko"},          {"CA", "Canada", "Kanada"},
    {"MY", "Malaysia", "Malajsie"},         {"SA", "Saudi Arabia", "Saudská Arábie"},
    {"CO", "Colombia", "Kolumbie"}};

// Ids from 33 on: every other country of ISO 3166-1, by alpha-2 code as the
// standard stood when they were given. The ids are stored by users, so a
// country the standard adds later is appended, never sorted in.
constexpr const char* kLaterCodes[kCountryCount - kFirstTableCount] = {
    "AD", "AE", "AF", "AG", "AI", "AL", "AM", "AO", "AQ", "AS", "AT", "AW", "AX", "AZ", "BA", "BB",
    "BD", "BF", "BG", "BH", "BI", "BJ", "BL", "BM", "BN", "BO", "BQ", "BS", "BT", "BV", "BW", "BY",
    "BZ", "CC", "CD", "CF", "CG", "CH", "CI", "CK", "CL", "CM", "CR", "CU", "CV", "CW", "CX", "CY",
    "CZ", "DE", "DJ", "DM", "DO", "EC", "EE", "EG", "EH", "ER", "ET", "FI", "FJ", "FK", "FM", "FO",
    "FR", "GA", "GB", "GD", "GE", "GF", "GG", "GH", "GI", "GL", "GM", "GN", "GP", "GQ", "GR", "GS",
    "GT", "GU", "GW", "GY", "HM", "HN", "HR", "HT", "HU", "IE", "IL", "IM", "IO", "IQ", "IS", "JE",
    "JM", "KE", "KG", "KH", "KI", "KM", "KN", "KP", "KW", "KY", "KZ", "LA", "LB", "LC", "LI", "LR",
    "LS", "LT", "LU", "LV", "LY", "MA", "MC", "MD", "ME", "MF", "MG", "MH", "MK", "ML", "MM", "MN",
    "MO", "MP", "MQ", "MR", "MS", "MT", "MU", "MV", "MW", "MZ", "NA", "NC", "NE", "NF", "NG", "NI",
    "NL", "NO", "NP", "NR", "NU", "OM", "PA", "PE", "PF", "PG", "PK", "PL", "PM", "PN", "PS", "PT",
    "PW", "PY", "QA", "RE", "RO", "RS", "RW", "SB", "SC", "SD", "SE", "SH", "SI", "SJ", "SK", "SL",
    "SM", "SN", "SO", "SR", "SS", "ST", "SV", "SX", "SY", "SZ", "TC", "TD", "TF", "TG", "TJ", "TK",
    "TL", "TM", "TN", "TO", "TT", "TV", "TZ", "UA", "UG", "UM", "UY", "UZ", "VA", "VC", "VG", "VI",
    "VU", "WF", "WS", "YE", "YT", "ZA", "ZM", "ZW"};

// Both names of every ISO 3166-1 country, sorted by code.
constexpr Country kIsoNames[] = {
#include "database/iso_country_names.inc"
};

const Country* iso_country(std::string_view code) {
  const auto by_code = [](const Country& c, std::string_view k) { return std::string_view(c.code) < k; };
  const auto found = std::lower_bound(std::begin(kIsoNames), std::end(kIsoNames), code, by_code);
  return found != std::end(kIsoNames) && std::string_view(found->code) == code ? found : nullptr;
}

// The names of every id, in one language: the first table's own, then the
// standard's.
std::vector<std::string> names(const char* Country::*name) {
  std::vector<std::string> out;
  out.reserve(kCountryCount);
  for (const Country& c : kFirstTable) out.emplace_back(c.*name);
  for (const char* code : kLaterCodes) {
    const Country* c = iso_country(code);
    out.emplace_back(c ? c->*name : code);
  }
  return out;
}

}  // namespace

std::vector<std::string> english_country_names() { return names(&Country::english); }
std::vector<std::string> czech_country_names() { return names(&Country::czech); }

std::string_view country_code(int id) {
  if (id < 0 || id >= kCountryCount) return {};
  return id < kFirstTableCount ? kFirstTable[id].code : kLaterCodes[id - kFirstTableCount];
}

std::optional<int> country_of_code(std::string_view alpha2) {
  for (int id = 0; id < kCountryCount; ++id) {
    if (country_code(id) == alpha2) return id;
  }
  return std::nullopt;
}

std::optional<int> country_id(std::string_view text) {
  const std::string_view t = trim_blanks(text);
  std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  if (i >= t.size() || t[i] < '0' || t[i] > '9') return std::nullopt;
  const std::int64_t id = leading_int(t);
  if (id < 0 || id >= kCountryCount) return std::nullopt;
  return static_cast<int>(id);
}

const std::string& country_name(const std::vector<std::string>& names, std::string_view id_text) {
  static const std::string kNoName;
  const auto id = country_id(id_text);
  if (!id || static_cast<std::size_t>(*id) >= names.size()) return kNoName;
  return names[static_cast<std::size_t>(*id)];
}

std::string country_tag(std::string_view id_text) {
  const auto id = country_id(id_text);
  return id ? std::to_string(*id) : std::string();
}

std::string with_country(std::string_view address, std::string_view name) {
  std::string caption;
  with_country(caption, address, name);
  return caption;
}

void with_country(std::string& caption, std::string_view address, std::string_view name) {
  caption.clear();
  caption.reserve(address.size() + name.size() + 3);
  caption.append(address);
  if (!name.empty()) caption.append(" (").append(name).append(")");
}

}  // namespace proxanto
