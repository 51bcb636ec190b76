#pragma once
// Small text helpers shared by the portable code and the Win32 adapters.
// Text is UTF-8 in std::string everywhere except at the platform boundary.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace proxanto {

// One character of UTF-8 text: its code point and length in bytes. A byte
// that starts no well-formed sequence (an overlong form, a surrogate, a code
// point above U+10FFFF, a cut or stray byte) is U+FFFD of one byte, so that
// no text can pass a ";" or a NUL disguised as something else.
struct Utf8Char {
  char32_t code_point = 0;
  std::size_t bytes = 1;
};
Utf8Char next_utf8_char(std::string_view text, std::size_t at);

std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);

// The number at the start of a text, as Visual Basic's Val and the loader's
// filter test read it: leading blanks skipped, an optional sign, the longest
// run of decimal digits; 0 when there is none. Saturates instead of
// overflowing.
std::int64_t leading_int(std::string_view text);

// True when the text, blanks around it ignored, is an optional minus sign
// followed by decimal digits only; the value goes to `value`.
bool parse_whole_number(std::string_view text, std::int64_t& value);


// Removes blanks (spaces and tabs) at both ends.
std::string_view trim_blanks(std::string_view text);

std::string ascii_lower(std::string_view text);

// The pattern with %1, %2, ... %9 replaced by the arguments, in one pass:
// an argument that holds "%2" itself stays as it is.
std::string fill_in(std::string_view pattern, const std::vector<std::string>& args);

}  // namespace proxanto
