#pragma once
// Our reader and writer of profile (INI) files, with the behaviour of the
// platform's profile functions for what the program uses. The reader parses a
// whole file once; the writer changes one key and leaves every other line of
// the file exactly as it was.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "app/ports.h"

namespace proxanto {

class ProfileFile {
 public:
  ProfileFile() = default;
  explicit ProfileFile(std::string_view contents);

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
  // A key within the section with index `section`; names compare without
  // regard to ASCII case.
  struct EntryName {
    std::size_t section = 0;
    std::string_view key;
  };
  struct NameHash {
    // Not noexcept, so that the tables keep each node's hash code instead of
    // computing it again while they search a bucket.
    std::size_t operator()(std::string_view name) const;
    std::size_t operator()(const EntryName& name) const;
  };
  struct NameEqual {
    bool operator()(std::string_view a, std::string_view b) const noexcept;
    bool operator()(const EntryName& a, const EntryName& b) const noexcept;
  };
  // A key line without "=" has no value, yet still hides later lines of the
  // same key.
  struct Entry {
    std::string_view value;
    bool has_value = false;
  };

  const Entry* find(std::string_view section, std::string_view key) const;

  std::shared_ptr<const std::string> text_;  // every name and value views into it
  std::unordered_map<std::string_view, std::size_t, NameHash, NameEqual> sections_;
  std::unordered_map<EntryName, Entry, NameHash, NameEqual> entries_;
};

// Parses the bytes of a file, UTF-16 ones (told by their byte-order mark)
// included.
ProfileFile parse_profile(std::string_view bytes);

// Reads and parses a file; a missing file reads as empty.
ProfileFile read_profile(FileSystemPort& files, const std::string& path);

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
