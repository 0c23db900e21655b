// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The voxel that bounds the check's work: kept, grown within limits, or refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "calibration_check.hpp"
#include "calibration_refusal.hpp"
#include "sampling_voxel.hpp"
#include "test_files.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

const SamplingSettings kSettings;

SharedRegion box(const Eigen::Vector3f & low, const Eigen::Vector3f & size)
{
  SharedRegion region;
  region.low = low;
  region.high = low + size;
  region.empty = false;
  return region;
}

/// The cells of PCL's grid of `voxel` over `region`, counted independently of the code.
double cells(const SharedRegion & region, double voxel)
{
  double count = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    count *= std::floor((static_cast<double>(region.high[axis]) - region.low[axis]) / voxel) + 1.0;
  }
  return count;
}

const double kPclLimit = static_cast<double>(std::numeric_limits<std::int32_t>::max());

/// The refusal's text, or "" when `region` is not refused.
std::string refusal_of(const SharedRegion & region)
{
  try {
    sampling_voxel(region, kSettings);
  } catch (const CalibrationRefusal & refusal) {
    return refusal.what();
  }
  return "";
}

TEST(SamplingVoxel, AWorkspaceKeepsTheVoxelAsConfigured)
{
  const SharedRegion table = box({-1.0f, -1.0f, -0.8f}, {2.0f, 2.0f, 2.0f});
  EXPECT_EQ(sampling_voxel(table, kSettings), kSettings.voxel_m);
}

TEST(SamplingVoxel, ARoomGrowsTheVoxelJustEnoughForPclsGrid)
{
  // 2000 x 2000 x 600 voxels of 5 mm: more than PCL indexes.
  const SharedRegion room = box({-5.0f, -5.0f, -1.0f}, {10.0f, 10.0f, 3.0f});
  ASSERT_GT(cells(room, kSettings.voxel_m), kPclLimit);
  const double voxel = sampling_voxel(room, kSettings);
  EXPECT_GT(voxel, kSettings.voxel_m);
  EXPECT_LE(voxel, kLargestVoxelShareOfNormalRadius * kSettings.normal_radius_m + 1e-9);
  EXPECT_LE(cells(room, voxel), kVoxelGridCellShare * kPclLimit);
  EXPECT_GT(cells(room, 0.99 * voxel), kVoxelGridCellShare * kPclLimit) << "not the smallest";
}

TEST(SamplingVoxel, ARegionTooLargeForTheLargestVoxelIsRefused)
{
  const SharedRegion huge = box({-100.0f, -100.0f, -20.0f}, {200.0f, 200.0f, 50.0f});
  const std::string refusal = refusal_of(huge);
  EXPECT_NE(
    refusal.find("too large to thin: 200.0 x 200.0 x 50.0 m would need "),
    std::string::npos) << refusal;
  EXPECT_NE(
    refusal.find(" voxels of 10 mm, PCL's voxel grid holds at most "),
    std::string::npos) << refusal;
  const SharedRegion endless = box({-3e38f, 0.0f, 0.0f}, {3e38f, 1.0f, 1.0f});
  EXPECT_NE(refusal_of(endless), "");
}

TEST(SamplingVoxel, ARegionFarFromTheArmIsRefusedWhateverItsSize)
{
  // PCL's voxel numbers (coordinate / voxel) would overflow 32 bits.
  const SharedRegion far = box({1e7f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f});
  const std::string refusal = refusal_of(far);
  EXPECT_NE(refusal.find("the clouds meet 1.0e+07 m from the arm's origin"), std::string::npos)
    << refusal;
  EXPECT_NE(refusal.find("check each camera's Txyz"), std::string::npos) << refusal;
  EXPECT_EQ(refusal_of(box({1e5f, 0.0f, 0.0f}, {1.0f, 1.0f, 1.0f})), "");
}

// ---------------------------------------------------------------- the whole check

/// The check on the sample with the package's configuration, every `from` replaced by `to`:
/// exit status and standard error.
std::pair<int, std::string> check_sample_with(
  const std::vector<std::pair<std::string, std::string>> & changes)
{
  std::string text = test::read_text(TAVRINOX_DEFAULT_CONFIG_PATH);
  for (const auto & [from, to] : changes) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
      text.replace(at, from.size(), to);
      at += to.size();
    }
  }
  const test::ScratchDirectory work;
  const std::filesystem::path config = work / "config.yaml";
  test::write_text(config, text);
  std::ostringstream out;
  std::ostringstream err;
  const int status = run_calibration_check(
    {"--sample", "--config", config.string()},
    TAVRINOX_DEFAULT_CONFIG_PATH, out, err);
  return {status, err.str()};
}

TEST(SamplingVoxelCheck, FocalLengthsOfOnePixelSpreadTheCloudsTooWideAndAreRefused)
{
  // Every pixel a radian apart: both clouds span hundreds of metres and meet over most of it.
  const auto [status, err] = check_sample_with(
    {{"fx: 525.0", "fx: 1.0"}, {"fy: 525.0", "fy: 1.0"}, {"fx: 610.0", "fx: 1.0"},
      {"fy: 610.0", "fy: 1.0"}});
  EXPECT_EQ(status, kExitRefused);
  EXPECT_EQ(
    err.rfind(
      "tavrinox_calibration_check: the part of the arm frame both clouds share "
      "is too large to thin: ", 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(SamplingVoxelCheck, BothCamerasSixThousandKilometresOutAreRefused)
{
  // The same slip in both positions: the clouds still meet, 6000 km from the arm's origin,
  // where floats resolve half a metre.
  const auto [status, err] = check_sample_with(
    {{"Txyz: [0.25,", "Txyz: [6000000.25,"}, {"Txyz: [0.30,", "Txyz: [6000000.30,"}});
  EXPECT_EQ(status, kExitRefused);
  EXPECT_EQ(
    err.rfind(
      "tavrinox_calibration_check: the clouds meet 6.0e+06 m from the arm's "
      "origin", 0), 0u) << err;
}

}  // namespace
}  // namespace tavrinox_camera_convertor
