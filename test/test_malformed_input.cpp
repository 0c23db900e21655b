// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Regressions for inputs the fuzz targets found: image headers that claim far more than
// their data holds must be refused by their sizes, never trusted for an allocation.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/color_conversion.hpp"
#include "tavrinox_camera_convertor/frame_error.hpp"
#include "tavrinox_camera_convertor/frame_pipeline.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

// The largest width and height the colour conversion accepts: rows of this many pixels
// would need about 864 PB of rgb8, more than any machine can allocate.
constexpr std::uint32_t kLargestColourSide = std::numeric_limits<int>::max() / 4;

ImageMessage colour_header_larger_than_its_data()
{
  ImageMessage image;
  image.width = kLargestColourSide;
  image.height = kLargestColourSide;
  image.encoding = "rgb8";
  image.step = 3 * kLargestColourSide;
  image.data.assign(12, 7);
  return image;
}

TEST(MalformedColourImage, HeaderClaimingMorePixelsThanItsDataIsRefusedWithoutAllocatingThem)
{
  ImageMessage out;
  try {
    convert_image_to_rgb8(view_of(colour_header_larger_than_its_data()), out);
    FAIL() << "the conversion succeeded";
  } catch (const FrameError & error) {
    EXPECT_EQ(
      std::string(error.what()),
      "camera 1 colour image: data holds 12 bytes, fewer than step x height = " +
      std::to_string(static_cast<std::uint64_t>(3 * kLargestColourSide) * kLargestColourSide));
  }
  EXPECT_LT(out.data.capacity(), 1024u);
}

TEST(MalformedColourImage, PipelinePublishesTheDepthOutputsAndStopsBeforeTheColourImage)
{
  CameraConfig config = test::identity_config();
  config.intrinsics_1 = {4.0f, 4.0f, 1.5f, 1.0f};
  config.intrinsics_2 = config.intrinsics_1;
  const ImageMessage depth = test::make_depth_image(4, 3, std::vector<std::uint16_t>(12, 1000));
  const ImageMessage colour = colour_header_larger_than_its_data();
  FramePipeline pipeline(config);
  test::CountingClock clock;
  test::RecordingOutput output;
  EXPECT_THROW(
    pipeline.process({view_of(depth), view_of(depth)}, ImageViewColorConverter(view_of(colour)), clock, output),
    FrameError);
  EXPECT_EQ(output.topics(), (std::vector<std::string>{"cam1_cloud", "cam2_cloud", "depth_image"}));
}

}  // namespace
}  // namespace tavrinox_camera_convertor
