#pragma once

#include <gtest/gtest.h>

#include "fakes.h"

namespace proxanto::testing {
// A test of a Form1 on the fakes.
class FormTest : public ::testing::Test, protected Program {};
}  // namespace proxanto::testing
