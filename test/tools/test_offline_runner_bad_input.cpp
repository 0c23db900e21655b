// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The offline runner refuses bad input with exit status 2 and one line that names the file and
// what is wrong with it, and leaves no output behind: missing, empty, truncated or wrong images,
// a bad configuration, an output directory it cannot make, an unknown option.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "image_mat.hpp"
#include "sample_scene.hpp"
#include "test_support.hpp"
#include "tools/offline_runner_fixture.hpp"

namespace tavrinox_camera_convertor::test
{
namespace
{

namespace fs = std::filesystem;

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

// Each depth image it cannot read, named with what is wrong with it.
TEST_F(OfflineRunnerBadInput, ADepthImageItCannotReadIsNamedWithTheReason)
{
  const std::string whole = read_text(depth_1_);
  write_text(work_ / "notes.png", "these are notes, not pixels");
  write_text(work_ / "empty.png", "");
  write_text(work_ / "cut.png", whole.substr(0, whole.size() / 2));
  cv::imwrite((work_ / "grey.png").string(), cv::Mat1b(24, 32, std::uint8_t{100}));
  const struct
  {
    fs::path depth_1;
    std::vector<std::string> pieces;  ///< the first follows the file's name
  } cases[] = {
    {work_ / "no_such_depth.png", {": no such file"}},
    {work_ / "notes.png", {": not an image file OpenCV can decode"}},
    {work_ / "empty.png", {": the file is empty"}},
    {work_ / "cut.png", {": the PNG file is truncated"}},
    {work_, {": is a directory, not an image file"}},
    {rgb_1_, {": a depth image must be single-channel 16-bit (millimetres), "
        "this one is 3-channel 8-bit"}},
    {work_ / "grey.png", {": a depth image must be single-channel 16-bit",
        "this one is 1-channel 8-bit"}},
  };
  for (const auto & entry : cases) {
    SCOPED_TRACE(entry.depth_1.string());
    std::vector<std::string> pieces = entry.pieces;
    pieces[0] = entry.depth_1.string() + pieces[0];
    expect_refused(run_with(entry.depth_1, config_), pieces);
  }
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
}  // namespace tavrinox_camera_convertor::test
