// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The offline runner executable on calibrations with values far beyond any workspace: it must
// finish and draw its preview whatever the values; ctest's TIMEOUT catches a run that does not.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include <opencv2/imgcodecs.hpp>

#include "image_mat.hpp"
#include "sample_scene.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "test_files.hpp"
#include "tool_process.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

namespace fs = std::filesystem;

const char * const kPackageConfig = TAVRINOX_DEFAULT_CONFIG_PATH;
// Camera 2's position in the package's configuration.
const char * const kCamera2Position = "Txyz: [0.30, 0.60, 0.70]";

/// The package's configuration with camera 2's position replaced by `position`.
std::string config_with_camera_2_at(const std::string & position)
{
  std::string text = test::read_text(kPackageConfig);
  const std::size_t at = text.find(kCamera2Position);
  if (at == std::string::npos) {
    throw std::logic_error(std::string("no \"") + kCamera2Position + "\" in " + kPackageConfig);
  }
  return text.replace(at, std::string(kCamera2Position).size(), position);
}

/// Pixels of camera 1's colour in the cloud views where camera 2's points are not.
int camera_1_only_pixels(const cv::Mat & picture)
{
  int count = 0;
  for (int row = 0; row < picture.rows; ++row) {
    for (int column = 0; column < picture.cols; ++column) {
      const cv::Vec3b pixel = picture.at<cv::Vec3b>(row, column);
      count += pixel[0] == 0 && pixel[1] > 60 && pixel[1] < 125 && pixel[2] > 140 ? 1 : 0;
    }
  }
  return count;
}

class RunnerFarValues : public ::testing::Test
{
protected:
  void SetUp() override
  {
    std::ostringstream matrices;
    const SampleScene scene =
      render_sample_scene(load_camera_config(kPackageConfig, matrices), 320, 240);
    for (const auto & [name, image] : {std::pair{"depth1.png", &scene.depth_1},
        std::pair{"depth2.png", &scene.depth_2}, std::pair{"rgb1.png", &scene.rgb_1}})
    {
      cv::imwrite((work_ / name).string(), mat_view_of(*image));
    }
  }

  /// Runs the frame set with camera 2 at `position` instead of where it was when it was taken.
  test::RunResult run_with_camera_2_at(const std::string & position)
  {
    const fs::path config = work_ / "config.yaml";
    test::write_text(config, config_with_camera_2_at(position));
    return test::run_tool(
      TAVRINOX_OFFLINE_RUNNER_PATH, {"--config", config.string(),
        "--depth1", (work_ / "depth1.png").string(), "--depth2", (work_ / "depth2.png").string(),
        "--rgb1", (work_ / "rgb1.png").string(), "--out", (work_ / "out").string()}, work_.path());
  }

  test::ScratchDirectory work_;
};

TEST_F(RunnerFarValues, ACameraTenBillionMetresAwayStillGivesAPreviewOfTheOtherCamera)
{
  // An exponent slip: 1.0e10 for 1.0.
  const test::RunResult run = run_with_camera_2_at("Txyz: [1.0e10, 0.60, 0.70]");
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const cv::Mat preview = cv::imread((work_ / "out" / "preview.png").string(), cv::IMREAD_COLOR);
  ASSERT_FALSE(preview.empty());
  // Camera 1's cloud fills both views as usual; camera 2's lies 10^10 m off and is left out.
  EXPECT_GT(camera_1_only_pixels(preview), 2000);
  const std::size_t count_at = run.out.find(", cam2 cloud ");
  ASSERT_NE(count_at, std::string::npos) << run.out;
  const std::string camera_2_points = std::to_string(std::stoul(run.out.substr(count_at + 13)));
  const std::size_t line = run.out.find(
    "\nleft out of the cloud views (framed on the 1st to 99th "
    "percentile of each cloud): top view ");
  ASSERT_NE(line, std::string::npos) << run.out;
  const std::string note = run.out.substr(line + 1, run.out.find('\n', line + 1) - line - 1);
  // Every one of camera 2's points, in both views, and its position.
  const std::string all_of_camera_2 = ", camera 2 " + camera_2_points + ")";
  const std::size_t top = note.find(all_of_camera_2);
  ASSERT_NE(top, std::string::npos) << note;
  EXPECT_NE(note.find("; side view ", top), std::string::npos) << note;
  EXPECT_NE(note.find(all_of_camera_2, top + 1), std::string::npos) << note;
  EXPECT_EQ(note.substr(note.size() - 34), "; camera 2's position (both views)") << note;
}

}  // namespace
}  // namespace tavrinox_camera_convertor
