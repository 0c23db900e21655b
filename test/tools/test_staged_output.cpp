// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runner_error.hpp"
#include "staged_output.hpp"
#include "test_files.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

namespace fs = std::filesystem;

using test::files_below;
using test::read_text;
using test::write_text;

/// Gives each test an empty directory of its own, removed after a test that passed.
class StagedOutputTest : public ::testing::Test
{
protected:
  fs::path fresh_directory() const {return directory_.path();}

private:
  const test::ScratchDirectory directory_;
};

TEST_F(StagedOutputTest, FilesAppearOnlyOnCommitAndUnderTheirFinalNames)
{
  const fs::path out = fresh_directory() / "out";
  StagedOutput staged(out);
  const StagedOutput::File cloud = staged.stage("cloud.pcd");
  const StagedOutput::File input = staged.stage("inputs/depth1.png");
  EXPECT_EQ(input.final_path, (out / "inputs" / "depth1.png").string());
  write_text(cloud.temporary, "cloud");
  write_text(input.temporary, "depth");
  EXPECT_FALSE(fs::exists(cloud.final_path));
  EXPECT_FALSE(fs::exists(input.final_path));

  staged.commit();
  EXPECT_EQ(files_below(out), (std::vector<std::string>{"cloud.pcd", "inputs/depth1.png"}));
  EXPECT_EQ(read_text(cloud.final_path), "cloud");
  EXPECT_EQ(read_text(input.final_path), "depth");
}

TEST_F(StagedOutputTest, WithoutCommitTheCreatedDirectoriesAndFilesAreRemoved)
{
  const fs::path root = fresh_directory();
  const fs::path out = root / "new" / "out";
  {
    StagedOutput staged(out);
    write_text(staged.stage("preview.png").temporary, "half");
    write_text(staged.stage("inputs/rgb1.png").temporary, "half");
    ASSERT_TRUE(fs::exists(out / "inputs"));
  }
  EXPECT_FALSE(fs::exists(root / "new"));
}

TEST_F(StagedOutputTest, WithoutCommitAnExistingDirectoryKeepsExactlyWhatItHad)
{
  const fs::path out = fresh_directory();
  write_text(out / "keep.txt", "mine");
  write_text(out / "preview.png", "older run");
  {
    StagedOutput staged(out);
    write_text(staged.stage("preview.png").temporary, "new run");
    write_text(staged.stage("color.png").temporary, "new run");
  }
  EXPECT_EQ(files_below(out), (std::vector<std::string>{"keep.txt", "preview.png"}));
  EXPECT_EQ(read_text(out / "preview.png"), "older run");
}

TEST_F(StagedOutputTest, CommitReplacesTheFilesOfAnEarlierRun)
{
  const fs::path out = fresh_directory();
  write_text(out / "preview.png", "older run");
  StagedOutput staged(out);
  write_text(staged.stage("preview.png").temporary, "new run");
  staged.commit();
  EXPECT_EQ(files_below(out), std::vector<std::string>{"preview.png"});
  EXPECT_EQ(read_text(out / "preview.png"), "new run");
}

TEST_F(StagedOutputTest, ADirectoryBelowARegularFileIsRefusedAndNothingIsMade)
{
  const fs::path root = fresh_directory();
  write_text(root / "plain_file", "");
  try {
    StagedOutput staged(root / "plain_file" / "out");
    FAIL() << "expected a RunnerError";
  } catch (const RunnerError & error) {
    const std::string text = error.what();
    EXPECT_NE(text.find((root / "plain_file" / "out").string()), std::string::npos) << text;
    EXPECT_NE(text.find("is not a directory"), std::string::npos) << text;
  }
  EXPECT_EQ(files_below(root), std::vector<std::string>{"plain_file"});
}

}  // namespace
}  // namespace tavrinox_camera_convertor
