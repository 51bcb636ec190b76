#pragma once
// The program's version as its version record holds it, so that what the
// program shows can never differ from what Windows shows in the file's
// properties.

#include <windows.h>

#include <optional>

namespace proxanto::win {

struct ProgramVersion {
  int major = 0;
  int minor = 0;
  int revision = 0;
};

// The fixed part of the module's version record: major and minor from the
// file version's high word, the revision from its last part (2,1,0,16 is
// 2.1.16). Nothing when the module has no version record.
std::optional<ProgramVersion> program_version(HMODULE module);

}  // namespace proxanto::win
