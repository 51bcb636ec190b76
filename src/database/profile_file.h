#pragma once
// Our reader and writer of profile (INI) files, with the behaviour of the
// platform's profile functions for what the program uses. The reader goes
// through a section once, keeping nothing but the text; the writer changes
// one key and leaves every other line of the file exactly as it was.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ports.h"

namespace proxanto {

// One key line of a section: its name and value as the reader sees them
// (blanks around both removed); has_value is false for a line without "=",
// which still hides later lines of the same key.
struct ProfileKey {
  std::string_view name;
  std::string_view value;
  bool has_value = false;
};

// Every key line of the first section of that name (names match without
// regard to case), in file order, in one pass over the text. Keys before the
// first section line belong to the section without a name.
void for_each_key(std::string_view text, std::string_view section,
                  const std::function<void(const ProfileKey&)>& visit);

// A name or value without the blanks the reader removes around it (space,
// tab, line ends, \v, \f and Ctrl+Z): what a written line can keep.
std::string_view trim_profile_spaces(std::string_view text);
// What GetPrivateProfileString copies of a value into a buffer of `size`
// characters: a pair of enclosing quotes removed, cut to size - 1.
std::string profile_value(std::string_view value, std::size_t size);
// What GetPrivateProfileInt makes of a value: the number at its start
// (decimal, or after the prefixes 0x, 0o and 0b), 0 when there is none.
int profile_number(std::string_view value);
// The text of a file: UTF-16 files (told by their byte-order mark) decoded,
// anything else as it is.
std::string profile_text(std::string bytes);

// One-off lookups, as the platform's profile functions give them; each one
// reads the section anew.
class ProfileFile {
 public:
  ProfileFile() = default;
  explicit ProfileFile(std::string text) : text_(std::move(text)) {}

  // GetPrivateProfileString: the value, or the default when the section or
  // the key is missing.
  std::string get_string(std::string_view section, std::string_view key,
                         std::string_view default_value, std::size_t size) const;
  // GetPrivateProfileInt: the value's number; the default when missing or empty.
  int get_int(std::string_view section, std::string_view key, int default_value) const;

 private:
  std::string text_;
};

// The largest database the program reads: real ones are well under 1 MB, and
// anything far larger would freeze the program in every load and block.
inline constexpr std::size_t kMaxProfileBytes = 16u << 20;

// The bytes of a file as a ProfileFile.
ProfileFile parse_profile(std::string bytes);

// The text of a profile file with one key of a section set to `value`: an
// existing key is changed in place, a new one is added at the end of its
// section, a missing section is added at the end. Every other line is kept
// byte for byte.
std::string profile_with_value(std::string_view contents, std::string_view section,
                               std::string_view key, std::string_view value);

// WritePrivateProfileString for one key: reads the file, changes the key and
// replaces the file atomically. False when the file could not be written.
bool write_profile_string(FileSystemPort& files, const std::string& path,
                          std::string_view section, std::string_view key,
                          std::string_view value);

}  // namespace proxanto
