#include "win/file_system_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "win/win_util.h"

namespace proxanto::win {

namespace {

// ReadFile and WriteFile take at most a DWORD at a time.
constexpr std::size_t kChunk = 1u << 30;

// Creates or truncates the file and writes all of `contents` through to the
// disk; the handle is closed on return.
bool write_new_file(const std::wstring& path, std::string_view contents) {
  const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return false;
  std::size_t done = 0;
  while (done < contents.size()) {
    const DWORD want = static_cast<DWORD>(std::min(contents.size() - done, kChunk));
    DWORD put = 0;
    if (!WriteFile(file.get(), contents.data() + done, want, &put, nullptr) || put != want) {
      return false;
    }
    done += put;
  }
  return FlushFileBuffers(file.get()) != FALSE;
}

}  // namespace

std::optional<std::string> Win32FileSystem::read_file(const std::string& path,
                                                      std::size_t limit) {
  const UniqueHandle file(CreateFileW(widen(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > limit) {
    return std::nullopt;
  }
  std::string contents(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t done = 0;
  while (done < contents.size()) {
    const DWORD want = static_cast<DWORD>(std::min(contents.size() - done, kChunk));
    DWORD got = 0;
    if (!ReadFile(file.get(), contents.data() + done, want, &got, nullptr)) return std::nullopt;
    if (got == 0) break;  // the file shrank while we read it
    done += got;
  }
  contents.resize(done);
  return contents;
}

bool Win32FileSystem::replace_file(const std::string& path, std::string_view contents) {
  const std::wstring target = widen(path);
  const std::wstring temp = target + L".tmp";
  if (!write_new_file(temp, contents) ||
      !MoveFileExW(temp.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

bool Win32FileSystem::file_exists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::copy_file(const std::string& from, const std::string& to) {
  return CopyFileW(widen(from).c_str(), widen(to).c_str(), FALSE) != FALSE;
}

bool Win32FileSystem::remove_file(const std::string& path) {
  return DeleteFileW(widen(path).c_str()) != FALSE;
}

bool Win32FileSystem::rename_file(const std::string& from, const std::string& to) {
  return MoveFileW(widen(from).c_str(), widen(to).c_str()) != FALSE;
}

}  // namespace proxanto::win
