#pragma once
// Profile files with lookups and writes, and the results the platform's
// profile functions give for them: the Windows test program holds both the
// platform and our reader and writer to them.

#include "shared/worked_example.h"
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace proxanto::test_support {

struct ProfileStringCase {
  std::string name, contents, section, key, default_value;
  std::size_t size = 0;
  std::string expected;
};

struct ProfileIntCase {
  std::string name, contents, key;  // the key in section "IP"
  int default_value = 0, expected = 0;
};

// Each sets the key of section "IP" to 1.
struct ProfileWriteCase {
  std::string name, contents, key;
  std::string expected;  // the whole file afterwards
};

inline const std::string& loader_example_file() { return test_data::kWorkedExample; }

inline std::vector<ProfileStringCase> profile_string_cases() {
  using namespace std::string_literals;
  const std::string long_value(2000, 'v');
  const std::string value_1549(1549, 'w');
  const std::string bom = "\xEF\xBB\xBF";
  const std::string c_caron = "\xC4\x8D";  // U+010D, one UTF-16 unit
  return {
      {"example entry", loader_example_file(), "IP", "5", "", 1550, "198.51.100.33:8080;8;x"},
      {"names ignore case", "[iP]\r\nAbC=x\r\n", "Ip", "abc", "D", 100, "x"},
      {"value and key trimmed", "[IP]\r\n  a  =   v w  \t\r\n", "IP", "a", "D", 100, "v w"},
      {"requested names trimmed", "[IP]\r\na=v\r\n", " IP ", "\ta ", "D", 100, "v"},
      {"section name trimmed", "[ IP\t]\r\na=v\r\n", "IP", "a", "D", 100, "v"},
      {"text after bracket ignored", "  [IP]  ; note\r\na=v\r\n", "IP", "a", "D", 100, "v"},
      {"name runs to last bracket", "[I]P]\r\na=v\r\n", "I]P", "a", "D", 100, "v"},
      {"open bracket key", "[IP]\r\n[xx=5\r\n", "IP", "[xx", "D", 100, "5"},
      {"bracketed equals is a section", "[IP]\r\n[x=1]\r\nb=2\r\n", "x=1", "b", "D", 100, "2"},
      {"bracketed equals is no key", "[IP]\r\n[x=1]\r\n", "IP", "x", "D", 100, "D"},
      {"first section wins", "[IP]\r\na=1\r\n[X]\r\n[ip]\r\na=2\r\nb=3\r\n", "IP", "a", "D", 100,
       "1"},
      {"later section never searched", "[IP]\r\na=1\r\n[ip]\r\nb=3\r\n", "IP", "b", "D", 100, "D"},
      {"first key wins", "[IP]\r\na=1\r\nA=2\r\n", "IP", "a", "D", 100, "1"},
      {"key without equals has no value", "[IP]\r\na\r\n", "IP", "a", "D", 100, "D"},
      {"key without equals hides a later one", "[IP]\r\na\r\na=2\r\n", "IP", "a", "D", 100, "D"},
      {"empty value is not missing", "[IP]\r\na=\r\n", "IP", "a", "D", 100, ""},
      {"blank value is empty", "[IP]\r\na=   \r\n", "IP", "a", "D", 100, ""},
      {"double quotes removed", "[IP]\r\na=\"xy\"\r\n", "IP", "a", "D", 100, "xy"},
      {"single quotes removed", "[IP]\r\na='xy'\r\n", "IP", "a", "D", 100, "xy"},
      {"unlike quotes kept", "[IP]\r\na='xy\"\r\n", "IP", "a", "D", 100, "'xy\""},
      {"lone quote kept", "[IP]\r\na=\"\r\n", "IP", "a", "D", 100, "\""},
      {"empty quotes", "[IP]\r\na=\"\"\r\n", "IP", "a", "D", 100, ""},
      {"blanks inside quotes kept", "[IP]\r\na=\" x \"\r\n", "IP", "a", "D", 100, " x "},
      {"inner quote kept", "[IP]\r\na=\"a\"b\"\r\n", "IP", "a", "D", 100, "a\"b"},
      {"blanks then quotes", "[IP]\r\na=  \"x\"  \r\n", "IP", "a", "D", 100, "x"},
      {"cut to size - 1", "[IP]\r\na=abcdef\r\n", "IP", "a", "D", 4, "abc"},
      {"cut after trimming", "[IP]\r\na=ab    cdef\r\n", "IP", "a", "D", 5, "ab  "},
      {"quoted cut short", "[IP]\r\na=\"abcdef\"\r\n", "IP", "a", "D", 4, "abc"},
      {"quoted value one short of the room", "[IP]\r\na=\"abcdef\"\r\n", "IP", "a", "D", 7,
       "abcde"},
      {"quoted value fits", "[IP]\r\na=\"abcdef\"\r\n", "IP", "a", "D", 8, "abcdef"},
      {"quoted single character, size 2", "[IP]\r\na=\"x\"\r\n", "IP", "a", "D", 2, ""},
      {"long value cut at 1549", "[IP]\r\n0=" + long_value + "\r\n", "IP", "0", "", 1550,
       long_value.substr(0, 1549)},
      {"1549 characters kept", "[IP]\r\n0=" + value_1549 + "\r\n", "IP", "0", "", 1550, value_1549},
      {"quoted 1549 characters lose one", "[IP]\r\n0=\"" + value_1549 + "\"\r\n", "IP", "0", "",
       1550, value_1549.substr(0, 1548)},
      {"LF lines", "[IP]\na=lf\nb=2\n", "IP", "b", "D", 100, "2"},
      {"CR lines", "[IP]\ra=cr\rb=2\r", "IP", "a", "D", 100, "cr"},
      {"CR inside CRLF file", "[IP]\r\na=1\rb=2\r\n", "IP", "b", "D", 100, "2"},
      {"no final line break", "[IP]\r\na=end", "IP", "a", "D", 100, "end"},
      {"blank lines", "\r\n\r\n[IP]\r\n\r\n\r\na=v\r\n\r\n", "IP", "a", "D", 100, "v"},
      {"UTF-8 BOM", bom + "[IP]\r\na=bom\r\n", "IP", "a", "D", 100, "bom"},
      {"UTF-8 cut counts characters", bom + "[IP]\r\na=" + c_caron + c_caron + c_caron + "\r\n",
       "IP", "a", "D", 3, c_caron + c_caron},
      {"no-break space is no blank", bom + "[IP]\r\na=\xC2\xA0x\xC2\xA0\r\n", "IP", "a", "D", 100,
       "\xC2\xA0x\xC2\xA0"},
      {"case folding is ASCII only", bom + "[\xC4\x8C]\r\na=1\r\n", c_caron, "a", "D", 100, "D"},
      {"keys before any section", "a=top\r\n[IP]\r\na=in\r\n", "", "a", "D", 100, "top"},
      {"keys before any section stay out", "a=top\r\n[IP]\r\n", "IP", "a", "D", 100, "D"},
      {"empty section name is shadowed", "a=top\r\n[]\r\nb=x\r\n", "", "b", "D", 100, "D"},
      {"NUL ends a value", "[IP]\r\na=xy\0zz\r\nb=2\r\n"s, "IP", "a", "D", 100, "xy"},
      {"NUL keeps the next line", "[IP]\r\na=xy\0zz\r\nb=2\r\n"s, "IP", "b", "D", 100, "2"},
      {"NUL is no line break", "[IP]\r\na=xy\0b=3\r\n"s, "IP", "b", "D", 100, "D"},
      {"NUL ends a key", "[IP]\r\nk\0q=xy\r\n"s, "IP", "k", "D", 100, "xy"},
      {"NUL ends a section name", "[I\0P]\r\na=v\r\n"s, "I", "a", "D", 100, "v"},
      {"missing key", "[IP]\r\na=1\r\n", "IP", "b", "D", 100, "D"},
      {"missing section", "[IP]\r\na=1\r\n", "X", "a", "D", 100, "D"},
      {"default loses trailing spaces", "[IP]\r\n", "IP", "b", "  d  ", 100, "  d"},
      {"default loses quotes", "[IP]\r\n", "IP", "b", "\"dq\"", 100, "dq"},
      {"default cut", "[IP]\r\n", "IP", "b", "default", 4, "def"},
      {"semicolon starts no comment", "[IP]\r\n;a=1\r\n", "IP", ";a", "D", 100, "1"},
      {"Ctrl+Z is blank", "[IP]\r\na=x\x1a\r\n", "IP", "a", "D", 100, "x"},
      {"tab, VT and FF are blank", "[IP]\r\n\ta\t=\v\tv\f\r\n", "IP", "a", "D", 100, "v"},
      {"other controls are not blank", "[IP]\r\na=\x01v\x1f\r\n", "IP", "a", "D", 100, "\x01v\x1f"},
      {"equals in value", "[IP]\r\na=b=c\r\n", "IP", "a", "D", 100, "b=c"},
      {"empty key name", "[IP]\r\n=v\r\n", "IP", "", "D", 100, "v"},
  };
}

inline std::vector<ProfileIntCase> profile_int_cases() {
  // Values of key n, read with the default 77: signs, blanks, quotes, the
  // platform's prefixes 0x, 0b and 0o, and 32-bit wrapping.
  const std::pair<std::string, int> values[] = {
      {"6", 6},        {"08", 8},       {"8x", 8},         {"-3", -3},        {"+4", 4},
      {"0", 0},        {"abc", 0},      {"x1", 0},         {"", 77},          {"\"\"", 77},
      {"\"12\"", 12},  {"\" 7\"", 7},   {"\"\x01\x02 7\"", 7}, {"- 5", 0},       {"+-5", 0},
      {"1 2", 1},      {"0x10", 16},    {"0X10", 0},       {"-0x10", -16},    {"0x", 0},
      {"0b11", 3},     {"0b12", 1},     {"0o17", 15},      {"4294967297", 1}, {"2147483647", 2147483647},
      {"2147483648", -2147483647 - 1},  {"-2147483649", 2147483647},
      {"000000000000000000000000000012345", 1},  // read through 29 characters
  };
  std::vector<ProfileIntCase> cases = {
      {"missing key gives the default", "[IP]\r\nn=1\r\n", "m", 77, 77},
      {"key without value gives the default", "[IP]\r\nn\r\n", "n", 77, 77},
      {"missing section gives the default", "[X]\r\nn=1\r\n", "n", -5, -5},
  };
  for (const auto& [value, expected] : values) {
    cases.push_back({"n=" + value, "[IP]\r\nn=" + value + "\r\n", "n", 77, expected});
  }
  return cases;
}

inline std::vector<ProfileWriteCase> profile_write_cases() {
  const std::string bom = "\xEF\xBB\xBF";
  return {
      {"existing key changed in place",
       "[a]\r\nx = 1 \r\n[IP]\r\ncount=6\r\n  7_Block = 0  \r\nz=9\r\n", "7_block",
       "[a]\r\nx = 1 \r\n[IP]\r\ncount=6\r\n7_Block=1\r\nz=9\r\n"},
      {"key without value gets one", "[IP]\r\n7_block\r\nz=9\r\n", "7_block",
       "[IP]\r\n7_block=1\r\nz=9\r\n"},
      {"first of two keys changed", "[IP]\r\n7_block=0\r\n7_block=5\r\n", "7_block",
       "[IP]\r\n7_block=1\r\n7_block=5\r\n"},
      {"line keeps its own line break", "[IP]\r\n7_block=0\nz=1\r\n", "7_block",
       "[IP]\r\n7_block=1\nz=1\r\n"},
      {"same value leaves the file alone", "[IP]\r\n7_block = 1 \r\n", "7_block",
       "[IP]\r\n7_block = 1 \r\n"},
      {"quoted value replaced", "[IP]\r\n7_block=\"1\"\r\n", "7_block", "[IP]\r\n7_block=1\r\n"},
      {"new key after the last line of its section",
       "[IP]\r\ncount=1\r\n0=a;1\r\n\r\n[other]\r\nq=1\r\n", "0_block",
       "[IP]\r\ncount=1\r\n0=a;1\r\n0_block=1\r\n\r\n[other]\r\nq=1\r\n"},
      {"new key at the end without a line break", "[IP]\r\ncount=1", "0_block",
       "[IP]\r\ncount=1\r\n0_block=1\r\n"},
      {"new key in an empty section, LF file", "[IP]\n[x]\n", "0_block", "[IP]\n0_block=1\n[x]\n"},
      {"new key in the first of two sections", "[IP]\r\na=1\r\n[x]\r\n[ip]\r\n7_block=0\r\n",
       "7_block", "[IP]\r\na=1\r\n7_block=1\r\n[x]\r\n[ip]\r\n7_block=0\r\n"},
      {"section matched in any case and spacing", "[ ip ]\r\na=1\r\n", "7_block",
       "[ ip ]\r\na=1\r\n7_block=1\r\n"},
      {"key before any section is another key", "7_block=0\r\n[IP]\r\ncount=1\r\n", "7_block",
       "7_block=0\r\n[IP]\r\ncount=1\r\n7_block=1\r\n"},
      {"open bracket line belongs to the section", "[IP]\r\n[xx\r\n", "7_block",
       "[IP]\r\n[xx\r\n7_block=1\r\n"},
      {"CR file", "[IP]\rcount=1\r", "0_block", "[IP]\rcount=1\r0_block=1\r"},
      {"BOM kept", bom + "[IP]\r\ncount=1\r\n", "0_block",
       bom + "[IP]\r\ncount=1\r\n0_block=1\r\n"},
      {"new section at the end", "[a]\r\nx=1\r\n", "7_block",
       "[a]\r\nx=1\r\n[IP]\r\n7_block=1\r\n"},
      {"new section after a last line without break, LF file", "[a]\nx=1", "7_block",
       "[a]\nx=1\n[IP]\n7_block=1\n"},
      {"new section in an empty file", "", "7_block", "[IP]\r\n7_block=1\r\n"},
      {"new section after a BOM alone", bom, "7_block", bom + "[IP]\r\n7_block=1\r\n"},
      {"semicolon lines kept", ";c\r\n[IP]\r\n", "7_block", ";c\r\n[IP]\r\n7_block=1\r\n"},
      {"block mark of the example", loader_example_file(), "2_block",
       loader_example_file() + "2_block=1\r\n"},
  };
}

}  // namespace proxanto::test_support
