// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Regressions for bad inputs found while hardening: image headers that claim far more than
// their data holds must be refused by their sizes, never trusted for an allocation; and
// calibration numbers that would turn every point into NaN or infinity must be refused when
// the configuration is read, not published as clouds.
#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"
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
  FrameProducts products;
  KeepingOutput output(products);
  EXPECT_THROW(
    pipeline.process(
      {view_of(depth), view_of(depth)}, ImageViewColorConverter(view_of(colour)), clock, output),
    FrameError);
  const std::vector<OutputKind> depth_outputs = {
    OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::depth_image};
  EXPECT_EQ(products.published, depth_outputs);
}

/// The text of the yaml-cpp exception loading `replacement` in place of `original` gives, or
/// "loaded".
std::string load_error(const std::string & original, const std::string & replacement)
{
  std::string text = test::kComplete;
  const std::size_t at = text.find(original);
  EXPECT_NE(at, std::string::npos) << original;
  text.replace(at, original.size(), replacement);
  std::ostringstream printed;
  try {
    load_camera_config(test::TemporaryFile("malformed_input_config.yaml", text).path(), printed);
  } catch (const YAML::BadConversion & error) {
    return error.what();
  }
  return "loaded";
}

/// yaml-cpp's text for a value it cannot take, at its 1-based position, and the value's key.
std::string refusal_at(int line, int column, const std::string & key_path)
{
  return "yaml-cpp: error at line " + std::to_string(line) + ", column " +
         std::to_string(column) + ": bad conversion (key " + key_path + ")";
}

TEST(MalformedConfiguration, NonFiniteOrZeroFocalLengthsAreRefusedWithTheirPositionAndKey)
{
  EXPECT_EQ(load_error("fx: 600.5", "fx: 0"), refusal_at(8, 7, "camera_intrinsic_1.fx"));
  EXPECT_EQ(load_error("fy: 611", "fy: -0.0"), refusal_at(14, 7, "camera_intrinsic_2.fy"));
  EXPECT_EQ(load_error("fx: 610", "fx: .nan"), refusal_at(13, 7, "camera_intrinsic_2.fx"));
  EXPECT_EQ(load_error("fy: 601", "fy: .inf"), refusal_at(9, 7, "camera_intrinsic_1.fy"));
}

TEST(MalformedConfiguration, NonFinitePrincipalPointsAndExtrinsicsAreRefusedWithTheirPositionAndKey)
{
  EXPECT_EQ(load_error("cx: 320", "cx: -.inf"), refusal_at(10, 7, "camera_intrinsic_1.cx"));
  EXPECT_EQ(load_error("cy: 250", "cy: .NaN"), refusal_at(16, 7, "camera_intrinsic_2.cy"));
  const std::string nan_angle = load_error("Rxyz: [0, 0, 90]", "Rxyz: [0, .nan, 90]");
  EXPECT_EQ(nan_angle, refusal_at(5, 13, "camera_extrinsic_2.Rxyz[1]"));
  const std::string infinite_position = load_error("Txyz: [1, 2, 3]", "Txyz: [1, 2, .inf]");
  EXPECT_EQ(infinite_position, refusal_at(6, 16, "camera_extrinsic_2.Txyz[2]"));
}

TEST(MalformedConfiguration, LargeAnglesNegativeFocalLengthsAndFarTranslationsStillLoad)
{
  // Unusual but finite calibrations give finite points; only NaN, infinity and zero focal
  // lengths cannot.
  EXPECT_EQ(load_error("Rxyz: [0, 0, 90]", "Rxyz: [720, -1e6, 90]"), "loaded");
  EXPECT_EQ(load_error("fx: 600.5", "fx: -600.5"), "loaded");
  EXPECT_EQ(load_error("Txyz: [1, 2, 3]", "Txyz: [1e30, 2, 3]"), "loaded");
}

}  // namespace
}  // namespace tavrinox_camera_convertor
