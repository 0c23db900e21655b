// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>

#include "tavrinox_camera_convertor/geometry/camera_info.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

TEST(PinholeCameraInfo, CarriesTheConvertersIntrinsicsExactlyAndNoDistortion)
{
  // Values a float holds exactly only as themselves: the doubles must be their widenings.
  const CameraIntrinsics intrinsics{525.123f, 524.877f, 319.5f, 239.25f};
  const PinholeCameraInfo info = pinhole_camera_info(intrinsics, 1280, 720);
  EXPECT_EQ(info.width, 1280u);
  EXPECT_EQ(info.height, 720u);
  EXPECT_EQ(info.distortion_model, "plumb_bob");
  for (const double coefficient : info.d) {
    EXPECT_EQ(coefficient, 0.0);
  }
  const std::array<double, 9> k = {
    static_cast<double>(525.123f), 0.0, 319.5, 0.0, static_cast<double>(524.877f), 239.25,
    0.0, 0.0, 1.0};
  EXPECT_EQ(info.k, k);
  EXPECT_EQ(info.r, (std::array<double, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
  // The projection is the intrinsic matrix with a zero fourth column: no stereo baseline.
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      EXPECT_EQ(info.p[row * 4 + column], info.k[row * 3 + column]);
    }
    EXPECT_EQ(info.p[row * 4 + 3], 0.0);
  }
  EXPECT_EQ(static_cast<float>(info.k[0]), intrinsics.fx);
  EXPECT_EQ(static_cast<float>(info.k[4]), intrinsics.fy);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
