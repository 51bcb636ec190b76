#pragma once
// The file operations of the program on the Win32 file functions.

#include <optional>
#include <string>
#include <string_view>

#include "app/ports.h"

namespace proxanto::win {

class Win32FileSystem final : public FileSystemPort {
 public:
  std::optional<std::string> read_file(const std::string& path, std::size_t limit) override;
  // Writes "<path>.tmp", flushes it to the disk and moves it over `path`; on
  // failure the temporary file is deleted and `path` is left as it was.
  bool replace_file(const std::string& path, std::string_view contents) override;
  // True for a file, false for a folder.
  bool file_exists(const std::string& path) override;
  bool copy_file(const std::string& from, const std::string& to) override;
  // Fails when `to` exists.
  bool rename_file(const std::string& from, const std::string& to) override;
  bool remove_file(const std::string& path) override;
};

}  // namespace proxanto::win
