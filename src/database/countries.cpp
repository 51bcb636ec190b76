#include "database/countries.h"

#include "app/text.h"

namespace proxanto {

std::vector<std::string> english_country_names() {
  return {"Thailand",    "China",       "Denmark",          "Japan",
          "Sri Lanka",   "Iran",        "Vietnam",          "Philippines",
          "United States", "Turkey",    "Taiwan",           "Spain",
          "Hong Kong",   "Algeria",     "Australia",        "South Korea",
          "Mexico",      "Italy",       "New Zealand",      "Puerto Rico (US)",
          "India",       "Brazil",      "Argentina",        "Belgium",
          "Russian Federation", "Venezuela", "Indonesia",   "Singapore",
          "Jordan",      "Canada",      "Malaysia",         "Saudi Arabia",
          "Colombia"};
}

std::vector<std::string> czech_country_names() {
  return {"Thajsko",     "Čína",        "Dánsko",           "Japonsko",
          "Srí Lanka",   "Írán",        "Vietnam",          "Filipíny",
          "Spojené Státy", "Turecko",   "Tchaj-wan",        "Španělsko",
          "Hongkong",    "Alžírsko",    "Austrálie",        "Jižní Korea",
          "Mexiko",      "Itálie",      "Nový Zéland",      "Portoriko",
          "Indie",       "Brazílie",    "Argentina",        "Belgie",
          "Ruská Federace", "Venezuela", "Indonésie",       "Singapur",
          "Jordánsko",   "Kanada",      "Malajsie",         "Saudská Arábie",
          "Kolumbie"};
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
