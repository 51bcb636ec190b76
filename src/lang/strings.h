#pragma once

#include <string>

#include "app/ports.h"

namespace proxanto {

// The compiled-in copy of the string table; empty text for an unknown id.
std::string builtin_string(int id);

// The string table of the native build.
class BuiltinStringTable final : public StringTablePort {
 public:
  std::string load(int id) override { return builtin_string(id); }
};

}  // namespace proxanto
