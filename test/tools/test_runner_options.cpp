// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runner_options.hpp"
#include "usage_error_text.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

const char * const kDefaultConfig = "/share/config/camera_config.yaml";

RunnerOptions parse(const std::vector<std::string> & arguments)
{
  return parse_runner_options(arguments, kDefaultConfig);
}

/// The text of the UsageError that `arguments` give, or "" when they parse.
std::string usage_error_of(const std::vector<std::string> & arguments)
{
  return test::usage_error_text([&arguments] {parse(arguments);});
}

TEST(RunnerOptions, ReadsASingleFrameWithItsOptionalFiles)
{
  const RunnerOptions options = parse(
    {"--depth1", "d1.png", "--depth2=d2.png", "--rgb1", "c1.jpg", "--rgb2", "c2.png", "--truth",
      "t.png", "--out", "result", "--config", "my.yaml"});
  EXPECT_FALSE(options.show_help);
  EXPECT_EQ(options.source, FrameSource::kFiles);
  EXPECT_EQ(options.files.depth_1, "d1.png");
  EXPECT_EQ(options.files.depth_2, "d2.png");
  EXPECT_EQ(options.files.rgb_1, "c1.jpg");
  EXPECT_EQ(options.files.rgb_2, std::optional<std::string>("c2.png"));
  EXPECT_EQ(options.files.truth_1, std::optional<std::string>("t.png"));
  EXPECT_EQ(options.output_directory, "result");
  EXPECT_EQ(options.config_path, "my.yaml");
}

TEST(RunnerOptions, WithoutConfigTheDefaultIsUsedAndOptionalFilesStayUnset)
{
  const RunnerOptions options =
    parse({"--depth1", "a", "--depth2", "b", "--rgb1", "c", "--out", "o"});
  EXPECT_EQ(options.config_path, kDefaultConfig);
  EXPECT_FALSE(options.files.rgb_2.has_value());
  EXPECT_FALSE(options.files.truth_1.has_value());
}

TEST(RunnerOptions, ReadsTheSampleWithDefaultAndChosenSize)
{
  const RunnerOptions plain = parse({"--sample", "--out", "o"});
  EXPECT_EQ(plain.source, FrameSource::kSample);
  EXPECT_EQ(plain.sample_width, 640u);
  EXPECT_EQ(plain.sample_height, 480u);
  const RunnerOptions sized = parse({"--sample", "--size", "320x200", "--out", "o"});
  EXPECT_EQ(sized.sample_width, 320u);
  EXPECT_EQ(sized.sample_height, 200u);
}

TEST(RunnerOptions, ReadsASequence)
{
  const RunnerOptions options = parse({"--sequence", "frames", "--out", "o"});
  EXPECT_EQ(options.source, FrameSource::kSequence);
  EXPECT_EQ(options.sequence_directory, "frames");
}

TEST(RunnerOptions, HelpNeedsNothingElse)
{
  EXPECT_TRUE(parse({"--help"}).show_help);
  EXPECT_TRUE(parse({"-h"}).show_help);
  EXPECT_NE(runner_usage().find("--sequence DIR"), std::string::npos);
}

TEST(RunnerOptions, NamesTheOptionThatIsWrong)
{
  EXPECT_EQ(usage_error_of({"--sample", "--out", "o", "--colour", "x"}), "unknown option --colour");
  EXPECT_EQ(usage_error_of({"--sample", "--out", "o", "stray"}), "unexpected argument \"stray\"");
  EXPECT_EQ(usage_error_of({"--sample", "--out"}), "--out needs a value");
  EXPECT_EQ(usage_error_of({"--sample", "--out="}), "--out needs a non-empty value");
  EXPECT_EQ(usage_error_of({"--sample=yes", "--out", "o"}), "--sample takes no value");
  EXPECT_EQ(usage_error_of({"--sample", "--out", "o", "--out", "p"}), "--out is given twice");
  EXPECT_EQ(
    usage_error_of({"--sample"}),
    "--out DIR is missing: the runner needs a directory for its outputs");
  EXPECT_EQ(
    usage_error_of({"--out", "o"}),
    "nothing to do: give --depth1, --depth2 and --rgb1, or --sample, or --sequence DIR");
}

TEST(RunnerOptions, RefusesOptionsThatDoNotGoTogether)
{
  EXPECT_EQ(
    usage_error_of({"--sample", "--sequence", "s", "--out", "o"}),
    "choose one source: image files (--depth1 ...), --sample or --sequence");
  EXPECT_EQ(
    usage_error_of({"--sample", "--truth", "t.png", "--out", "o"}),
    "choose one source: image files (--depth1 ...), --sample or --sequence");
  EXPECT_EQ(
    usage_error_of({"--sequence", "s", "--size", "10x10", "--out", "o"}),
    "--size goes with --sample only");
  EXPECT_EQ(
    usage_error_of({"--depth1", "a", "--rgb1", "c", "--out", "o"}),
    "--depth2 is missing: a single frame needs --depth1, --depth2 and --rgb1");
}

TEST(RunnerOptions, RefusesMalformedSizes)
{
  for (const char * size :
    {"640", "640x", "x480", "0x480", "640x0", "8193x480", "64ax48", "640x480x2", "-640x480"})
  {
    const std::string error = usage_error_of({"--sample", "--size", size, "--out", "o"});
    EXPECT_NE(error.find("expected WIDTHxHEIGHT"), std::string::npos) << size;
  }
  EXPECT_EQ(parse({"--sample", "--size", "8192x1", "--out", "o"}).sample_width, 8192u);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
