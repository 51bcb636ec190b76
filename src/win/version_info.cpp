#include "win/version_info.h"

#include <cstring>

namespace proxanto::win {

std::optional<ProgramVersion> program_version(HMODULE module) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* bytes = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
  if (bytes == nullptr) return std::nullopt;
  const DWORD size = SizeofResource(module, found);
  // The fixed file information follows the record's header and name at a
  // 32-bit boundary; its signature marks it.
  for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, bytes + at, sizeof(info));
    if (info.dwSignature == 0xFEEF04BD) {
      return ProgramVersion{HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
                            LOWORD(info.dwFileVersionLS)};
    }
  }
  return std::nullopt;
}

}  // namespace proxanto::win
