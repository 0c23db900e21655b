// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "extrinsic_values.hpp"
#include "runner_error.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

const char * const kFlowConfig =
  "# Camera 1 to arm.\n"
  "camera_extrinsic_1:\n"
  "  Rxyz: [-137.0, 2.0, -32.5]   # measured by hand\n"
  "  Txyz: [0.25, -0.55, 0.75]\n"
  "\n"
  "camera_extrinsic_2:\n"
  "  Rxyz: [-134.1, -1.5, -153.4]\n"
  "  Txyz: [0.30,0.60,0.70]\n"
  "other: {Rxyz: 1}\n";

const char * const kBlockConfig =
  "camera_extrinsic_2:\n"
  "  Rxyz:\n"
  "    - -134.1   # about x\n"
  "    - '-1.5'\n"
  "    - \"-153.4\"\n"
  "  Txyz:\n"
  "    - 0.30\n"
  "    - 0.60\n"
  "    - 0.70\n";

std::vector<std::string> lines_of(const std::string & text)
{
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line); ) {
    lines.push_back(line);
  }
  return lines;
}

ExtrinsicValues corrected_values()
{
  ExtrinsicValues values;
  values.angles_deg = {-134.09981234, -1.49987, -153.40612};
  values.translation_m = {0.2999953, 0.60016849, 0.6999981};
  return values;
}

TEST(ExtrinsicValues, ReadsTheConfiguredNumbers)
{
  const ExtrinsicValues values = read_extrinsic_values(kFlowConfig, 1, "test.yaml");
  EXPECT_EQ(values.angles_deg, (EulerAngles{-137.0, 2.0, -32.5}));
  EXPECT_EQ(values.translation_m, (std::array<double, 3>{0.25, -0.55, 0.75}));
}

TEST(ExtrinsicValues, ReplacingChangesOnlyTheSixNumbersOfTheChosenCamera)
{
  const std::string rewritten = replace_extrinsic_values(
    kFlowConfig, 2,
    corrected_values(), "test.yaml");
  const std::vector<std::string> before = lines_of(kFlowConfig);
  const std::vector<std::string> after = lines_of(rewritten);
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (i == 6) {
      EXPECT_EQ(after[i], "  Rxyz: [-134.0998, -1.4999, -153.4061]");
    } else if (i == 7) {
      EXPECT_EQ(after[i], "  Txyz: [0.299995,0.600168,0.699998]");
    } else {
      EXPECT_EQ(after[i], before[i]) << "line " << i + 1;
    }
  }
  const ExtrinsicValues reread = read_extrinsic_values(rewritten, 2, "test.yaml");
  EXPECT_NEAR(reread.angles_deg[2], -153.4061, 1e-12);
  EXPECT_NEAR(reread.translation_m[1], 0.600168, 1e-12);
}

TEST(ExtrinsicValues, BlockSequencesAndQuotedNumbersAreRewrittenInPlace)
{
  const std::string rewritten = replace_extrinsic_values(
    kBlockConfig, 2,
    corrected_values(), "test.yaml");
  EXPECT_EQ(
    rewritten,
    "camera_extrinsic_2:\n"
    "  Rxyz:\n"
    "    - -134.0998   # about x\n"
    "    - -1.4999\n"
    "    - -153.4061\n"
    "  Txyz:\n"
    "    - 0.299995\n"
    "    - 0.600168\n"
    "    - 0.699998\n");
}

TEST(ExtrinsicValues, TheNodeReadsTheRewrittenTransformFromTheNumbers)
{
  const std::string rewritten = replace_extrinsic_values(
    kFlowConfig, 2,
    corrected_values(), "test.yaml");
  const ExtrinsicTransform expected =
    make_extrinsic_transform({-134.0998f, -1.4999f, -153.4061f}, {0.299995f, 0.600168f, 0.699998f});
  EXPECT_EQ(configured_extrinsic(rewritten, 2, "test.yaml"), expected);
  EXPECT_EQ(
    configured_extrinsic(rewritten, 1, "test.yaml"),
    configured_extrinsic(kFlowConfig, 1, "test.yaml"));
}

TEST(ExtrinsicValues, NumbersAreShortAndNeverNegativeZero)
{
  EXPECT_EQ(config_number(180.0, 4), "180.0");
  EXPECT_EQ(config_number(-0.00001, 4), "0.0");
  EXPECT_EQ(config_number(0.3, 6), "0.3");
  EXPECT_EQ(config_number(-153.40612, 4), "-153.4061");
  EXPECT_EQ(config_number(0.12345678, 6), "0.123457");
}

TEST(ExtrinsicValues, MissingOrMalformedSequencesNameTheKey)
{
  const auto expect_error = [](const std::string & text, const std::string & fragment) {
      try {
        read_extrinsic_values(text, 2, "cfg.yaml");
        ADD_FAILURE() << "no error for " << text;
      } catch (const RunnerError & error) {
        EXPECT_NE(std::string(error.what()).find(fragment), std::string::npos) << error.what();
      }
    };
  expect_error("camera_extrinsic_1:\n  Rxyz: [1, 2, 3]\n", "camera_extrinsic_2.Rxyz");
  expect_error(
    "camera_extrinsic_2:\n  Rxyz: [1, 2]\n  Txyz: [1, 2, 3]\n",
    "camera_extrinsic_2.Rxyz");
  expect_error("camera_extrinsic_2:\n  Rxyz: [1, 2, 3]\n  Txyz: [a, 2, 3]\n", "cfg.yaml");
  expect_error("camera_extrinsic_2: [\n", "cfg.yaml");
}

}  // namespace
}  // namespace tavrinox_camera_convertor
