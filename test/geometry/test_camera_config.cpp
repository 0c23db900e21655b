// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <yaml-cpp/yaml.h>

#include <sstream>
#include <string>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

using test::kComplete;

std::string with(std::string text, const std::string & from, const std::string & to)
{
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

struct Loaded
{
  std::string printed;
  std::string error;
  std::string message;  ///< yaml-cpp's msg, what() without the position
};

/// Loads `text`, keeping what was printed and the exception text, if any.
template<typename Exception>
Loaded load_failing(const std::string & text)
{
  std::ostringstream printed;
  Loaded loaded;
  const test::TemporaryFile file("camera_config_test.yaml", text);
  try {
    load_camera_config(file.path(), printed);
    ADD_FAILURE() << "loading succeeded";
  } catch (const Exception & error) {
    loaded.error = error.what();
    loaded.message = error.msg;
  }
  loaded.printed = printed.str();
  return loaded;
}

CameraConfig load(const std::string & text, std::string * printed = nullptr)
{
  std::ostringstream out;
  const CameraConfig config =
    load_camera_config(test::TemporaryFile("camera_config_test.yaml", text).path(), out);
  if (printed != nullptr) {
    *printed = out.str();
  }
  return config;
}

TEST(CameraConfig, CompleteFileFillsEveryValue)
{
  std::string printed;
  const CameraConfig config = load(kComplete, &printed);
  EXPECT_EQ(config.arm_frame_id, "base_link");
  EXPECT_EQ(config.intrinsics_1.fx, 600.5f);
  EXPECT_EQ(config.intrinsics_1.fy, 601.0f);
  EXPECT_EQ(config.intrinsics_1.cx, 320.0f);
  EXPECT_EQ(config.intrinsics_1.cy, 240.0f);
  EXPECT_EQ(config.intrinsics_2.fx, 610.0f);
  EXPECT_EQ(config.intrinsics_2.cy, 250.0f);
  EXPECT_EQ(config.rgb_topic_1, "/cam1/color");
  EXPECT_EQ(config.depth_topic_1, "/cam1/depth");
  EXPECT_EQ(config.rgb_topic_2, "/cam2/color");
  EXPECT_EQ(config.depth_topic_2, "/cam2/depth");
  EXPECT_EQ(config.extrinsic_1.col(3), Eigen::Vector4f(0.1f, 0.2f, 0.3f, 1.0f));
  EXPECT_EQ(config.extrinsic_2(0, 1), -1.0f);
  EXPECT_EQ(config.extrinsic_2.col(3), Eigen::Vector4f(1.0f, 2.0f, 3.0f, 1.0f));
  EXPECT_EQ(printed.find("相机外参齐次变换矩阵camera_extrinsic_1: \n  1   0   0 0.1\n"), 0u);
  EXPECT_NE(printed.find("相机外参齐次变换矩阵camera_extrinsic_2_: \n"), std::string::npos);
}

TEST(CameraConfig, KeyOrderAndExtraKeysDoNotMatter)
{
  const std::string reordered =
    "notes: {owner: lab, revision: 3}\n"
    "tavrinox_camera_convertor:\n"
    "  depth_topic_2: /d2\n  rgb_topic_2: /c2\n  depth_topic_1: /d1\n  rgb_topic_1: /c1\n"
    "  arm_frame_id: arm\n  unused: 1\n"
    "camera_intrinsic_2: {cy: 4, cx: 3, fy: 2, fx: 1}\n"
    "camera_intrinsic_1: {cy: 8, cx: 7, fy: 6, fx: 5}\n"
    "camera_extrinsic_2:\n  Txyz:\n    - 0\n    - 0\n    - 1\n  Rxyz: [0, 0, 0]\n"
    "camera_extrinsic_1: {Txyz: [1, 0, 0], Rxyz: [0, 0, 0], comment: front}\n";
  const CameraConfig config = load(reordered);
  EXPECT_EQ(config.rgb_topic_1, "/c1");
  EXPECT_EQ(config.depth_topic_2, "/d2");
  EXPECT_EQ(config.intrinsics_1.fx, 5.0f);
  EXPECT_EQ(config.intrinsics_2.cy, 4.0f);
  EXPECT_EQ(config.extrinsic_1(0, 3), 1.0f);
  EXPECT_EQ(config.extrinsic_2(2, 3), 1.0f);
}

TEST(CameraConfig, NumbersMayBeIntegersAndSequencesLonger)
{
  const std::string text =
    with(with(kComplete, "fx: 600.5", "fx: 600"), "Rxyz: [0, 0, 0]", "Rxyz: [0, 0, 90, 40]");
  const CameraConfig config = load(text);
  EXPECT_EQ(config.intrinsics_1.fx, 600.0f);
  EXPECT_EQ(
    config.extrinsic_1, load(with(kComplete, "Rxyz: [0, 0, 0]", "Rxyz: [0, 0, 90]")).extrinsic_1);
}

TEST(CameraConfig, ShortRotationNamesTheMissingElementBeforeAnythingIsPrinted)
{
  const Loaded loaded =
    load_failing<YAML::BadConversion>(with(kComplete, "Rxyz: [0, 0, 0]", "Rxyz: [0, 0]"));
  EXPECT_EQ(loaded.error, "bad conversion (key camera_extrinsic_1.Rxyz[2])");
  EXPECT_EQ(loaded.printed, "");
}

TEST(CameraConfig, WordForFocalLengthFailsWithItsPositionAndKeyAfterBothMatricesArePrinted)
{
  const Loaded loaded = load_failing<YAML::BadConversion>(with(kComplete, "fx: 600.5", "fx: wide"));
  EXPECT_EQ(
    loaded.error,
    "yaml-cpp: error at line 8, column 7: bad conversion (key camera_intrinsic_1.fx)");
  EXPECT_EQ(loaded.message, "bad conversion (key camera_intrinsic_1.fx)");
  EXPECT_NE(loaded.printed.find("camera_extrinsic_1: \n"), std::string::npos);
  EXPECT_NE(loaded.printed.find("camera_extrinsic_2_: \n"), std::string::npos);
}

TEST(CameraConfig, MissingIntrinsicNamesItsKeyPath)
{
  Loaded loaded = load_failing<YAML::BadConversion>(with(kComplete, "  fx: 600.5\n", ""));
  EXPECT_EQ(loaded.error, "bad conversion (key camera_intrinsic_1.fx)");
  loaded = load_failing<YAML::BadConversion>(with(kComplete, "  cy: 250\n", ""));
  EXPECT_EQ(loaded.error, "bad conversion (key camera_intrinsic_2.cy)");
  loaded = load_failing<YAML::BadConversion>(with(kComplete, "  depth_topic_2: /cam2/depth\n", ""));
  EXPECT_EQ(loaded.error, "bad conversion (key tavrinox_camera_convertor.depth_topic_2)");
}

TEST(CameraConfig, NullFrameIdReadsAsTheTextNull)
{
  const auto frame_id_of = [](const std::string & line) {
      return load(with(kComplete, "arm_frame_id: base_link", line)).arm_frame_id;
    };
  EXPECT_EQ(frame_id_of("arm_frame_id: ~"), "null");
  EXPECT_EQ(frame_id_of("arm_frame_id:"), "null");
}

TEST(CameraConfig, MissingSectionFailsAfterPrintingTheMatrices)
{
  const std::string complete = kComplete;
  const std::string text = complete.substr(0, complete.find("tavrinox_camera_convertor:"));
  const Loaded loaded = load_failing<YAML::BadConversion>(text);
  EXPECT_EQ(loaded.error, "bad conversion (key tavrinox_camera_convertor.arm_frame_id)");
  EXPECT_NE(loaded.printed.find("camera_extrinsic_2_: \n"), std::string::npos);
}

TEST(CameraConfig, ScalarWhereAMappingOrSequenceBelongsIsABadSubscript)
{
  const std::string scalar_section = with(
    kComplete, "camera_extrinsic_1:\n  Rxyz: [0, 0, 0]\n  Txyz: [0.1, 0.2, 0.3]\n",
    "camera_extrinsic_1: 5\n");
  Loaded loaded = load_failing<YAML::BadSubscript>(scalar_section);
  EXPECT_EQ(
    loaded.error,
    "yaml-cpp: error at line 1, column 21: operator[] call on a scalar (key: \"Rxyz\") "
    "(key camera_extrinsic_1.Rxyz[0])");
  EXPECT_EQ(loaded.printed, "");

  loaded = load_failing<YAML::BadSubscript>(with(kComplete, "Rxyz: [0, 0, 0]", "Rxyz: 5"));
  EXPECT_EQ(
    loaded.error,
    "yaml-cpp: error at line 2, column 9: operator[] call on a scalar (key: \"0\") "
    "(key camera_extrinsic_1.Rxyz[0])");

  loaded = load_failing<YAML::BadSubscript>(
    with(
      kComplete, "camera_intrinsic_1:\n  fx: 600.5\n  fy: 601\n  cx: 320\n  cy: 240\n",
      "camera_intrinsic_1: 525.0\n"));
  EXPECT_EQ(
    loaded.error,
    "yaml-cpp: error at line 7, column 21: operator[] call on a scalar (key: \"fx\") "
    "(key camera_intrinsic_1.fx)");
}

TEST(CameraConfig, MissingOrBrokenFileRaisesTheLibrarysOwnErrors)
{
  std::ostringstream printed;
  EXPECT_THROW(
    load_camera_config(::testing::TempDir() + "no_such_config.yaml", printed), YAML::BadFile);
  const test::TemporaryFile broken("broken.yaml", "camera_extrinsic_1: [1, 2\n");
  EXPECT_THROW(load_camera_config(broken.path(), printed), YAML::ParserException);
  EXPECT_EQ(printed.str(), "");
}

TEST(CameraConfig, DirectoryOrUnreadableFileIsRefusedLikeAMissingOne)
{
  // A directory would otherwise read as an empty document and fail on the first key.
  std::ostringstream printed;
  const std::string directory = ::testing::TempDir();
  try {
    load_camera_config(directory, printed);
    ADD_FAILURE() << "a directory was read as a configuration";
  } catch (const YAML::BadFile & error) {
    EXPECT_EQ(std::string(error.what()), "bad file: " + directory + " (a directory, not a file)");
  }
  if (geteuid() != 0) {  // root reads whatever the mode says
    const test::TemporaryFile unreadable("unreadable.yaml", test::kComplete);
    ASSERT_EQ(chmod(unreadable.path().c_str(), 0), 0);
    EXPECT_THROW(load_camera_config(unreadable.path(), printed), YAML::BadFile);
  }
  EXPECT_EQ(printed.str(), "");
}

}  // namespace
}  // namespace tavrinox_camera_convertor

namespace tavrinox_camera_convertor
{
namespace
{

TEST(CameraConfig, SectionsOtherSourcesSupplyMayBeLeftOutButAreCheckedWhenThere)
{
  const std::string topics_only =
    "tavrinox_camera_convertor:\n  arm_frame_id: base_link\n  rgb_topic_1: /a\n"
    "  depth_topic_1: /b\n  rgb_topic_2: /c\n  depth_topic_2: /d\n";
  std::ostringstream printed;
  const CameraConfig config = load_camera_config(
    test::TemporaryFile("sections.yaml", topics_only).path(), printed, {false, false});
  EXPECT_EQ(config.arm_frame_id, "base_link");
  EXPECT_EQ(config.depth_topic_2, "/d");
  EXPECT_EQ(printed.str(), "") << "no matrix comes from the file when TF gives them";
  // A section that is there is still read, and a broken one still stops the node.
  const std::string broken = topics_only + "camera_intrinsic_2:\n  fx: 0\n";
  EXPECT_THROW(
    load_camera_config(
      test::TemporaryFile("broken.yaml", broken).path(), printed, {false, false}),
    YAML::BadConversion);
  // Without the extrinsics wanted, the file's own are read but not printed.
  std::ostringstream quiet;
  const CameraConfig full = load_camera_config(
    test::TemporaryFile("full.yaml", test::kComplete).path(), quiet, {true, false});
  EXPECT_EQ(full.extrinsic_2(0, 3), 1.0f);
  EXPECT_EQ(quiet.str(), "");
  EXPECT_THROW(
    load_camera_config(test::TemporaryFile("no_k.yaml", topics_only).path(), quiet, {true, false}),
    YAML::BadConversion);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
