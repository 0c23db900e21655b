// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The offline runner's files and summary: every output of the sample and its inputs, clouds and
// images equal to what the pipeline makes in this process, the same result again from the
// written inputs, and a sequence frame by frame.
#include <gtest/gtest.h>
#include <pcl/io/pcd_io.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "completion_statistics.hpp"
#include "frame_processing.hpp"
#include "image_mat.hpp"
#include "sample_scene.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "test_support.hpp"
#include "tools/offline_runner_fixture.hpp"

namespace tavrinox_camera_convertor::test
{
namespace
{

namespace fs = std::filesystem;

/// What the pipeline makes of the small sample in this process, to compare the runner's files with.
struct ExpectedRun
{
  SampleScene scene;
  FrameProducts products;
};

ExpectedRun run_in_process(const fs::path & config_path, std::uint32_t width, std::uint32_t height)
{
  const CameraConfig config = load_quietly(config_path);
  ExpectedRun expected{render_sample_scene(config, width, height), {}};
  FrameInputs inputs;
  inputs.depth_1 = expected.scene.depth_1;
  inputs.depth_2 = expected.scene.depth_2;
  inputs.rgb_1 = expected.scene.rgb_1;
  FramePipeline pipeline(config);
  CountingClock clock;
  expected.products = process_frame(pipeline, inputs, clock);
  return expected;
}

double largest_difference(const cv::Mat & a, const cv::Mat & b)
{
  if (a.size() != b.size() || a.type() != b.type()) {
    return -1.0;
  }
  return cv::norm(a, b, cv::NORM_INF);
}

/// Checks that a PCD file holds exactly the x, y, z of every point of `expected`, in order.
void expect_same_points(const fs::path & pcd, const pcl::PCLPointCloud2 & expected)
{
  pcl::PCLPointCloud2 loaded;
  ASSERT_EQ(pcl::io::loadPCDFile(pcd.string(), loaded), 0) << pcd;
  ASSERT_EQ(
    static_cast<std::size_t>(loaded.width) * loaded.height,
    static_cast<std::size_t>(expected.width) * expected.height) << pcd;
  ASSERT_GE(loaded.fields.size(), 3u);
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(loaded.fields[axis].name, expected.fields[axis].name);
    EXPECT_EQ(loaded.fields[axis].offset, expected.fields[axis].offset);
    EXPECT_EQ(loaded.fields[axis].datatype, pcl::PCLPointField::FLOAT32);
  }
  ASSERT_EQ(loaded.point_step, expected.point_step);
  const std::size_t points = static_cast<std::size_t>(expected.width) * expected.height;
  std::size_t differing = 0;
  for (std::size_t i = 0; i < points; ++i) {
    const std::uint8_t * a = loaded.data.data() + i * loaded.point_step;
    const std::uint8_t * b = expected.data.data() + i * expected.point_step;
    differing += std::memcmp(a, b, 3 * sizeof(float)) != 0 ? 1 : 0;
  }
  EXPECT_EQ(differing, 0u) << pcd;
}

TEST_F(OfflineRunner, TheSampleWritesEveryOutputAndItsInputsAndNothingElse)
{
  const fs::path out = work_ / "out";
  const RunResult run = run_small_sample(out);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::vector<std::string> expected = kFrameOutputs;
  for (const char * input : {"inputs/depth1.png", "inputs/depth2.png", "inputs/rgb1.png",
      "inputs/rgb2.png", "inputs/truth1.png"})
  {
    expected.push_back(input);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(files_below(out), expected);
}

TEST_F(OfflineRunner, CloudFilesReadBackEqualToThePipelinesClouds)
{
  const fs::path out = work_ / "out";
  ASSERT_EQ(run_small_sample(out).exit_status, 0);
  const ExpectedRun expected = run_in_process(config_, 160, 120);
  ASSERT_GT(expected.products.cam1_cloud.cloud.width, 1000u);
  ASSERT_GT(expected.products.cam2_cloud.cloud.width, 1000u);
  expect_same_points(out / "cam1_cloud.pcd", expected.products.cam1_cloud.cloud);
  expect_same_points(out / "cam2_cloud.pcd", expected.products.cam2_cloud.cloud);
  expect_same_points(out / "converted_cloud.pcd", expected.products.converted_cloud.cloud);
  // Binary PCD, which PCL, CloudCompare and Open3D all read.
  EXPECT_NE(read_text(out / "cam1_cloud.pcd").find("\nDATA binary\n"), std::string::npos);
}

TEST_F(OfflineRunner, ImagesEqualThePipelinesImagesAndTheGeneratedInputs)
{
  const fs::path out = work_ / "out";
  ASSERT_EQ(run_small_sample(out).exit_status, 0);
  const ExpectedRun expected = run_in_process(config_, 160, 120);
  const auto read = [&out](const char * name) {
      return cv::imread((out / name).string(), cv::IMREAD_UNCHANGED);
    };
  const auto difference_to = [&read](const char * name, const ImageMessage & image) {
      return largest_difference(read(name), mat_view_of(image));
    };
  EXPECT_EQ(difference_to("completed_depth.png", expected.products.completed_depth), 0.0);
  cv::Mat color_bgr;
  cv::cvtColor(mat_view_of(expected.products.color), color_bgr, cv::COLOR_RGB2BGR);
  EXPECT_EQ(largest_difference(read("color.png"), color_bgr), 0.0);
  EXPECT_EQ(difference_to("inputs/depth1.png", expected.scene.depth_1), 0.0);
  EXPECT_EQ(difference_to("inputs/depth2.png", expected.scene.depth_2), 0.0);
  EXPECT_EQ(difference_to("inputs/truth1.png", expected.scene.truth_1), 0.0);
  EXPECT_EQ(difference_to("inputs/rgb1.png", expected.scene.rgb_1), 0.0);
  const cv::Mat preview = read("preview.png");
  EXPECT_EQ(preview.type(), CV_8UC3);
  EXPECT_GT(preview.cols, 3 * 160);
}

TEST_F(OfflineRunner, TheSummaryStartsWithTheNodesMatricesAndGivesTheFrameFigures)
{
  const RunResult run = run_small_sample(work_ / "out");
  ASSERT_EQ(run.exit_status, 0) << run.err;
  std::ostringstream matrices;
  load_camera_config(config_.string(), matrices);
  EXPECT_EQ(run.out.substr(0, matrices.str().size()), matrices.str());

  const ExpectedRun expected = run_in_process(config_, 160, 120);
  const FrameProducts & products = expected.products;
  const std::string points =
    "points: cam1 cloud " + std::to_string(products.cam1_cloud.cloud.width) + ", cam2 cloud " +
    std::to_string(products.cam2_cloud.cloud.width) + ", converted cloud " +
    std::to_string(products.converted_cloud.cloud.width) + "\n";
  EXPECT_NE(run.out.find(points), std::string::npos) << run.out;
  const CompletionStatistics statistics = measure_completion(
    mat_view_of(expected.scene.depth_1),
    mat_view_of(products.completed_depth), mat_view_of(expected.scene.truth_1));
  const std::string holes = "(" + std::to_string(statistics.holes) + " of 19200)";
  EXPECT_NE(
    run.out.find("images: camera 1 depth 160 x 120, camera 2 depth 160 x 120"), std::string::npos);
  EXPECT_NE(run.out.find("holes in camera 1: "), std::string::npos);
  EXPECT_NE(run.out.find(holes), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("holes filled: "), std::string::npos);
  EXPECT_NE(run.out.find("against the truth: fill rate "), std::string::npos);
  const std::string p90 =
    "90th percentile " + std::to_string(statistics.truth->p90_error_mm) + " mm";
  EXPECT_NE(run.out.find(p90), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("time per stage (ms): check "), std::string::npos);
}

TEST_F(OfflineRunner, RerunningOnTheWrittenInputsGivesTheSameResult)
{
  const fs::path first = work_ / "first";
  ASSERT_EQ(run_small_sample(first).exit_status, 0);
  const fs::path second = work_ / "second";
  const fs::path inputs = first / "inputs";
  const auto input = [&inputs](const char * name) {return (inputs / name).string();};
  const RunResult rerun = run_runner(
    work_, {"--config", config_.string(), "--depth1", input("depth1.png"), "--depth2",
      input("depth2.png"), "--rgb1", input("rgb1.png"), "--rgb2", input("rgb2.png"), "--truth",
      input("truth1.png"), "--out", second.string()});
  ASSERT_EQ(rerun.exit_status, 0) << rerun.err;
  EXPECT_EQ(files_below(second), kFrameOutputs);
  for (const char * name : {"completed_depth.png", "color.png"}) {
    EXPECT_EQ(
      largest_difference(
        cv::imread((first / name).string(), cv::IMREAD_UNCHANGED),
        cv::imread((second / name).string(), cv::IMREAD_UNCHANGED)), 0.0) << name;
  }
  EXPECT_EQ(read_text(first / "cam2_cloud.pcd"), read_text(second / "cam2_cloud.pcd"));
  EXPECT_NE(rerun.out.find("against the truth: fill rate "), std::string::npos);
}

TEST_F(OfflineRunner, ASequenceIsProcessedInNumericOrderIntoOneDirectoryPerFrame)
{
  const fs::path sample = work_ / "sample";
  ASSERT_EQ(run_small_sample(sample).exit_status, 0);
  const fs::path sequence = work_ / "sequence";
  fs::create_directories(sequence);
  for (const char * id : {"10", "2"}) {
    for (const char * role : {"depth1", "depth2", "rgb1", "truth1"}) {
      fs::copy_file(
        sample / "inputs" / (std::string(role) + ".png"),
        sequence / (std::string(id) + "_" + role + ".png"));
    }
  }
  const fs::path out = work_ / "out";
  const RunResult run = run_runner(
    work_, {"--config", config_.string(), "--sequence", sequence.string(), "--out", out.string()});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(files_below(out / "2"), kFrameOutputs);
  EXPECT_EQ(files_below(out / "10"), kFrameOutputs);
  const std::size_t first = run.out.find("[1/2] frame 2: holes ");
  const std::size_t second = run.out.find("[2/2] frame 10: holes ");
  ASSERT_NE(first, std::string::npos) << run.out;
  ASSERT_NE(second, std::string::npos) << run.out;
  EXPECT_LT(first, second);
  EXPECT_NE(run.out.find("time per stage over 2 frames (ms):"), std::string::npos);
  EXPECT_EQ(
    read_text(out / "2" / "completed_depth.png"), read_text(sample / "completed_depth.png"));
}

}  // namespace
}  // namespace tavrinox_camera_convertor::test
