// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// A frame's clouds sent the way a transport sends them: each from the copy of its source taken
// when the pipeline showed it, decoded with only the layout beside it, and compared with what
// the pipeline published.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/codec/cloud_decoder.hpp"
#include "tavrinox_camera_convertor/codec/cloud_encoder.hpp"
#include "tavrinox_camera_convertor/codec/depth_source_copy.hpp"
#include "tavrinox_camera_convertor/geometry/instruction_set.hpp"
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_pipeline.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor::test
{

/// @brief The instruction sets this machine runs, scalar first: a round trip must hold in each.
inline std::vector<InstructionSet> supported_instruction_sets()
{
  std::vector<InstructionSet> sets;
  for (const InstructionSet set :
    {InstructionSet::scalar, InstructionSet::sse2, InstructionSet::avx2})
  {
    if (is_supported(set)) {
      sets.push_back(set);
    }
  }
  return sets;
}

/// A tilted plane with +-3 mm noise and about a quarter of its pixels missing, and in its first
/// row the extremes whose differences wrap around 16 bits.
inline ImageMessage noisy_depth(std::uint32_t width, std::uint32_t height, unsigned seed)
{
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-3, 3);
  std::uniform_int_distribution<int> hole(0, 3);
  std::vector<std::uint16_t> mm(static_cast<std::size_t>(width) * height);
  for (std::uint32_t i = 0; i < height; ++i) {
    for (std::uint32_t j = 0; j < width; ++j) {
      const int value = 900 + 3 * static_cast<int>(i) + 2 * static_cast<int>(j) + noise(random);
      mm[static_cast<std::size_t>(i) * width + j] = hole(random) ==
        0 ? 0 : static_cast<std::uint16_t>(value);
    }
  }
  const std::uint16_t extremes[] = {65535, 1, 65535, 0, 65534};
  for (std::size_t k = 0; k < std::size(extremes) && k < mm.size(); ++k) {
    mm[k] = extremes[k];
  }
  return test::make_depth_image(width, height, mm);
}

inline const std::array<OutputKind, 3> kClouds = {
  OutputKind::cam1_cloud, OutputKind::cam2_cloud, OutputKind::converted_cloud};

/// A frame's published products and a copy of every cloud's source.
struct KeptFrame
{
  FrameProducts products;
  std::array<DepthSourceCopy, 3> sources;  ///< in kClouds' order
  int notes = 0;                           ///< calls of note_cloud_sources
};

/// Keeps what is published, and copies the sources when they are shown, as a transport must.
class SourceCopyingOutput : public KeepingOutput
{
public:
  explicit SourceCopyingOutput(KeptFrame & kept)
  : KeepingOutput(kept.products), kept_(kept) {}

  void note_cloud_sources(const CloudSources & sources) override
  {
    ++kept_.notes;
    kept_.sources[0].assign(sources.cam1_cloud);
    kept_.sources[1].assign(sources.cam2_cloud);
    kept_.sources[2].assign(sources.converted_cloud);
  }

private:
  KeptFrame & kept_;
};

/// @brief Runs one frame of `config` on both depth images with a grey colour image.
inline KeptFrame run_kept_frame(
  const CameraConfig & config, const ImageMessage & depth_1, const ImageMessage & depth_2)
{
  const ImageMessage rgb = make_color_image(
    depth_1.width, depth_1.height, "rgb8",
    std::vector<std::uint8_t>(3 * static_cast<std::size_t>(depth_1.width) * depth_1.height, 128));
  KeptFrame kept;
  SourceCopyingOutput output(kept);
  FramePipeline pipeline(config);
  CountingClock clock;
  pipeline.process(
    {view_of(depth_1), view_of(depth_2)}, ImageViewColorConverter(view_of(rgb)), clock, output);
  return kept;
}

/// @brief Expects `decoded` to equal `original` in data and every layout value.
inline void expect_same_cloud(
  const pcl::PCLPointCloud2 & decoded, const pcl::PCLPointCloud2 & original,
  const std::string & what)
{
  EXPECT_TRUE(decoded.data == original.data) << what << ": data differs";
  EXPECT_EQ(decoded.height, original.height) << what;
  EXPECT_EQ(decoded.width, original.width) << what;
  EXPECT_EQ(decoded.is_bigendian, original.is_bigendian) << what;
  EXPECT_EQ(decoded.point_step, original.point_step) << what;
  EXPECT_EQ(decoded.row_step, original.row_step) << what;
  EXPECT_EQ(decoded.is_dense, original.is_dense) << what;
  ASSERT_EQ(decoded.fields.size(), original.fields.size()) << what;
  for (std::size_t k = 0; k < original.fields.size(); ++k) {
    EXPECT_EQ(decoded.fields[k].name, original.fields[k].name) << what << " field " << k;
    EXPECT_EQ(decoded.fields[k].offset, original.fields[k].offset) << what << " field " << k;
    EXPECT_EQ(decoded.fields[k].datatype, original.fields[k].datatype) << what << " field " << k;
    EXPECT_EQ(decoded.fields[k].count, original.fields[k].count) << what << " field " << k;
  }
}

/**
 * @brief Sends each of the frame's clouds as its depth image through `encoder` and `decoder`
 *        and expects every one back bit for bit.
 * @return the payload sizes, in kClouds' order
 */
inline std::array<std::size_t, 3> expect_clouds_round_trip(
  const KeptFrame & kept, CloudEncoder & encoder, CloudDecoder & decoder, const std::string & what)
{
  std::array<std::size_t, 3> sizes{};
  EXPECT_EQ(kept.notes, 1) << what;
  std::vector<std::uint8_t> payload;
  for (std::size_t k = 0; k < kClouds.size(); ++k) {
    const pcl::PCLPointCloud2 & original = cloud_of(kept.products, kClouds[k]).cloud;
    encoder.encode_depth(kept.sources[k], payload);
    sizes[k] = payload.size();
    pcl::PCLPointCloud2 decoded;
    EXPECT_EQ(
      decoder.decode(payload, layout_of(original), decoded), CloudPayloadKind::depth_image);
    expect_same_cloud(decoded, original, what + ", cloud " + std::to_string(k + 1));
  }
  return sizes;
}

}  // namespace tavrinox_camera_convertor::test
