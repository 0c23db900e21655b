// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "view_grid.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace tavrinox_camera_convertor
{
namespace
{

// Ratios within this of a whole number count as that number: spans and steps carry rounding.
constexpr double kRoundingSlack = 1e-9;

/// The power of ten a grid step is 1, 2 or 5 times.
int decade_of(double step)
{
  return static_cast<int>(std::floor(std::log10(step) + kRoundingSlack));
}

bool fits(double span, double step)
{
  return span / step <= kMostGridIntervals * (1.0 + kRoundingSlack);
}

}  // namespace

double grid_step(double span)
{
  if (!std::isfinite(span) || span < std::numeric_limits<double>::min()) {
    throw std::invalid_argument("a grid needs a positive finite span, not " + std::to_string(span));
  }
  // log10 may land a decade off either way; trying the decade below as well as its own finds
  // the finest step whatever the rounding.
  const int decade = decade_of(span / kMostGridIntervals);
  for (int power = decade - 1; power <= decade + 1; ++power) {
    for (const double multiple : {1.0, 2.0, 5.0}) {
      const double step = multiple * std::pow(10.0, power);
      if (fits(span, step)) {
        return step;
      }
    }
  }
  return 10.0 * std::pow(10.0, decade + 1);
}

std::vector<double> grid_values(double low, double span, double step)
{
  if (!std::isfinite(low) || !std::isfinite(span) || !std::isfinite(step) || !fits(span, step)) {
    throw std::invalid_argument(
            "grid step " + std::to_string(step) + " is too fine for a span of " +
            std::to_string(span) + " from " + std::to_string(low));
  }
  std::vector<double> values;
  const double first = std::ceil(low / step - kRoundingSlack);
  const double high = low + span;
  // Counted in whole steps, so the loop ends after a few lines whatever low and step are.
  for (int k = 0; k <= kMostGridIntervals + 1; ++k) {
    const double value = (first + k) * step;
    // Far from zero a step may vanish in the rounding; one line then stands for all.
    if (value > high + kRoundingSlack * step || (!values.empty() && value <= values.back())) {
      break;
    }
    values.push_back(value);
  }
  return values;
}

std::string grid_label(double value, double step)
{
  if (std::abs(value) < 0.5 * step) {
    return "0";
  }
  const int step_decade = decade_of(step);
  std::array<char, 48> text{};
  if (step_decade >= 5 || step_decade <= -4 || std::abs(value) >= 1e5) {
    // As many digits as tell one line from the next (1.2e+30 next to 1.4e+30), within reason:
    // a window far smaller than its distance from zero gets labels that look alike.
    constexpr int kMostDigits = 8;
    const int digits = std::clamp(decade_of(std::abs(value)) - step_decade, 0, kMostDigits);
    std::snprintf(text.data(), text.size(), "%.*e", digits, value);
  } else {
    std::snprintf(text.data(), text.size(), "%.*f", std::max(0, -step_decade), value);
  }
  return text.data();
}

}  // namespace tavrinox_camera_convertor
