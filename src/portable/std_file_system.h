#pragma once
// The file operations of the program on the standard library, for native
// runs. Paths come in the program's Windows form; every backslash is taken as
// a folder separator.

#include <optional>
#include <string>
#include <string_view>

#include "app/ports.h"

namespace proxanto {

class StdFileSystem final : public FileSystemPort {
 public:
  std::optional<std::string> read_file(const std::string& path) override;
  // Writes "<path>.tmp" and renames it over `path`; on failure the temporary
  // file is removed and `path` is left as it was.
  bool replace_file(const std::string& path, std::string_view contents) override;
  // True for a file, false for a folder, as the platform's file query.
  bool file_exists(const std::string& path) override;
  bool copy_file(const std::string& from, const std::string& to) override;
  // Fails when `to` exists, as the platform's rename does.
  bool rename_file(const std::string& from, const std::string& to) override;
  bool remove_file(const std::string& path) override;
};

}  // namespace proxanto
