#include "lang/strings.h"

#include "lang/string_table.h"

namespace proxanto {

std::string builtin_string(int id) {
  switch (id) {
#define PROXANTO_STRING_CASE(number, text) \
  case number:                             \
    return text;
    PROXANTO_STRINGS(PROXANTO_STRING_CASE)
#undef PROXANTO_STRING_CASE
    default:
      return {};
  }
}

}  // namespace proxanto
