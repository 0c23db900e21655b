// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include <gtest/gtest.h>
#include <pcl/conversions.h>

#include <vector>

#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

void expect_xyz_fields(const pcl::PCLPointCloud2 & message)
{
  ASSERT_EQ(message.fields.size(), 3u);
  const char * names[] = {"x", "y", "z"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(message.fields[i].name, names[i]);
    EXPECT_EQ(message.fields[i].offset, 4 * i);
    EXPECT_EQ(message.fields[i].datatype, pcl::PCLPointField::FLOAT32);
    EXPECT_EQ(message.fields[i].count, 1u);
  }
  EXPECT_EQ(message.point_step, 16u);
  EXPECT_EQ(message.data.size(), static_cast<std::size_t>(message.row_step) * message.height);
}

TEST(CloudEncoding, OnePointGivesItsSixteenLittleEndianBytes)
{
  pcl::PointCloud<pcl::PointXYZ> cloud;
  cloud.push_back(pcl::PointXYZ(1.0f, 2.0f, 3.0f));
  pcl::PCLPointCloud2 message;
  encode_cloud(cloud, message);
  expect_xyz_fields(message);
  EXPECT_EQ(message.width, 1u);
  EXPECT_EQ(message.height, 1u);
  EXPECT_EQ(message.row_step, 16u);
  EXPECT_FALSE(message.is_bigendian);
  EXPECT_EQ(
    message.data, (std::vector<std::uint8_t>{
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x40, 0x40, 0x00, 0x00, 0x80,
        0x3F}));
}

TEST(CloudEncoding, EmptyCloudIsOneRowOfNothing)
{
  pcl::PCLPointCloud2 message;
  encode_cloud(pcl::PointCloud<pcl::PointXYZ>(), message);
  expect_xyz_fields(message);
  EXPECT_EQ(message.height, 1u);
  EXPECT_EQ(message.width, 0u);
  EXPECT_EQ(message.row_step, 0u);
  EXPECT_TRUE(message.data.empty());
  EXPECT_TRUE(message.is_dense);
}

TEST(CloudEncoding, PreparedLayoutEqualsTheLibrarysEvenWhenReused)
{
  pcl::PointCloud<pcl::PointXYZ> cloud;
  for (int i = 0; i < 5; ++i) {
    cloud.push_back(pcl::PointXYZ(static_cast<float>(i), 0.5f, -2.0f));
  }
  pcl::PCLPointCloud2 expected;
  pcl::toPCLPointCloud2(cloud, expected);

  // A message left over from a larger frame with foreign metadata.
  pcl::PCLPointCloud2 reused;
  reused.header.frame_id = "stale";
  reused.header.stamp = 99;
  reused.fields.resize(7);
  reused.data.resize(4096, 0xAB);
  prepare_xyz_cloud(cloud.size(), reused);
  std::memcpy(reused.data.data(), cloud.points.data(), reused.data.size());

  EXPECT_EQ(reused.header.frame_id, expected.header.frame_id);
  EXPECT_EQ(reused.header.stamp, expected.header.stamp);
  EXPECT_EQ(reused.header.seq, expected.header.seq);
  EXPECT_EQ(reused.height, expected.height);
  EXPECT_EQ(reused.width, expected.width);
  EXPECT_EQ(reused.is_bigendian, expected.is_bigendian);
  EXPECT_EQ(reused.point_step, expected.point_step);
  EXPECT_EQ(reused.row_step, expected.row_step);
  EXPECT_EQ(reused.is_dense, expected.is_dense);
  EXPECT_EQ(reused.data, expected.data);
  ASSERT_EQ(reused.fields.size(), expected.fields.size());
  for (std::size_t i = 0; i < reused.fields.size(); ++i) {
    EXPECT_EQ(reused.fields[i].name, expected.fields[i].name);
    EXPECT_EQ(reused.fields[i].offset, expected.fields[i].offset);
    EXPECT_EQ(reused.fields[i].datatype, expected.fields[i].datatype);
    EXPECT_EQ(reused.fields[i].count, expected.fields[i].count);
  }
}

}  // namespace
}  // namespace tavrinox_camera_convertor
