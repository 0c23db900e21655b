// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The real tavrinox_offline_runner executable run as a child process on a small configuration:
// the package's calibration at a quarter of its size, and the files every frame gives.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "test_support.hpp"
#include "tool_process.hpp"

namespace tavrinox_camera_convertor::test
{

// The package's calibration with every intrinsic divided by four: the whole sample view in
// 160 x 120. Line numbers matter for the configuration error test.
inline const char * const kSmallConfig =
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

inline const std::vector<std::string> kFrameOutputs = {
  "cam1_cloud.pcd", "cam2_cloud.pcd", "color.png", "completed_depth.png", "converted_cloud.pcd",
  "preview.png"};

/// Runs the runner with `arguments`; its standard output and error go to files in `work`.
inline RunResult run_runner(
  const std::filesystem::path & work, const std::vector<std::string> & arguments)
{
  return run_tool(TAVRINOX_OFFLINE_RUNNER_PATH, arguments, work);
}

inline CameraConfig load_quietly(const std::filesystem::path & path)
{
  std::ostringstream matrices;
  return load_camera_config(path.string(), matrices);
}

class OfflineRunner : public ::testing::Test
{
protected:
  void SetUp() override
  {
    write_text(config_, kSmallConfig);
  }

  /// Runs the 160 x 120 sample of the small configuration into `out`.
  RunResult run_small_sample(const std::filesystem::path & out)
  {
    return run_runner(
      work_,
      {"--config", config_.string(), "--sample", "--size", "160x120", "--out", out.string()});
  }

  const ScratchDirectory scratch_;
  const std::filesystem::path work_ = scratch_.path();
  const std::filesystem::path config_ = work_ / "small_config.yaml";
};

}  // namespace tavrinox_camera_convertor::test
