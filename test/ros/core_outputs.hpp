// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Expectations that the node's outputs, as the harness received them, are what the core library
// makes of the same inputs.
#pragma once

#include <gtest/gtest.h>

#include "output_harness.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_products.hpp"

namespace tavrinox_camera_convertor::test
{

inline void expect_cloud(const PointCloud2 & message, const pcl::PCLPointCloud2 & core)
{
  EXPECT_EQ(message.header.frame_id, "test_arm");
  EXPECT_EQ(message.height, core.height);
  EXPECT_EQ(message.width, core.width);
  EXPECT_EQ(message.point_step, 16u);
  EXPECT_EQ(message.row_step, core.row_step);
  EXPECT_EQ(message.is_dense, core.is_dense != 0);
  ASSERT_EQ(message.fields.size(), 3u);
  EXPECT_EQ(message.fields[2].name, "z");
  EXPECT_EQ(message.fields[2].offset, 8u);
  EXPECT_TRUE(message.data == core.data) << "points differ from the core's";
}

inline void expect_image(const Image & message, const ImageMessage & core)
{
  EXPECT_EQ(message.header.frame_id, "");
  EXPECT_EQ(message.encoding, core.encoding);
  EXPECT_EQ(message.width, core.width);
  EXPECT_EQ(message.height, core.height);
  EXPECT_EQ(message.step, core.step);
  EXPECT_TRUE(message.data == core.data) << "pixels differ from the core's";
}

/// @brief Expects the first output of each kind in `wanted` that `harness` received to be the
///        core's.
inline void expect_outputs_like_core(
  const Harness & harness, const FrameProducts & core, OutputSet wanted = OutputSet::all())
{
  if (wanted.contains(OutputKind::cam1_cloud)) {
    expect_cloud(*harness.cam1.at(0), core.cam1_cloud.cloud);
  }
  if (wanted.contains(OutputKind::cam2_cloud)) {
    expect_cloud(*harness.cam2.at(0), core.cam2_cloud.cloud);
  }
  if (wanted.contains(OutputKind::depth_image)) {
    expect_image(*harness.depth.at(0), core.completed_depth);
  }
  if (wanted.contains(OutputKind::color_image)) {
    expect_image(*harness.color.at(0), core.color);
  }
  if (wanted.contains(OutputKind::converted_cloud)) {
    expect_cloud(*harness.converted.at(0), core.converted_cloud.cloud);
  }
}

}  // namespace tavrinox_camera_convertor::test
