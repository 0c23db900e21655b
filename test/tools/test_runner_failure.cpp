// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "frame_processing.hpp"
#include "runner_error.hpp"
#include "runner_failure.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

template<typename Exception>
RunnerFailure failure_of(const Exception & exception)
{
  try {
    throw exception;
  } catch (...) {
    return describe_current_failure();
  }
}

TEST(RunnerFailure, TheUsersFaultsEndWithStatusTwoAndTheirText)
{
  const RunnerFailure input = failure_of(RunnerError("d1.png: no such file"));
  EXPECT_EQ(input.exit_status, kExitBadInput);
  EXPECT_EQ(input.message, "d1.png: no such file");

  const RunnerFailure usage = failure_of(UsageError("unknown option --x"));
  EXPECT_EQ(usage.exit_status, kExitBadInput);
  EXPECT_EQ(usage.message, "unknown option --x (see --help)");

  const RunnerFailure frame = failure_of(FrameError("camera 2 depth image: unsupported encoding"));
  EXPECT_EQ(frame.exit_status, kExitBadInput);
  EXPECT_EQ(
    frame.message,
    "the pipeline rejected the frame: camera 2 depth image: unsupported encoding");
}

TEST(RunnerFailure, AnythingElseIsAnInternalError)
{
  const RunnerFailure failure = failure_of(std::logic_error("index out of range"));
  EXPECT_EQ(failure.exit_status, kExitInternalError);
  EXPECT_EQ(failure.message, "internal error: index out of range");
  EXPECT_EQ(failure_of(42).exit_status, kExitInternalError);
}

TEST(RunnerFailure, AFrameThePipelineRejectsReachesTheUserWithThePipelinesText)
{
  FrameInputs inputs;
  inputs.depth_1 = test::make_depth_image(2, 2, {1000, 1000, 1000, 1000});
  inputs.depth_1.encoding = "32SC1";
  inputs.depth_2 = test::make_depth_image(2, 2, {1000, 1000, 1000, 1000});
  inputs.rgb_1 = test::make_color_image(2, 2, "bgr8", std::vector<std::uint8_t>(12, 0));
  FramePipeline pipeline(test::identity_config());
  test::CountingClock clock;
  std::string pipeline_text;
  RunnerFailure failure;
  try {
    process_frame(pipeline, inputs, clock);
  } catch (const FrameError & error) {
    pipeline_text = error.what();
    failure = describe_current_failure();
  }
  ASSERT_NE(pipeline_text.find("camera 1"), std::string::npos) << pipeline_text;
  EXPECT_EQ(failure.exit_status, kExitBadInput);
  EXPECT_EQ(failure.message, "the pipeline rejected the frame: " + pipeline_text);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
