#include <string>

#include "app/form1.h"
#include "app/text.h"
#include "database/countries.h"
#include "database/entries.h"
#include "database/profile_file.h"

namespace proxanto {

void Form1::filter_Click() {
  // A saved row that is no number preselects the first row; the dialog
  // settles a row that its list does not hold.
  std::int64_t row = 0;
  if (!parse_whole_number(filtr_index, row) || row < 0 || row > kCountryCount) row = 0;
  // The dialog lists the countries of the whole database, whatever the
  // filter. They are counted here, when asked for, so that no load (start-up
  // above all) pays for it.
  country_counts.assign(kCountryCount, 0);
  const std::string text =
      profile_text(os_.files.read_file(ini_path, kMaxProfileBytes).value_or(std::string()));
  for_each_entry(text, [this](int, std::string_view value, bool blocked) {
    const std::optional<int> id = country_id(entry_field(value, 1));
    if (id && !blocked) ++country_counts[static_cast<std::size_t>(*id)];
  });
  os_.window.show_filter(static_cast<int>(row));
}

void Form1::filter_chosen(int country, int position) {
  filtr_id = std::to_string(country);
  filtr_index = std::to_string(position);
  nacti_ip(1);
  // The chosen row is saved even when the loader had to clear the filter: the
  // next start tries that country again.
  if (save_setting("filter_id", std::to_string(country))) {
    save_setting("filter_index", std::to_string(position));
  }
}

}  // namespace proxanto
