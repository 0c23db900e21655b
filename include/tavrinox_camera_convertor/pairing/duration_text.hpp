// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstdint>
#include <string>

namespace tavrinox_camera_convertor
{

/**
 * @brief A duration as log lines give it: "3.1 s" from one second on, "45 ms" below.
 *
 * Rounded to what is shown, so 999.6 ms reads "1.0 s", not "1000 ms". Negative durations give
 * the text of their magnitude: callers pass differences whose direction they say in words.
 */
std::string duration_text(std::int64_t nanoseconds);

/// @brief Milliseconds with one decimal, e.g. "33.3 ms", for frame periods and the set bound;
///        of the magnitude, as duration_text().
std::string milliseconds_text(std::int64_t nanoseconds);

}  // namespace tavrinox_camera_convertor
