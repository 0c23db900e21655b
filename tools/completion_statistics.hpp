// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <opencv2/core.hpp>

namespace tavrinox_camera_convertor
{

/// How the filled pixels compare with camera 1's true depth.
struct TruthComparison
{
  std::size_t fillable = 0;             ///< holes of camera 1 where the truth has a depth
  std::size_t filled = 0;               ///< fillable holes that the completion filled
  std::size_t filled_without_truth = 0;  ///< filled holes where the truth has no depth either
  /// median |completed - truth| over the filled fillable holes
  std::uint16_t median_error_mm = 0;
  std::uint16_t p90_error_mm = 0;       ///< 90th percentile of the same errors (nearest rank)

  /// @brief filled / fillable in percent; 0 when nothing was fillable.
  double fill_rate_percent() const {return fillable == 0 ? 0.0 : 100.0 * filled / fillable;}
};

/// What the completion did to camera 1's depth image.
struct CompletionStatistics
{
  std::size_t pixels = 0;  ///< pixels of camera 1's depth image
  std::size_t holes = 0;   ///< of those, without depth in camera 1's measurement
  std::size_t filled = 0;  ///< of the holes, with depth in the completed image
  std::optional<TruthComparison> truth;

  /// @brief holes / pixels in percent; 0 for an empty image.
  double hole_percent() const {return pixels == 0 ? 0.0 : 100.0 * holes / pixels;}
  /// @brief filled / holes in percent; 0 when there is no hole.
  double filled_percent() const {return holes == 0 ? 0.0 : 100.0 * filled / holes;}
};

/**
 * @brief Counts camera 1's holes and the filled ones, and scores them against `truth` if given.
 * @param measured camera 1's depth (CV_16UC1, millimetres, 0 = no depth)
 * @param completed the completed image, same size
 * @param truth camera 1's true depth, same size, or an empty matrix
 * @throws std::invalid_argument when the types or sizes differ
 */
CompletionStatistics measure_completion(
  const cv::Mat & measured, const cv::Mat & completed,
  const cv::Mat & truth);

}  // namespace tavrinox_camera_convertor
