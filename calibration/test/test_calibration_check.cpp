// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The whole check on the generated sample scene, run in this process and as the real executable.
#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "calibration_check.hpp"
#include "image_files.hpp"
#include "image_mat.hpp"
#include "sample_scene.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tool_process.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

namespace fs = std::filesystem;

// The package's configuration: the sample scene is rendered with it, so it is the truth.
const char * const kTruePath = TAVRINOX_DEFAULT_CONFIG_PATH;

// Camera 2's lines in the package's configuration, and the same camera turned by 1.5 degrees about
// the vertical and moved by 12 mm along x.
const char * const kCamera2Angles = "Rxyz: [-134.1, -1.5, -153.4]";
const char * const kCamera2AnglesTurned = "Rxyz: [-134.1, -1.5, -151.9]";
const char * const kCamera2Position = "Txyz: [0.30, 0.60, 0.70]";
const char * const kCamera2PositionMoved = "Txyz: [0.312, 0.60, 0.70]";

using test::read_text;
using test::RunResult;
using test::ScratchDirectory;
using test::write_text;

/// `text` with its only occurrence of `from` replaced by `to`.
std::string replaced(std::string text, const std::string & from, const std::string & to)
{
  const std::size_t at = text.find(from);
  if (at == std::string::npos || text.find(from, at + 1) != std::string::npos) {
    throw std::logic_error("\"" + from + "\" does not occur exactly once in the configuration");
  }
  return text.replace(at, from.size(), to);
}

/// The package's configuration with camera 2 turned and moved, written into `directory`.
fs::path perturbed_camera_2_config(const ScratchDirectory & directory)
{
  const fs::path path = directory / "perturbed.yaml";
  write_text(
    path, replaced(
      replaced(read_text(kTruePath), kCamera2Angles, kCamera2AnglesTurned),
      kCamera2Position, kCamera2PositionMoved));
  return path;
}

RunResult run_check(const std::vector<std::string> & arguments)
{
  std::ostringstream out;
  std::ostringstream err;
  RunResult result;
  result.exit_status = run_calibration_check(arguments, kTruePath, out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

CameraConfig load_quietly(const fs::path & path)
{
  std::ostringstream matrices;
  return load_camera_config(path.string(), matrices);
}

double rotation_error_deg(const ExtrinsicTransform & a, const ExtrinsicTransform & b)
{
  const Eigen::Matrix3d difference =
    (a.block<3, 3>(0, 0).transpose() * b.block<3, 3>(0, 0)).cast<double>();
  return Eigen::AngleAxisd(difference).angle() * 180.0 / 3.141592653589793;
}

double translation_error_mm(const ExtrinsicTransform & a, const ExtrinsicTransform & b)
{
  return 1000.0 * (a.block<3, 1>(0, 3) - b.block<3, 1>(0, 3)).cast<double>().norm();
}

/// The number in "<prefix>1.8 mm" on the output's line that starts with `prefix`.
double figure_after(const std::string & out, const std::string & prefix)
{
  const std::size_t at = out.find("\n" + prefix);
  if (at == std::string::npos) {
    throw std::logic_error("no line starts with \"" + prefix + "\" in:\n" + out);
  }
  return std::stod(out.substr(at + 1 + prefix.size()));
}

bool is_empty_directory(const fs::path & directory)
{
  return !fs::exists(directory) || fs::is_empty(directory);
}

void expect_one_line(const std::string & err, const std::string & fragment)
{
  EXPECT_NE(err.find(fragment), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(CalibrationCheck, TheSampleAgreesWithTheCalibrationItWasRenderedWith)
{
  const RunResult run = run_check({"--sample"});
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_LE(figure_after(run.out, "calibration agrees to "), 1.0) << run.out;
  EXPECT_EQ(run.out.find("disagree"), std::string::npos) << run.out;
  EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST(CalibrationCheck, ATurnedAndMovedCameraDisagrees)
{
  const ScratchDirectory work;
  const RunResult run =
    run_check({"--sample", "--config", perturbed_camera_2_config(work).string()});
  EXPECT_EQ(run.exit_status, kExitCamerasDisagree) << run.err;
  // 1.5 degrees at about a metre plus 12 mm: the clouds lie some 3 cm apart.
  EXPECT_GT(figure_after(run.out, "cameras disagree by "), 20.0) << run.out;
  EXPECT_NE(run.out.find(" mm: run with --refine\n"), std::string::npos) << run.out;
}

TEST(CalibrationCheck, RefinementRecoversATurnedAndMovedCamera2)
{
  const ScratchDirectory work;
  const fs::path perturbed = perturbed_camera_2_config(work);
  const fs::path written = work / "out" / "refined.yaml";
  const RunResult run = run_check(
    {"--sample", "--config", perturbed.string(), "--refine", "--write", written.string()});
  ASSERT_EQ(run.exit_status, 0) << run.err << run.out;

  const CameraConfig truth = load_quietly(kTruePath);
  const CameraConfig refined = load_quietly(written);
  EXPECT_LT(rotation_error_deg(refined.extrinsic_2, truth.extrinsic_2), 0.2);
  EXPECT_LT(translation_error_mm(refined.extrinsic_2, truth.extrinsic_2), 2.0);
  EXPECT_EQ(refined.extrinsic_1, truth.extrinsic_1);
  EXPECT_LE(figure_after(run.out, "calibration agrees to "), 1.0) << run.out;

  // Only camera 2's two lines change; every comment and every other line stays as it was.
  std::istringstream before(read_text(perturbed));
  std::istringstream after(read_text(written));
  std::string line_before;
  std::string line_after;
  int changed = 0;
  while (std::getline(before, line_before)) {
    ASSERT_TRUE(std::getline(after, line_after));
    if (line_before != line_after) {
      ++changed;
      EXPECT_TRUE(
        line_before == std::string("  ") + kCamera2AnglesTurned ||
        line_before == std::string("  ") + kCamera2PositionMoved) << line_before;
    }
  }
  EXPECT_FALSE(std::getline(after, line_after));
  EXPECT_EQ(changed, 2);

  const cv::Mat picture = cv::imread(
    (work / "out" / "calibration_before_after.png").string(), cv::IMREAD_UNCHANGED);
  ASSERT_FALSE(picture.empty());
  EXPECT_EQ(picture.type(), CV_8UC3);
  EXPECT_GT(picture.rows, picture.cols / 2) << "a before row and an after row";
}

TEST(CalibrationCheck, RefinementOfCamera1RecoversItAndLeavesCamera2Alone)
{
  const ScratchDirectory work;
  const fs::path perturbed = work / "perturbed.yaml";
  write_text(
    perturbed, replaced(
      replaced(
        read_text(kTruePath), "Rxyz: [-137.0, 2.0, -32.5]",
        "Rxyz: [-137.0, 2.0, -33.5]"), "Txyz: [0.25, -0.55, 0.75]", "Txyz: [0.25, -0.558, 0.75]"));
  const fs::path written = work / "refined.yaml";
  const RunResult run = run_check(
    {"--sample", "--config", perturbed.string(), "--refine-camera", "1", "--write",
      written.string()});
  ASSERT_EQ(run.exit_status, 0) << run.err << run.out;
  const CameraConfig truth = load_quietly(kTruePath);
  const CameraConfig refined = load_quietly(written);
  EXPECT_LT(rotation_error_deg(refined.extrinsic_1, truth.extrinsic_1), 0.2);
  EXPECT_LT(translation_error_mm(refined.extrinsic_1, truth.extrinsic_1), 2.0);
  EXPECT_EQ(refined.extrinsic_2, truth.extrinsic_2);
  EXPECT_TRUE(fs::exists(work / "calibration_before_after.png"));
}

TEST(CalibrationCheck, ACorrectionBeyondTheLimitsIsRefusedAndNothingIsWritten)
{
  const ScratchDirectory work;
  const fs::path out = work / "out";
  const RunResult run = run_check(
    {"--sample", "--config", perturbed_camera_2_config(work).string(), "--refine", "--write",
      (out / "refined.yaml").string(), "--max-translation-mm", "5"});
  EXPECT_EQ(run.exit_status, kExitRefused);
  expect_one_line(
    run.err, "implausible correction: registration would turn camera 2 by 1.5");
  expect_one_line(
    run.err,
    "beyond the limits of 10.0 deg and 5.0 mm (--max-rotation-deg, --max-translation-mm)");
  EXPECT_TRUE(is_empty_directory(out));
}

TEST(CalibrationCheck, CamerasThatSeeNothingInCommonAreRefused)
{
  const ScratchDirectory work;
  const fs::path far_away = work / "far_away.yaml";
  write_text(
    far_away, replaced(read_text(kTruePath), kCamera2Position, "Txyz: [3.30, 0.60, 0.70]"));
  const RunResult run = run_check(
    {"--sample", "--config", far_away.string(), "--refine", "--write",
      (work / "out" / "refined.yaml").string()});
  EXPECT_EQ(run.exit_status, kExitRefused);
  expect_one_line(run.err, "no overlap: ");
  EXPECT_TRUE(is_empty_directory(work / "out"));
}

TEST(CalibrationCheck, ADepthImageWithAlmostNothingMeasuredIsRefused)
{
  const ScratchDirectory work;
  const SampleScene scene = render_sample_scene(load_quietly(kTruePath));
  write_png_file(mat_view_of(scene.depth_1), work / "depth1.png", "depth1.png");
  cv::Mat sparse = mat_view_of(scene.depth_2).clone();
  sparse.setTo(0);
  sparse(cv::Rect(300, 200, 10, 10)).setTo(900);
  write_png_file(sparse, work / "depth2.png", "depth2.png");

  const RunResult run = run_check(
    {"--depth1", (work / "depth1.png").string(), "--depth2", (work / "depth2.png").string(),
      "--refine", "--write", (work / "out" / "refined.yaml").string()});
  EXPECT_EQ(run.exit_status, kExitRefused);
  expect_one_line(run.err, "too few points: camera 2's depth image gives 100 points");
  EXPECT_TRUE(is_empty_directory(work / "out"));
}

TEST(CalibrationCheck, ARefinementThatCannotReachAgreementIsRefused)
{
  // Camera 2 right where it belongs, but with 15 mm of depth noise: no pose brings it within 5 mm
  // of camera 1's surface. Only the middle of its image measures, which keeps the noisy cloud
  // small.
  const ScratchDirectory work;
  const SampleScene scene = render_sample_scene(load_quietly(kTruePath));
  write_png_file(mat_view_of(scene.depth_1), work / "depth1.png", "depth1.png");
  const cv::Rect middle(220, 140, 200, 200);
  cv::Mat depth;
  mat_view_of(scene.depth_2)(middle).convertTo(depth, CV_32FC1);
  cv::Mat noise(depth.size(), CV_32FC1);
  cv::RNG(7).fill(noise, cv::RNG::NORMAL, 0.0, 15.0);
  cv::Mat noisy(mat_view_of(scene.depth_2).size(), CV_16UC1, cv::Scalar(0));
  cv::Mat(depth + noise).convertTo(noisy(middle), CV_16UC1);
  noisy(middle).setTo(0, depth == 0);
  write_png_file(noisy, work / "depth2.png", "depth2.png");

  const RunResult run = run_check(
    {"--depth1", (work / "depth1.png").string(), "--depth2", (work / "depth2.png").string(),
      "--refine", "--write", (work / "out" / "refined.yaml").string()});
  EXPECT_EQ(run.exit_status, kExitRefused) << run.out;
  expect_one_line(run.err, "refinement did not reach agreement: the cameras still disagree by ");
  EXPECT_TRUE(is_empty_directory(work / "out"));
}

TEST(CalibrationCheck, UnreadableInputsAndBrokenConfigurationsExitWithTwo)
{
  const ScratchDirectory work;
  const RunResult missing = run_check(
    {"--depth1", (work / "none.png").string(), "--depth2",
      (work / "none.png").string()});
  EXPECT_EQ(missing.exit_status, 2);
  expect_one_line(missing.err, "none.png: no such file");

  const fs::path broken = work / "broken.yaml";
  write_text(broken, replaced(read_text(kTruePath), "  fx: 610.0\n", ""));
  const RunResult bad_config = run_check(
    {"--sample", "--config", broken.string(), "--refine", "--write",
      (work / "refined.yaml").string()});
  EXPECT_EQ(bad_config.exit_status, 2);
  expect_one_line(
    bad_config.err,
    "configuration file " + broken.string() + ": bad conversion (key camera_intrinsic_2.fx)\n");
  EXPECT_FALSE(fs::exists(work / "refined.yaml"));

  const RunResult usage = run_check({"--sample", "--write", "x.yaml"});
  EXPECT_EQ(usage.exit_status, 2);
  expect_one_line(usage.err, "--write goes with --refine only (see --help)");
}

TEST(CalibrationCheckExecutable, ARefusalReachesTheShellAsExitStatusThree)
{
  const ScratchDirectory work;
  const fs::path far_away = work / "far_away.yaml";
  write_text(
    far_away, replaced(read_text(kTruePath), kCamera2Position, "Txyz: [3.30, 0.60, 0.70]"));
  const RunResult run = test::run_tool(
    TAVRINOX_CALIBRATION_CHECK_PATH, {"--sample", "--config", far_away.string()}, work.path());
  EXPECT_EQ(run.exit_status, kExitRefused);
  EXPECT_EQ(run.err.rfind("tavrinox_calibration_check: no overlap: ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

}  // namespace
}  // namespace tavrinox_camera_convertor
