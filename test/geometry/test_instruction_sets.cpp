// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The vector loops against the one-pixel-at-a-time loop, byte for byte, on frames chosen to
// hit their edges: row tails, unmeasured runs, points behind the camera, outside the image,
// beyond 16 bits and below a millimetre, and calibrations that make every number NaN.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/geometry/hole_mask.hpp"
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::vector<InstructionSet> vector_sets()
{
  std::vector<InstructionSet> sets;
  for (const InstructionSet set : {InstructionSet::sse2, InstructionSet::avx2}) {
    if (is_supported(set)) {
      sets.push_back(set);
    }
  }
  return sets;
}

FrameProducts run_frame(
  const CameraConfig & config, InstructionSet set, const ImageMessage & depth_1,
  const ImageMessage & depth_2)
{
  const ImageMessage rgb = test::make_color_image(
    depth_1.width, depth_1.height, "rgb8",
    std::vector<std::uint8_t>(std::size_t{3} *depth_1.width * depth_1.height, 9));
  FramePipeline pipeline(config, set);
  test::CountingClock clock;
  FrameProducts products;
  KeepingOutput output(products);
  const ImageViewColorConverter colour(view_of(rgb));
  pipeline.process({view_of(depth_1), view_of(depth_2)}, colour, clock, output);
  return products;
}

void expect_same_outputs(const FrameProducts & vector, const FrameProducts & scalar)
{
  for (const OutputKind cloud :
    {OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::converted_cloud})
  {
    const int index = static_cast<int>(cloud);
    EXPECT_EQ(cloud_of(vector, cloud).cloud.width, cloud_of(scalar, cloud).cloud.width) << index;
    EXPECT_TRUE(cloud_of(vector, cloud).cloud.data == cloud_of(scalar, cloud).cloud.data)
      << "output " << index << ": records differ";
  }
  EXPECT_TRUE(
    vector.completed_depth.data ==
    scalar.completed_depth.data) << "completed depth differs";
}

/// Depth with runs of holes, the extreme values 1 and 65535 mm, and everything in between.
ImageMessage edge_depth(std::mt19937 & random, std::uint32_t width, std::uint32_t height)
{
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> depth(200, 3000);
  std::vector<std::uint16_t> mm(static_cast<std::size_t>(width) * height);
  for (auto & value : mm) {
    const int k = kind(random);
    value = k < 3 ? 0 : k == 3 ? 1 : k == 4 ? 65535 : static_cast<std::uint16_t>(depth(random));
  }
  return test::make_depth_image(width, height, mm);
}

TEST(InstructionSets, EveryVectorLoopWritesTheScalarBytesOnEdgeFrames)
{
  ASSERT_TRUE(is_supported(InstructionSet::scalar));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Calibration
  {
    std::string name;
    CameraIntrinsics intrinsics_1;
    ExtrinsicTransform extrinsic_2;
  };
  const std::vector<Calibration> calibrations = {
    {"nearby pose", {9.0f, 8.0f, 6.5f, 4.5f}, make_extrinsic_transform(
        {1.0f, -2.0f, 3.0f}, {0.01f,
          -0.02f, 0.0f})},
    // An unmeasured pixel back-projects to the camera's own position, here in view of camera 1.
    {"camera 2 half a metre ahead", {9.0f, 8.0f, 6.5f, 4.5f}, make_extrinsic_transform(
        {0, 0, 0},
        {0.001f,
          0.002f,
          0.5f})},
    {"camera 2 behind camera 1", {9.0f, 8.0f, 6.5f, 4.5f}, make_extrinsic_transform(
        {180.0f, 0.0f,
          0.0f},
        {0, 0, 0})},
    {"depth beyond 16 bits", {9.0f, 8.0f, 6.5f, 4.5f}, make_extrinsic_transform(
        {0, 0, 0}, {0.0f,
          0.0f, 70.0f})},
    {"sub-millimetre depth", {9.0f, 8.0f, 6.5f, 4.5f}, make_extrinsic_transform(
        {0, 0, 0}, {0.0f,
          0.0f, -3.0f})},
    {"columns beyond 2^31", {3e9f, -3e9f, 1e10f, -1e10f}, ExtrinsicTransform::Identity()},
    {"zero focal length", {0.0f, 0.0f, 6.5f, 4.5f}, ExtrinsicTransform::Identity()},
    {"NaN principal point", {9.0f, 8.0f, nan, 4.5f}, ExtrinsicTransform::Identity()},
    {"infinite focal length", {inf, 8.0f, 6.5f, 4.5f}, ExtrinsicTransform::Identity()},
  };
  std::mt19937 random(8);
  for (const Calibration & calibration : calibrations) {
    CameraConfig config = test::identity_config();
    config.intrinsics_1 = calibration.intrinsics_1;
    config.intrinsics_2 = {9.0f, 8.0f, 6.5f, 4.5f};
    config.extrinsic_2 = calibration.extrinsic_2;
    // Widths around the vector lengths, so every loop has a tail and some rows have none.
    for (const std::uint32_t width : {1u, 3u, 4u, 7u, 8u, 9u, 13u, 16u, 17u, 33u}) {
      const ImageMessage depth_1 = edge_depth(random, width, 9);
      const ImageMessage depth_2 = edge_depth(random, width + 2, 7);
      const FrameProducts scalar = run_frame(config, InstructionSet::scalar, depth_1, depth_2);
      for (const InstructionSet set : vector_sets()) {
        SCOPED_TRACE(calibration.name + ", width " + std::to_string(width) + ", " + to_string(set));
        expect_same_outputs(run_frame(config, set, depth_1, depth_2), scalar);
      }
    }
  }
}

TEST(InstructionSets, NearbyPoseFillsHolesSoTheComparisonMeansSomething)
{
  // The edge-frame comparison is only worth something if points do land in holes.
  CameraConfig config = test::identity_config();
  config.intrinsics_1 = config.intrinsics_2 = {9.0f, 8.0f, 6.5f, 4.5f};
  config.extrinsic_2 = make_extrinsic_transform({1.0f, -2.0f, 3.0f}, {0.01f, -0.02f, 0.0f});
  std::mt19937 random(8);
  const ImageMessage depth_1 = edge_depth(random, 33, 9);
  const ImageMessage depth_2 = edge_depth(random, 35, 7);
  const FrameProducts output = run_frame(config, fastest_instruction_set(), depth_1, depth_2);
  const ImageMessage & completed = output.completed_depth;
  std::size_t filled = 0;
  for (std::uint32_t r = 0; r < 9; ++r) {
    for (std::uint32_t c = 0; c < 33; ++c) {
      filled += test::depth_at(depth_1, r, c) == 0 && test::depth_at(completed, r, c) != 0;
    }
  }
  EXPECT_GT(filled, 5u);
}

TEST(InstructionSets, NamesAndSupport)
{
  EXPECT_EQ(to_string(InstructionSet::scalar), "scalar");
  EXPECT_EQ(to_string(InstructionSet::sse2), "sse2");
  EXPECT_EQ(to_string(InstructionSet::avx2), "avx2");
  EXPECT_TRUE(is_supported(fastest_instruction_set()));
  for (const InstructionSet set :
    {InstructionSet::scalar, InstructionSet::sse2, InstructionSet::avx2})
  {
    if (is_supported(set)) {
      EXPECT_NO_THROW(FramePipeline(test::identity_config(), set));
    } else {
      EXPECT_THROW(FramePipeline(test::identity_config(), set), std::invalid_argument);
    }
  }
}

TEST(HoleMask, ImageWithoutPixelsHasNoWordsWhateverItsOtherSide)
{
  ImageMessage image;
  image.encoding = "16UC1";
  image.height = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint16_t> scratch;
  HoleMask mask;
  mask.assign(DepthPixels(view_of(image), "camera 1", scratch));
  EXPECT_EQ(mask.words_per_row(), 0u);
  EXPECT_EQ(mask.height(), image.height);
  EXPECT_FALSE(mask.has_holes());
}

TEST(HoleMask, HasHolesSeesOneHoleAnywhereAndForgetsItOnTheNextImage)
{
  // 40 columns: words filled 32 pixels at a time and a tail of 8.
  const std::uint32_t width = 40;
  const std::uint32_t height = 2;
  std::vector<std::uint16_t> scratch;
  HoleMask mask;
  for (std::uint32_t hole_at = 0; hole_at <= width * height; ++hole_at) {
    std::vector<std::uint16_t> mm(std::size_t{width} *height, 1500);
    if (hole_at < mm.size()) {
      mm[hole_at] = 0;
    }
    const ImageMessage image = test::make_depth_image(width, height, mm);
    mask.assign(DepthPixels(view_of(image), "camera 1", scratch));
    EXPECT_EQ(mask.has_holes(), hole_at < mm.size()) << "hole at " << hole_at;
  }
}

TEST(HoleMask, MarksExactlyTheZeroPixelsForAnyWidthStepAndByteOrder)
{
  std::mt19937 random(5);
  std::bernoulli_distribution hole(0.4);
  for (const std::uint32_t width : {1u, 15u, 16u, 31u, 32u, 33u, 64u, 100u}) {
    const std::uint32_t height = 3;
    std::vector<std::uint16_t> mm(std::size_t{width} *height);
    for (auto & value : mm) {
      value = hole(random) ? 0 : 0x0100;  // a value whose bytes differ, so byte order matters
    }
    // Padded rows in the other byte order: the mask must follow the pixels, not the bytes.
    ImageMessage image;
    image.width = width;
    image.height = height;
    image.encoding = "16UC1";
    image.is_bigendian = host_is_bigendian() ? 0 : 1;
    image.step = 2 * width + 6;
    image.data.assign(std::size_t{image.step} *height, 0xEE);
    for (std::uint32_t r = 0; r < height; ++r) {
      for (std::uint32_t c = 0; c < width; ++c) {
        const std::uint16_t value = mm[std::size_t{r} *width + c];
        image.data[r * image.step + 2 *
          c] = static_cast<std::uint8_t>(host_is_bigendian() ? value : value >> 8);
        image.data[r * image.step + 2 * c +
          1] = static_cast<std::uint8_t>(host_is_bigendian() ? value >> 8 : value);
      }
    }
    std::vector<std::uint16_t> scratch;
    HoleMask mask;
    mask.assign(DepthPixels(view_of(image), "camera 1", scratch));
    ASSERT_EQ(mask.width(), width);
    ASSERT_EQ(mask.height(), height);
    EXPECT_EQ(mask.words_per_row(), (width + 31) / 32);
    for (std::uint32_t r = 0; r < height; ++r) {
      for (std::uint32_t c = 0; c < width; ++c) {
        EXPECT_EQ(
          mask.is_hole(r, c),
          mm[std::size_t{r} *width + c] == 0) << "width " << width << " at " << r << ", " << c;
      }
    }
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
