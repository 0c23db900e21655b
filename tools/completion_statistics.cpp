// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "completion_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavrinox_camera_convertor
{
namespace
{

void require_depth_like(const cv::Mat & image, const cv::Mat & reference, const char * what)
{
  if (image.type() != CV_16UC1 || image.size() != reference.size()) {
    throw std::invalid_argument(
            std::string(
              what) + " must be a 16-bit single-channel image of camera 1's size");
  }
}

/// Nearest-rank percentile: the smallest value with at least `fraction` of all values at or below
/// it.
std::uint16_t nearest_rank(std::vector<std::uint16_t> & values, double fraction)
{
  if (values.empty()) {
    return 0;
  }
  const auto rank = static_cast<std::size_t>(std::ceil(
      fraction * static_cast<double>(values.size())));
  const std::size_t index = std::min(values.size() - 1, rank == 0 ? 0 : rank - 1);
  std::nth_element(
    values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index),
    values.end());
  return values[index];
}

}  // namespace

CompletionStatistics measure_completion(
  const cv::Mat & measured, const cv::Mat & completed,
  const cv::Mat & truth)
{
  if (measured.type() != CV_16UC1) {
    throw std::invalid_argument("camera 1's depth must be a 16-bit single-channel image");
  }
  require_depth_like(completed, measured, "the completed depth");
  const bool has_truth = !truth.empty();
  if (has_truth) {
    require_depth_like(truth, measured, "the true depth");
  }

  CompletionStatistics statistics;
  statistics.pixels = measured.total();
  TruthComparison comparison;
  std::vector<std::uint16_t> errors;
  errors.reserve(has_truth ? statistics.pixels : 0);
  for (int row = 0; row < measured.rows; ++row) {
    const auto * measured_row = measured.ptr<std::uint16_t>(row);
    const auto * completed_row = completed.ptr<std::uint16_t>(row);
    const auto * truth_row = has_truth ? truth.ptr<std::uint16_t>(row) : nullptr;
    for (int column = 0; column < measured.cols; ++column) {
      if (measured_row[column] != 0) {
        continue;
      }
      ++statistics.holes;
      const std::uint16_t value = completed_row[column];
      statistics.filled += value != 0 ? 1 : 0;
      if (!has_truth) {
        continue;
      }
      const std::uint16_t true_value = truth_row[column];
      if (true_value == 0) {
        comparison.filled_without_truth += value != 0 ? 1 : 0;
        continue;
      }
      ++comparison.fillable;
      if (value != 0) {
        ++comparison.filled;
        errors.push_back(
          static_cast<std::uint16_t>(std::abs(
            static_cast<int>(value) -
            static_cast<int>(true_value))));
      }
    }
  }
  if (has_truth) {
    comparison.median_error_mm = nearest_rank(errors, 0.5);
    comparison.p90_error_mm = nearest_rank(errors, 0.9);
    statistics.truth = comparison;
  }
  return statistics;
}

}  // namespace tavrinox_camera_convertor
