// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <string>
#include <vector>

namespace tavrinox_camera_convertor
{

/// A view's grid divides its longer side into at most this many intervals.
inline constexpr int kMostGridIntervals = 6;

/**
 * @brief The grid spacing for a view `span` long: 1, 2 or 5 times a power of ten, the finest
 *        one that cuts `span` into at most kMostGridIntervals intervals.
 *
 * Any finite span works, from micrometres to far beyond the arm: the number of grid lines
 * depends on the ratio only, never on the span itself.
 * @throws std::invalid_argument for a span that is not a positive normal number
 */
double grid_step(double span);

/**
 * @brief The multiples of `step` from `low` to `low + span`, in order: at most
 *        kMostGridIntervals + 1 of them when step is grid_step(span) or coarser.
 * @throws std::invalid_argument for a step finer than grid_step(span), or for values that are
 *         not finite
 */
std::vector<double> grid_values(double low, double span, double step);

/**
 * @brief `value`, a multiple of `step`, as short as the step allows: "0.25", "-3", "12000",
 *        "2.5e+07"; exactly "0" for zero; at most 9 significant digits.
 */
std::string grid_label(double value, double step);

}  // namespace tavrinox_camera_convertor
