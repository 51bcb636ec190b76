#pragma once

#include <chrono>
#include <random>

#include "app/ports.h"

namespace proxanto {

// A uniform draw from a generator seeded anew from the clock before each draw.
class ClockRandom final : public RandomPort {
 public:
  double draw() override {
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::seed_seq seed{static_cast<unsigned>(now), static_cast<unsigned>(now >> 32), ++draws_};
    std::mt19937 generator(seed);
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
  }

 private:
  unsigned draws_ = 0;  // two draws within one clock tick still differ
};

}  // namespace proxanto
