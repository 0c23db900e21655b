// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Whole frames through the cloud codec: the sample tabletop and sensor-like noisy depth, as a
// transport sends them, come back bit for bit and within a tenth of the raw cloud.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "codec/cloud_codec_round_trip.hpp"
#include "sample_scene.hpp"
#include "scaled_camera_config.hpp"
#include "synthetic_depth.hpp"
#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

CameraConfig package_config()
{
  std::ostringstream matrices;
  return load_camera_config(TAVRINOX_DEFAULT_CONFIG_PATH, matrices);
}

/// The package's cameras, their 640 x 480 intrinsics scaled to `width` x `height`.
CameraConfig scaled_config(std::uint32_t width, std::uint32_t height)
{
  return scaled_camera_config(package_config(), width, height);
}

TEST(CloudCodecFrames, SampleSceneCloudsComeBackBitForBitInEveryInstructionSet)
{
  const CameraConfig config = package_config();
  const SampleScene scene = render_sample_scene(config, 640, 480);
  const test::KeptFrame kept = test::run_kept_frame(config, scene.depth_1, scene.depth_2);
  // Camera 1 has holes camera 2 fills, so the converted cloud is a cloud of its own.
  ASSERT_GT(
    cloud_of(kept.products, OutputKind::converted_cloud).cloud.width,
    cloud_of(kept.products, OutputKind::cam1_cloud).cloud.width);
  CloudEncoder encoder;
  for (const InstructionSet set : test::supported_instruction_sets()) {
    CloudDecoder decoder(CloudDecoderLimits(), set);
    test::expect_clouds_round_trip(kept, encoder, decoder, "sample scene in " + to_string(set));
  }
}

TEST(CloudCodecFrames, NoisyFramesWithHolesComeBackAtATenthOfTheirCloudOrLess)
{
  struct Size
  {
    std::uint32_t width;
    std::uint32_t height;
  };
  CloudEncoder encoder;
  CloudDecoder decoder;
  for (const Size size : {Size{1280, 720}, Size{641, 479}}) {
    const std::string what = std::to_string(size.width) + " x " + std::to_string(size.height);
    const test::KeptFrame kept = test::run_kept_frame(
      scaled_config(size.width, size.height),
      test::make_depth_image(
        size.width, size.height, noisy_synthetic_depth(size.width, size.height, 0.1, 1)),
      test::make_depth_image(
        size.width, size.height, noisy_synthetic_depth(size.width, size.height, 0.1, 2)));
    const auto payload_bytes = test::expect_clouds_round_trip(kept, encoder, decoder, what);
    for (std::size_t k = 0; k < test::kClouds.size(); ++k) {
      const std::size_t cloud_bytes = cloud_of(kept.products, test::kClouds[k]).cloud.data.size();
      EXPECT_GT(cloud_bytes, 0u);
      EXPECT_LE(10 * payload_bytes[k], cloud_bytes) << what << ", cloud " << k + 1;
    }
  }
}

TEST(NoisySyntheticDepth, IsTheSurfaceWithItsHolesAndTheSensorsNoise)
{
  const std::uint32_t width = 320;
  const std::uint32_t height = 240;
  const std::vector<std::uint16_t> clean = synthetic_depth(width, height, 0.1, 5);
  const std::vector<std::uint16_t> noisy = noisy_synthetic_depth(width, height, 0.1, 5);
  EXPECT_EQ(noisy, noisy_synthetic_depth(width, height, 0.1, 5));
  EXPECT_NE(noisy, noisy_synthetic_depth(width, height, 0.1, 6));
  ASSERT_EQ(noisy.size(), clean.size());
  double sum = 0.0;
  double squares = 0.0;
  double expected_variance = 0.0;
  std::size_t measured = 0;
  for (std::size_t k = 0; k < clean.size(); ++k) {
    ASSERT_EQ(noisy[k] == 0, clean[k] == 0) << "pixel " << k << ": a hole moved";
    if (clean[k] == 0) {
      continue;
    }
    const double metres = clean[k] / 1000.0;
    const double sigma = 1.2 + 1.9 * (metres - 0.4) * (metres - 0.4);
    const double difference = static_cast<double>(noisy[k]) - clean[k];
    ASSERT_LT(std::abs(difference), 6.0 * sigma + 0.5) << "pixel " << k;
    sum += difference;
    squares += difference * difference;
    // Rounding to the millimetre adds the variance of a uniform step.
    expected_variance += sigma * sigma + 1.0 / 12.0;
    ++measured;
  }
  const double mean = sum / measured;
  const double variance = squares / measured - mean * mean;
  EXPECT_LT(std::abs(mean), 0.05);
  EXPECT_NEAR(variance / (expected_variance / measured), 1.0, 0.05);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
