#include "portable/std_file_system.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace proxanto {

namespace fs = std::filesystem;

namespace {

fs::path native_path(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return fs::path(path);
}

}  // namespace

std::optional<std::string> StdFileSystem::read_file(const std::string& path) {
  const fs::path file = native_path(path);
  std::error_code error;
  // A folder opens as a stream too, but has no contents to give.
  if (fs::is_directory(file, error)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string contents;
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    contents.append(chunk, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return contents;
}

bool StdFileSystem::replace_file(const std::string& path, std::string_view contents) {
  const fs::path target = native_path(path);
  fs::path temp = target;
  temp += ".tmp";
  std::error_code ignored;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.flush();
    out.close();
    if (!out) {
      fs::remove(temp, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(temp, target, error);
  if (error) {
    fs::remove(temp, ignored);
    return false;
  }
  return true;
}

bool StdFileSystem::file_exists(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(native_path(path), error);
  return !error && fs::exists(status) && !fs::is_directory(status);
}

bool StdFileSystem::copy_file(const std::string& from, const std::string& to) {
  std::error_code error;
  return fs::copy_file(native_path(from), native_path(to), fs::copy_options::overwrite_existing,
                       error) &&
         !error;
}

bool StdFileSystem::remove_file(const std::string& path) {
  std::error_code error;
  return fs::remove(native_path(path), error) && !error;
}

bool StdFileSystem::rename_file(const std::string& from, const std::string& to) {
  const fs::path source = native_path(from);
  const fs::path target = native_path(to);
  std::error_code error;
  if (fs::exists(fs::symlink_status(target, error)) || !fs::exists(source, error)) return false;
  fs::rename(source, target, error);
  return !error;
}

}  // namespace proxanto
