#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace proxanto {

// Every country and territory of ISO 3166-1. Ids 0-32 are the program's
// first table; the others follow from 33 on.
inline constexpr int kCountryCount = 249;
inline constexpr int kFirstTableCount = 33;

// The country names by country id. The order is what ids in ip.ini, the
// saved filter and the saved favourites refer to: never re-sort it.
std::vector<std::string> english_country_names();
std::vector<std::string> czech_country_names();

// The ISO 3166-1 alpha-2 code of a country id ("TH" for 0), and the id of a
// code; nothing for a code of no country in the table.
std::string_view country_code(int id);
std::optional<int> country_of_code(std::string_view alpha2);

// A country id given as text (field 1 of an entry, the id part of a
// favourite): blanks and leading zeros do not matter, and the number is read
// from the start of the text, so "8", " 08" and "8x" are all 8. Text with no
// leading number, or a number outside the table, is no country.
std::optional<int> country_id(std::string_view text);

// The name of the country of an id text in `names`, or empty text when the id
// is no country.
const std::string& country_name(const std::vector<std::string>& names, std::string_view id_text);

// The id as menu tags and favourites carry it: the number alone (empty for
// no country), so that the last "/" always separates it from an address
// that may hold a "/" of its own.
std::string country_tag(std::string_view id_text);

// "address (country)", or the address alone when the country has no name;
// the second form writes it into `caption`, reusing its storage.
std::string with_country(std::string_view address, std::string_view name);
void with_country(std::string& caption, std::string_view address, std::string_view name);

}  // namespace proxanto
