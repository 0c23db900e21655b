// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Without --config a tool reads the configuration the node reads: the installed one when it is
// installed with the package, the source tree's when it runs from a build directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_files.hpp"
#include "tool_process.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

namespace fs = std::filesystem;

/// A configuration that loads no further than camera 1's fx, so the error names the file read.
const char * const kBrokenConfig = "camera_extrinsic_1: {Rxyz: [0, 0, 0], Txyz: [0, 0, 0]}\n";

TEST(DefaultConfig, AnInstalledToolReadsTheInstalledConfiguration)
{
  const test::ScratchDirectory scratch;
  const fs::path prefix = scratch / "install";
  const fs::path tool = prefix / "lib" / "tavrinox_camera_convertor" / "tavrinox_offline_runner";
  const fs::path installed = prefix / "share" / "tavrinox_camera_convertor" / "config" /
    "camera_config.yaml";
  fs::create_directories(tool.parent_path());
  fs::create_directories(installed.parent_path());
  fs::copy_file(TAVRINOX_OFFLINE_RUNNER_PATH, tool);
  test::write_text(installed, kBrokenConfig);

  const test::RunResult run = test::run_tool(
    tool.string(), {"--sample", "--size", "8x8", "--out", (scratch / "out").string()},
    scratch.path());
  EXPECT_EQ(run.exit_status, 2) << run.err;
  EXPECT_NE(run.err.find(installed.string()), std::string::npos) << run.err;
}

TEST(DefaultConfig, AToolRunFromTheBuildTreeReadsTheSourceTreesConfiguration)
{
  const test::ScratchDirectory scratch;
  // Beside a package folder that holds no configuration, the tool keeps to the source tree's.
  const fs::path tool = scratch / "lib" / "tavrinox_camera_convertor" / "tavrinox_offline_runner";
  fs::create_directories(tool.parent_path());
  fs::copy_file(TAVRINOX_OFFLINE_RUNNER_PATH, tool);
  for (const fs::path & runner : {fs::path(TAVRINOX_OFFLINE_RUNNER_PATH), tool}) {
    const test::RunResult run = test::run_tool(
      runner.string(), {"--sample", "--size", "8x8", "--out", (scratch / "out").string()},
      scratch.path());
    EXPECT_EQ(run.exit_status, 0) << runner << ": " << run.err;
    // The summary starts with the matrices of the configuration it read: the package's own.
    EXPECT_NE(run.out.find("camera_extrinsic_2_: "), std::string::npos) << run.out;
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
