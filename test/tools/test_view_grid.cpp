// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "view_grid.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

/// 1, 2 or 5 when `step` is that times a power of ten, else 0.
double leading_digit(double step)
{
  const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  for (const double digit : {1.0, 2.0, 5.0}) {
    if (std::abs(mantissa - digit) < 1e-9 * digit) {
      return digit;
    }
  }
  return 0.0;
}

/// The next finer step of the 1-2-5 series.
double finer_step(double step)
{
  return leading_digit(step) == 5.0 ? step * 0.4 : step * 0.5;
}

/// Spans from a micrometre to 10^30 m, 1.37 times apart, so every leading digit comes up.
std::vector<double> spans()
{
  std::vector<double> all;
  for (double span = 1e-6; span <= 1e30; span *= 1.37) {
    all.push_back(span);
  }
  return all;
}

TEST(ViewGrid, StepsAreTheFinestOfOneTwoFiveThatGiveAtMostSixIntervals)
{
  for (const double span : spans()) {
    const double step = grid_step(span);
    EXPECT_NE(leading_digit(step), 0.0) << "span " << span << ": step " << step;
    EXPECT_LE(span / step, kMostGridIntervals * (1.0 + 1e-9)) << span;
    EXPECT_GT(span / finer_step(step), kMostGridIntervals) << span;
  }
  // Exact decades and their neighbours, where log10 rounds either way.
  for (int power = -6; power <= 30; ++power) {
    const double decade = std::pow(10.0, power);
    for (const double span : {6.0 * decade, std::nextafter(6.0 * decade, 0.0),
        std::nextafter(6.0 * decade, 1e300)})
    {
      EXPECT_LE(span / grid_step(span), kMostGridIntervals * (1.0 + 1e-9)) << span;
      EXPECT_GT(span / finer_step(grid_step(span)), kMostGridIntervals * (1.0 - 1e-9)) << span;
    }
  }
}

TEST(ViewGrid, LinesAreFewAndDistinctWhereverTheWindowLies)
{
  for (const double span : spans()) {
    const double step = grid_step(span);
    for (const double low : {0.0, -span / 3.0, 1e30, -7e29, 123456.789, -1e-7}) {
      const std::vector<double> values = grid_values(low, span, step);
      ASSERT_LE(values.size(), static_cast<std::size_t>(kMostGridIntervals + 1))
        << "span " << span << " from " << low;
      std::set<std::string> labels;
      for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_GE(values[i], low - 1e-9 * std::abs(low) - 1e-9 * step);
        EXPECT_LE(values[i], low + span + 1e-9 * std::abs(low) + 1e-9 * step);
        const std::string label = grid_label(values[i], step);
        EXPECT_LE(label.size(), 15u) << label;
        labels.insert(label);
      }
      // Labels carry at most 9 digits: a window a millionth of its distance from zero or
      // smaller gets lines that look alike, or that doubles cannot even tell apart.
      if (span > 1e-6 * std::abs(low)) {
        EXPECT_EQ(labels.size(), values.size()) << "span " << span << " from " << low;
      }
    }
  }
}

TEST(ViewGrid, LabelsAreAsShortAsTheStepAllows)
{
  EXPECT_EQ(grid_label(0.25 * 2, 0.05), "0.50");
  EXPECT_EQ(grid_label(-3.0, 1.0), "-3");
  EXPECT_EQ(grid_label(1e-17, 0.1), "0");
  EXPECT_EQ(grid_label(-1e-17, 0.1), "0");
  EXPECT_EQ(grid_label(12000.0, 2000.0), "12000");
  EXPECT_EQ(grid_label(1.2e30, 2e29), "1.2e+30");
  EXPECT_EQ(grid_label(2.5e-5, 5e-6), "2.5e-05");
}

TEST(ViewGrid, SpansAndStepsThatGiveNoGridAreRefused)
{
  const double infinity = std::numeric_limits<double>::infinity();
  for (const double span : {0.0, -1.0, infinity, std::nan("")}) {
    EXPECT_THROW(grid_step(span), std::invalid_argument) << span;
  }
  EXPECT_THROW(grid_values(0.0, 1.0, 0.01), std::invalid_argument);
  EXPECT_THROW(grid_values(infinity, 1.0, 1.0), std::invalid_argument);
  EXPECT_THROW(grid_values(0.0, 1.0, std::nan("")), std::invalid_argument);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
