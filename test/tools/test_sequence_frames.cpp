// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runner_error.hpp"
#include "sequence_frames.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

namespace fs = std::filesystem;

/// Gives each test a directory of its own, removed after a test that passed.
class SequenceFramesTest : public ::testing::Test
{
protected:
  void TearDown() override
  {
    if (!HasFailure() && !directory_.empty()) {
      fs::remove_all(directory_);
    }
  }

  /// A fresh directory holding empty files of the given names.
  std::string directory_with(const std::vector<std::string> & names)
  {
    const ::testing::TestInfo * test = ::testing::UnitTest::GetInstance()->current_test_info();
    directory_ = fs::path(::testing::TempDir()) / ("sequence_" + std::string(test->name()) + "_" +
      std::to_string(getpid()));
    fs::remove_all(directory_);
    fs::create_directories(directory_);
    for (const std::string & name : names) {
      std::ofstream(directory_ / name) << "";
    }
    return directory_.string();
  }

private:
  fs::path directory_;
};

std::string error_of(const std::string & directory)
{
  try {
    list_sequence_frames(directory);
  } catch (const RunnerError & error) {
    return error.what();
  }
  return "";
}

TEST_F(SequenceFramesTest, ListsFrameSetsInNumericOrderWithTheirOptionalFiles)
{
  const std::string directory = directory_with(
      {
        "10_depth1.png", "10_depth2.png", "10_rgb1.jpg",
        "000002_depth1.png", "000002_depth2.png", "000002_rgb1.png", "000002_rgb2.png",
        "000002_truth1.png",
        "README.md", "000003_notes.txt", "abc_depth1.png", "000002_depth1"});
  const std::vector<SequenceFrame> frames = list_sequence_frames(directory);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].id, "000002");
  EXPECT_EQ(frames[0].files.depth_1, directory + "/000002_depth1.png");
  EXPECT_EQ(frames[0].files.depth_2, directory + "/000002_depth2.png");
  EXPECT_EQ(frames[0].files.rgb_1, directory + "/000002_rgb1.png");
  EXPECT_EQ(frames[0].files.rgb_2, std::optional<std::string>(directory + "/000002_rgb2.png"));
  EXPECT_EQ(frames[0].files.truth_1, std::optional<std::string>(directory + "/000002_truth1.png"));
  EXPECT_EQ(frames[1].id, "10");
  EXPECT_EQ(frames[1].files.rgb_1, directory + "/10_rgb1.jpg");
  EXPECT_FALSE(frames[1].files.rgb_2.has_value());
  EXPECT_FALSE(frames[1].files.truth_1.has_value());
}

TEST_F(SequenceFramesTest, AFrameWithoutARequiredFileIsNamed)
{
  const std::string directory = directory_with(
      {
        "000001_depth1.png", "000001_depth2.png", "000001_rgb1.png", "000002_depth1.png",
        "000002_rgb1.png"});
  EXPECT_EQ(error_of(directory), directory + ": frame 000002 has no 000002_depth2 file");
}

TEST_F(SequenceFramesTest, TwoFilesForOneRoleAreRefused)
{
  const std::string directory = directory_with(
      {
        "000001_depth1.png", "000001_depth2.png", "000001_rgb1.png", "000001_rgb1.jpg"});
  const std::string error = error_of(directory);
  EXPECT_NE(error.find("frame 000001 has two rgb1 files"), std::string::npos) << error;
}

TEST_F(SequenceFramesTest, AMissingOrEmptyDirectoryIsRefused)
{
  EXPECT_EQ(
    error_of(
      "/nonexistent/sequence"),
    "/nonexistent/sequence: no such directory (expected a sequence directory)");
  const std::string directory = directory_with({"notes.txt"});
  EXPECT_EQ(
    error_of(
      directory), directory + ": no frame files found (expected names like 000001_depth1.png)");
}

}  // namespace
}  // namespace tavrinox_camera_convertor
