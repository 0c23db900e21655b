// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Arbitrary image messages and calibration through the frame pipeline. A frame must either
// give all five outputs, or be rejected with FrameError before the first output (an
// unreadable depth image) or right after the depth image (a colour image that cannot become
// rgb8). The outputs must be consistent messages, and nothing may be read out of bounds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <typeinfo>

#include "checking_output.hpp"
#include "frame_acceptance.hpp"
#include "fuzz_finding.hpp"
#include "fuzzed_calibration.hpp"
#include "fuzzed_image.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"

namespace
{

namespace tc = tavrinox_camera_convertor;
using tc::fuzz::CheckingOutput;
using tc::fuzz::colour_convertible;
using tc::fuzz::consume_extrinsic;
using tc::fuzz::consume_header;
using tc::fuzz::consume_intrinsics;
using tc::fuzz::depth_readable;
using tc::fuzz::fill_pixels;
using tc::fuzz::finding;
using tc::fuzz::FuzzedImage;
using tc::fuzz::require;
using tc::fuzz::Role;

class FixedClock : public tc::Clock
{
public:
  tc::Stamp now() override {return tc::Stamp{};}
};

void run_frame(FuzzedDataProvider & input, tc::FramePipeline & pipeline)
{
  FuzzedImage depth_1 = consume_header(input, Role::kDepth);
  FuzzedImage depth_2 = consume_header(input, Role::kDepth);
  FuzzedImage rgb_1 = consume_header(input, Role::kColour);
  fill_pixels(input, depth_1);
  fill_pixels(input, depth_2);
  fill_pixels(input, rgb_1);

  CheckingOutput output(depth_1.view(), depth_2.view(), rgb_1.view());
  FixedClock clock;
  try {
    pipeline.process(
      {depth_1.view(), depth_2.view()}, tc::ImageViewColorConverter(rgb_1.view()),
      clock, output);
  } catch (const tc::FrameError & error) {
    if (output.published() == 0) {
      require(
        !depth_readable(depth_1.view(), true) || !depth_readable(depth_2.view(), false),
        "readable depth images were rejected");
      return;
    }
    require(
      output.published() == 3,
      "a FrameError stopped the frame in a place other than the two documented ones");
    require(!colour_convertible(rgb_1.view()), "a convertible colour image was refused");
    return;
  } catch (const std::exception & error) {
    finding(std::string("foreign exception ") + typeid(error).name() + ": " + error.what());
  }
  require(output.published() == 5, "the frame ended without all five outputs");
  require(
    depth_readable(depth_1.view(), true) && depth_readable(depth_2.view(), false),
    "an unreadable depth image was accepted");
  require(colour_convertible(rgb_1.view()), "an unconvertible colour image was accepted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  FuzzedDataProvider input(data, size);
  tc::CameraConfig config;
  config.arm_frame_id = "arm";
  config.extrinsic_1 = consume_extrinsic(input);
  config.extrinsic_2 = consume_extrinsic(input);
  config.intrinsics_1 = consume_intrinsics(input);
  config.intrinsics_2 = consume_intrinsics(input);
  tc::FramePipeline pipeline(config);
  // A second frame through the same pipeline exercises the buffers it keeps between frames.
  const int frames = input.ConsumeBool() ? 2 : 1;
  for (int frame = 0; frame < frames; ++frame) {
    run_frame(input, pipeline);
  }
  return 0;
}
