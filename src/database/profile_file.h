#pragma once
// Our reader and writer of profile (INI) files, with the behaviour of the
// platform's profile functions for what the program uses. The reader parses a
// whole file once; the writer changes one key and leaves every other line of
// the file exactly as it was.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/ports.h"

namespace proxanto {

class ProfileFile {
 public:
  ProfileFile() = default;
  // Takes the text (UTF-8) over; the index holds offsets into it, about 36
  // bytes for each line that is not blank, and nothing for blank lines.
  explicit ProfileFile(std::string contents);

  // GetPrivateProfileString: the value with the blanks around it removed (and
  // a pair of enclosing quotes), cut to size - 1 characters; the default when
  // the section or the key is missing. Names match without regard to case.
  std::string get_string(std::string_view section, std::string_view key,
                         std::string_view default_value, std::size_t size) const;

  // GetPrivateProfileInt: the number at the start of the value (decimal, or
  // after the platform's prefixes 0x, 0o and 0b); 0 when the value does not
  // begin with one; the default when missing or empty.
  int get_int(std::string_view section, std::string_view key, int default_value) const;

 private:
  // The first line of each name within its section, as offsets into the
  // text. Section lines are names of their own, in the group kSections;
  // their value_begin holds the section's number.
  struct Name {
    std::uint32_t group = 0;  // the section's number, or kSections
    std::uint32_t begin = 0;  // the name
    std::uint32_t size = 0;
    std::uint32_t value_begin = 0;
    std::uint32_t value_size = 0;  // kNoValue for a key line without "="
  };
  static constexpr std::uint32_t kSections = 0xFFFFFFFFu;
  static constexpr std::uint32_t kNoValue = 0xFFFFFFFFu;

  std::string_view name_of(const Name& name) const;
  // The entry of a name, or nullptr; `slot` gets where it is or would go.
  const Name* find(std::uint32_t group, std::string_view name, std::size_t& slot) const;
  std::uint32_t add(std::uint32_t group, std::string_view name, std::string_view value,
                    bool has_value);

  std::shared_ptr<const std::string> text_;  // shared by copies, never changed
  std::vector<Name> names_;
  std::vector<std::uint32_t> slots_;  // open addressing: index into names_ + 1; 0 is free
};

// The largest database the program reads: real ones are well under 1 MB, and
// anything far larger would freeze the program in every load and block.
inline constexpr std::size_t kMaxProfileBytes = 16u << 20;

// Parses the bytes of a file, UTF-16 ones (told by their byte-order mark)
// included. UTF-8 bytes become the parsed text without a copy.
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
