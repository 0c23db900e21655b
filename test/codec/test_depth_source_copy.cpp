// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// The copy of a cloud's depth source that a transport keeps: packed from padded rows in either
// byte order, its buffer reused for a copy of the same size.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "tavrinox_camera_convertor/codec/depth_source_copy.hpp"
#include "tavrinox_camera_convertor/geometry/depth_pixels.hpp"
#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

TEST(DepthSourceCopy, PacksPaddedAndSwappedRowsAndReusesItsBuffer)
{
  const std::vector<std::uint16_t> values = {0x0102, 0, 0xfffe, 1, 0x1000, 0x1234};
  // 3 x 2 rows, each padded by 4 bytes, in this machine's byte order (read in place) and in the
  // other one (converted first).
  ImageMessage padded;
  padded.width = 3;
  padded.height = 2;
  padded.encoding = "16UC1";
  padded.is_bigendian = host_is_bigendian() ? 1 : 0;
  padded.step = 10;
  padded.data.assign(20, 0xee);
  for (std::size_t k = 0; k < values.size(); ++k) {
    std::memcpy(&padded.data[k / 3 * 10 + k % 3 * 2], &values[k], 2);
  }
  ImageMessage swapped = padded;
  swapped.is_bigendian = host_is_bigendian() ? 0 : 1;
  for (std::size_t k = 0; k + 1 < swapped.data.size(); k += 2) {
    std::swap(swapped.data[k], swapped.data[k + 1]);
  }
  const ExtrinsicTransform extrinsic =
    make_extrinsic_transform({1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f});
  DepthSourceCopy copy;
  for (const ImageMessage * image : {&padded, &swapped}) {
    std::vector<std::uint16_t> scratch;
    const DepthPixels depth(view_of(*image), "camera 1", scratch);
    copy.assign(depth, {1.0f, 2.0f, 3.0f, 4.0f}, extrinsic);
    EXPECT_EQ(copy.millimetres(), values);
    EXPECT_EQ(copy.intrinsics().cy, 4.0f);
    EXPECT_EQ(copy.extrinsic(), extrinsic);
    const DepthPixels again = copy.pixels();
    EXPECT_EQ(DepthPixels::at(again.row(1), 2), 0x1234);
  }

  std::vector<std::uint16_t> scratch;
  const DepthPixels depth(view_of(padded), "camera 1", scratch);
  const std::uint16_t * buffer = copy.millimetres().data();
  copy.assign(depth, {}, extrinsic);
  EXPECT_EQ(copy.millimetres().data(), buffer) << "a same-sized copy allocated anew";

  CloudSource not_made;
  EXPECT_THROW(copy.assign(not_made), std::invalid_argument);
}

}  // namespace
}  // namespace tavrinox_camera_convertor
