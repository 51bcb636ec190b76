#include <string>

#include "app/form1.h"
#include "app/text.h"

namespace proxanto {

void Form1::filter_Click() {
  // A saved row that is no number preselects the first row.
  std::int64_t row = 0;
  if (!parse_whole_number(filtr_index, row) || row < 0 || row > 33) row = 0;
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
