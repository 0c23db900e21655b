// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/frame_error.hpp"
#include "test_support.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

std::vector<std::uint16_t> read_all(const DepthPixels & depth)
{
  std::vector<std::uint16_t> values;
  for (std::uint32_t i = 0; i < depth.height(); ++i) {
    for (std::uint32_t j = 0; j < depth.width(); ++j) {
      values.push_back(DepthPixels::at(depth.row(i), j));
    }
  }
  return values;
}

std::string rejection(const ImageMessage & image)
{
  std::vector<std::uint16_t> scratch;
  try {
    DepthPixels(view_of(image), "camera 2", scratch);
  } catch (const FrameError & error) {
    return error.what();
  }
  return "accepted";
}

TEST(DepthPixels, PaddedRowsAreReadThroughTheStep)
{
  // 3 pixels per row, 8 bytes per row: 2 bytes of padding each, filled with garbage.
  ImageMessage image = test::make_depth_image(3, 2, {});
  image.step = 8;
  const std::uint16_t rows[2][4] = {{10, 20, 30, 0xBEEF}, {40, 50, 60, 0xBEEF}};
  image.data.resize(16);
  std::memcpy(image.data.data(), rows, 16);
  std::vector<std::uint16_t> scratch;
  EXPECT_EQ(
    read_all(DepthPixels(view_of(image), "camera 1", scratch)),
    (std::vector<std::uint16_t>{10, 20, 30, 40, 50, 60}));
}

TEST(DepthPixels, ForeignByteOrderIsSwappedForBothSixteenBitEncodings)
{
  for (const char * encoding : {"16UC1", "mono16"}) {
    ImageMessage image = test::make_depth_image(2, 1, {});
    image.encoding = encoding;
    image.is_bigendian = host_is_bigendian() ? 0 : 1;
    // 1000 and 1 most significant byte first, on a little-endian host
    image.data = {0x03, 0xE8, 0x00, 0x01};
    std::vector<std::uint16_t> scratch;
    if (!host_is_bigendian()) {
      EXPECT_EQ(
        read_all(DepthPixels(view_of(image), "camera 1", scratch)),
        (std::vector<std::uint16_t>{1000, 1}))
        << encoding;
    }
  }
}

TEST(DepthPixels, MetresAreRoundedToMillimetresAndInvalidValuesBecomeZero)
{
  const std::vector<float> metres = {
    1.2344f, 1.2346f, 0.0004f, 0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
    std::numeric_limits<float>::infinity(), 65.535f, 65.5356f, 70.0f};
  ImageMessage image;
  image.width = static_cast<std::uint32_t>(metres.size());
  image.height = 1;
  image.encoding = "32FC1";
  image.step = 4 * image.width;
  image.is_bigendian = host_is_bigendian() ? 1 : 0;
  image.data.resize(image.step);
  std::memcpy(image.data.data(), metres.data(), image.step);
  std::vector<std::uint16_t> scratch;
  EXPECT_EQ(
    read_all(DepthPixels(view_of(image), "camera 1", scratch)),
    (std::vector<std::uint16_t>{1234, 1235, 0, 0, 0, 0, 0, 65535, 0, 0}));
}

TEST(DepthPixels, UnreadableImagesAreRejectedWithTheCameraAndTheReason)
{
  ImageMessage image = test::make_depth_image(4, 3, std::vector<std::uint16_t>(12, 7));
  std::vector<std::uint16_t> scratch;
  EXPECT_EQ(
    read_all(DepthPixels(view_of(image), "camera 1", scratch)),
    std::vector<std::uint16_t>(12, 7));

  ImageMessage wrong_encoding = image;
  wrong_encoding.encoding = "rgb8";
  EXPECT_EQ(
    rejection(wrong_encoding),
    "camera 2 depth image: encoding \"rgb8\" is not supported "
    "(expected 16UC1 or mono16 in millimetres, or 32FC1 in metres)");

  ImageMessage short_data = image;
  short_data.data.pop_back();
  EXPECT_EQ(
    rejection(
      short_data), "camera 2 depth image: data holds 23 bytes, fewer than step x height = 24");

  ImageMessage short_step = image;
  short_step.step = 6;
  EXPECT_EQ(
    rejection(
      short_step), "camera 2 depth image: step 6 is shorter than a row of 4 pixels (8 bytes)");

  // A step and height whose product overflows 32 bits must not pass the length check.
  ImageMessage huge = image;
  huge.step = 0x80000000u;
  huge.height = 2;
  EXPECT_EQ(rejection(huge).find("camera 2 depth image: data holds 24 bytes"), 0u);
}

TEST(DepthPixels, ImagesWithoutPixelsNeedNoData)
{
  ImageMessage image = test::make_depth_image(0, 5, {});
  image.step = 0;
  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(image), "camera 1", scratch);
  EXPECT_TRUE(depth.empty());
  EXPECT_EQ(depth.height(), 5u);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
