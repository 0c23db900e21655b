// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calibration_options.hpp"
#include "usage_error_text.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

CalibrationOptions parse(const std::vector<std::string> & arguments)
{
  return parse_calibration_options(arguments, "default.yaml");
}

/// The text of the UsageError that `arguments` give, or "" when they parse.
std::string usage_error(const std::vector<std::string> & arguments)
{
  return test::usage_error_text([&arguments] {parse(arguments);});
}

TEST(CalibrationOptions, ACheckOfFilesWithTheDefaultConfiguration)
{
  const CalibrationOptions options = parse({"--depth1", "a.png", "--depth2=b.png"});
  EXPECT_EQ(options.config_path, "default.yaml");
  EXPECT_FALSE(options.use_sample);
  EXPECT_EQ(options.depth_1, "a.png");
  EXPECT_EQ(options.depth_2, "b.png");
  EXPECT_FALSE(options.refine);
  EXPECT_EQ(options.refined_camera, 2);
  EXPECT_TRUE(options.write_path.empty());
  EXPECT_TRUE(options.output_directory.empty());
}

TEST(CalibrationOptions, ARefinementWithEverySetting)
{
  const CalibrationOptions options = parse(
    {"--config", "c.yaml", "--sample", "--refine-camera", "1", "--write", "new.yaml", "--out",
      "pictures", "--max-translation-mm", "50", "--max-rotation-deg=2.5"});
  EXPECT_EQ(options.config_path, "c.yaml");
  EXPECT_TRUE(options.use_sample);
  EXPECT_TRUE(options.refine);
  EXPECT_EQ(options.refined_camera, 1);
  EXPECT_EQ(options.write_path, "new.yaml");
  EXPECT_EQ(options.output_directory, "pictures");
  EXPECT_DOUBLE_EQ(options.max_translation_mm, 50.0);
  EXPECT_DOUBLE_EQ(options.max_rotation_deg, 2.5);
}

TEST(CalibrationOptions, DefaultLimitsAreTenCentimetresAndTenDegrees)
{
  const CalibrationOptions options = parse({"--sample", "--refine"});
  EXPECT_DOUBLE_EQ(options.max_translation_mm, 100.0);
  EXPECT_DOUBLE_EQ(options.max_rotation_deg, 10.0);
}

TEST(CalibrationOptions, MistakesNameTheOption)
{
  EXPECT_EQ(usage_error({}), "nothing to check: give --depth1 FILE and --depth2 FILE, or --sample");
  EXPECT_EQ(
    usage_error({"--sample", "--depth1", "a.png"}),
    "choose one source: --depth1 and --depth2, or --sample");
  EXPECT_EQ(
    usage_error({"--depth1", "a.png"}),
    "--depth2 is missing: a check needs both cameras' depth images");
  EXPECT_EQ(usage_error({"--sample", "--write", "x.yaml"}), "--write goes with --refine only");
  EXPECT_EQ(
    usage_error({"--sample", "--refine-camera", "3"}), "--refine-camera 3: expected 1 or 2");
  EXPECT_EQ(
    usage_error({"--sample", "--refine", "--max-rotation-deg", "-1"}),
    "--max-rotation-deg -1: expected a positive number");
  EXPECT_EQ(
    usage_error({"--sample", "--refine", "--max-translation-mm", "5mm"}),
    "--max-translation-mm 5mm: expected a positive number");
  EXPECT_EQ(usage_error({"--sample", "--sample"}), "--sample is given twice");
  EXPECT_EQ(usage_error({"--sample", "--refine=yes"}), "--refine takes no value");
  EXPECT_EQ(usage_error({"--sample", "--out"}), "--out needs a value");
  EXPECT_EQ(usage_error({"--sample", "--verbose"}), "unknown option --verbose");
  EXPECT_EQ(usage_error({"--sample", "extra"}), "unexpected argument \"extra\"");
}

TEST(CalibrationOptions, HelpNeedsNothingElse)
{
  EXPECT_TRUE(parse({"-h"}).show_help);
  EXPECT_NE(calibration_usage().find("Exit status"), std::string::npos);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
