// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Runs the real tavrinox_offline_runner executable as a child process.
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
#include "tool_process.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

namespace fs = std::filesystem;

// The package's calibration with every intrinsic divided by four: the whole sample view in
// 160 x 120. Line numbers matter for the configuration error test.
const char * const kSmallConfig =
  "camera_extrinsic_1:\n"                    // 1
  "  Rxyz: [-137.0, 2.0, -32.5]\n"           // 2
  "  Txyz: [0.25, -0.55, 0.75]\n"            // 3
  "camera_extrinsic_2:\n"                    // 4
  "  Rxyz: [-134.1, -1.5, -153.4]\n"         // 5
  "  Txyz: [0.30, 0.60, 0.70]\n"             // 6
  "camera_intrinsic_1:\n"                    // 7
  "  fx: 131.25\n"                           // 8
  "  fy: 131.25\n"                           // 9
  "  cx: 79.5\n"                             // 10
  "  cy: 59.5\n"                             // 11
  "camera_intrinsic_2:\n"                    // 12
  "  fx: 152.5\n"                            // 13
  "  fy: 152.5\n"                            // 14
  "  cx: 80.15\n"                            // 15
  "  cy: 60.05\n"                            // 16
  "tavrinox_camera_convertor:\n"             // 17
  "  arm_frame_id: arm_base_link\n"          // 18
  "  rgb_topic_1: /camera_01/color\n"        // 19
  "  depth_topic_1: /camera_01/depth\n"      // 20
  "  rgb_topic_2: /camera_02/color\n"        // 21
  "  depth_topic_2: /camera_02/depth\n";     // 22

const std::vector<std::string> kFrameOutputs = {
  "cam1_cloud.pcd", "cam2_cloud.pcd", "color.png", "completed_depth.png", "converted_cloud.pcd",
  "preview.png"};

using test::files_below;
using test::read_text;
using test::RunResult;
using test::write_text;

/// Runs the runner with `arguments`; its standard output and error go to files in `work`.
RunResult run_runner(const fs::path & work, const std::vector<std::string> & arguments)
{
  return test::run_tool(TAVRINOX_OFFLINE_RUNNER_PATH, arguments, work);
}

CameraConfig load_quietly(const fs::path & path)
{
  std::ostringstream matrices;
  return load_camera_config(path.string(), matrices);
}

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
  test::CountingClock clock;
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

class OfflineRunner : public ::testing::Test
{
protected:
  void SetUp() override
  {
    write_text(config_, kSmallConfig);
  }

  /// Runs the 160 x 120 sample of the small configuration into `out`.
  RunResult run_small_sample(const fs::path & out)
  {
    return run_runner(
      work_,
      {"--config", config_.string(), "--sample", "--size", "160x120", "--out", out.string()});
  }

  const test::ScratchDirectory scratch_;
  const fs::path work_ = scratch_.path();
  const fs::path config_ = work_ / "small_config.yaml";
};

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

// ---------------------------------------------------------------- bad input

/// A frame set of real files to spoil one at a time.
class OfflineRunnerBadInput : public OfflineRunner
{
protected:
  void SetUp() override
  {
    OfflineRunner::SetUp();
    const SampleScene scene = render_sample_scene(load_quietly(config_), 32, 24);
    depth_1_ = work_ / "depth1.png";
    depth_2_ = work_ / "depth2.png";
    rgb_1_ = work_ / "rgb1.png";
    cv::imwrite(depth_1_.string(), mat_view_of(scene.depth_1));
    cv::imwrite(depth_2_.string(), mat_view_of(scene.depth_2));
    cv::imwrite(rgb_1_.string(), mat_view_of(scene.rgb_1));
    out_ = work_ / "out";
  }

  RunResult run_with(const fs::path & depth_1, const fs::path & config)
  {
    return run_runner(
      work_, {"--config", config.string(), "--depth1", depth_1.string(), "--depth2",
        depth_2_.string(), "--rgb1", rgb_1_.string(), "--out", out_.string()});
  }

  /// Exit status 2, exactly one line on standard error holding every piece, and no output.
  void expect_refused(const RunResult & run, const std::vector<std::string> & pieces)
  {
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("tavrinox_offline_runner: ", 0), 0u) << run.err;
    for (const std::string & piece : pieces) {
      EXPECT_NE(run.err.find(piece), std::string::npos)
        << "missing \"" << piece << "\" in: " << run.err;
    }
    EXPECT_FALSE(fs::exists(out_)) << "output left behind";
  }

  fs::path depth_1_;
  fs::path depth_2_;
  fs::path rgb_1_;
  fs::path out_;
};

TEST_F(OfflineRunnerBadInput, TheSpoilableFrameItselfRuns)
{
  const RunResult run = run_with(depth_1_, config_);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(files_below(out_), kFrameOutputs);
}

TEST_F(OfflineRunnerBadInput, AMissingFile)
{
  const fs::path missing = work_ / "no_such_depth.png";
  expect_refused(run_with(missing, config_), {missing.string() + ": no such file"});
}

TEST_F(OfflineRunnerBadInput, AFileThatIsNoImage)
{
  const fs::path text = work_ / "notes.png";
  write_text(text, "these are notes, not pixels");
  expect_refused(
    run_with(text, config_), {text.string() + ": not an image file OpenCV can decode"});
}

TEST_F(OfflineRunnerBadInput, AnEmptyFile)
{
  const fs::path empty = work_ / "empty.png";
  write_text(empty, "");
  expect_refused(run_with(empty, config_), {empty.string() + ": the file is empty"});
}

TEST_F(OfflineRunnerBadInput, ATruncatedPng)
{
  const std::string whole = read_text(depth_1_);
  const fs::path cut = work_ / "cut.png";
  write_text(cut, whole.substr(0, whole.size() / 2));
  expect_refused(run_with(cut, config_), {cut.string() + ": the PNG file is truncated"});
}

TEST_F(OfflineRunnerBadInput, ADirectoryInsteadOfAFile)
{
  expect_refused(
    run_with(work_, config_), {work_.string() + ": is a directory, not an image file"});
}

TEST_F(OfflineRunnerBadInput, AColourImageAsDepth)
{
  expect_refused(
    run_with(rgb_1_, config_),
    {rgb_1_.string() + ": a depth image must be single-channel 16-bit (millimetres), "
      "this one is 3-channel 8-bit"});
}

TEST_F(OfflineRunnerBadInput, AnEightBitGreyImageAsDepth)
{
  const fs::path grey = work_ / "grey.png";
  cv::imwrite(grey.string(), cv::Mat1b(24, 32, std::uint8_t{100}));
  expect_refused(
    run_with(grey, config_),
    {grey.string() + ": a depth image must be single-channel 16-bit",
      "this one is 1-channel 8-bit"});
}

TEST_F(OfflineRunnerBadInput, ATruthOfAnotherSize)
{
  const fs::path truth = work_ / "truth.png";
  cv::imwrite(truth.string(), cv::Mat1w(10, 10, std::uint16_t{1000}));
  const RunResult run = run_runner(
    work_, {"--config", config_.string(), "--depth1", depth_1_.string(), "--depth2",
      depth_2_.string(), "--rgb1", rgb_1_.string(), "--truth", truth.string(), "--out",
      out_.string()});
  expect_refused(
    run, {truth.string() + ": the truth is 10 x 10 pixels but camera 1's depth", "is 32 x 24"});
}

TEST_F(OfflineRunnerBadInput, AConfigurationValueThatIsNoNumber)
{
  std::string text = kSmallConfig;
  text.replace(text.find("fx: 131.25"), 10, "fx: wide");
  const fs::path config = work_ / "bad_config.yaml";
  write_text(config, text);
  // "fx" of camera 1 is on line 8; its value starts in column 7.
  expect_refused(
    run_with(depth_1_, config),
    {"configuration file " + config.string() +
      ": yaml-cpp: error at line 8, column 7: bad conversion (key camera_intrinsic_1.fx)\n"});
}

TEST_F(OfflineRunnerBadInput, AMissingConfigurationKeyIsNamed)
{
  const std::string camera_2_cx = "  cx: 80.15\n";
  std::string text = kSmallConfig;
  text.erase(text.find(camera_2_cx), camera_2_cx.size());
  const fs::path config = work_ / "short_config.yaml";
  write_text(config, text);
  expect_refused(
    run_with(depth_1_, config),
    {"configuration file " + config.string() + ": bad conversion (key camera_intrinsic_2.cx)\n"});
}

TEST_F(OfflineRunnerBadInput, AMissingConfigurationFile)
{
  const fs::path config = work_ / "absent.yaml";
  expect_refused(
    run_with(depth_1_, config), {"configuration file " + config.string() + ": bad file"});
}

TEST_F(OfflineRunnerBadInput, AnOutputDirectoryThatCannotBeMade)
{
  const fs::path plain_file = work_ / "plain_file";
  write_text(plain_file, "");
  out_ = plain_file / "out";
  expect_refused(
    run_with(depth_1_, config_),
    {out_.string() + ": cannot create the output directory",
      plain_file.string() + " exists and is not a directory"});
  EXPECT_EQ(read_text(plain_file), "");
}

TEST_F(OfflineRunnerBadInput, AFailedRunLeavesAnExistingOutputDirectoryAsItWas)
{
  fs::create_directories(out_);
  write_text(out_ / "preview.png", "from an earlier run");
  const RunResult run = run_with(work_ / "absent.png", config_);
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(files_below(out_), std::vector<std::string>{"preview.png"});
  EXPECT_EQ(read_text(out_ / "preview.png"), "from an earlier run");
}

TEST_F(OfflineRunnerBadInput, ASequenceFrameWithoutItsSecondDepth)
{
  const fs::path sequence = work_ / "sequence";
  fs::create_directories(sequence);
  fs::copy_file(depth_1_, sequence / "000001_depth1.png");
  fs::copy_file(rgb_1_, sequence / "000001_rgb1.png");
  const RunResult run = run_runner(
    work_, {"--config", config_.string(), "--sequence", sequence.string(), "--out", out_.string()});
  expect_refused(run, {sequence.string() + ": frame 000001 has no 000001_depth2 file"});
}

TEST_F(OfflineRunnerBadInput, AnUnknownOption)
{
  const RunResult run = run_runner(work_, {"--sample", "--out", out_.string(), "--fast"});
  expect_refused(run, {"unknown option --fast (see --help)"});
}

}  // namespace
}  // namespace tavrinox_camera_convertor
