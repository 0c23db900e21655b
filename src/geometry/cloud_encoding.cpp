// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/cloud_encoding.hpp"

#include <pcl/conversions.h>
#include <pcl/for_each_type.h>

namespace tavrinox_camera_convertor
{

void encode_cloud(const pcl::PointCloud<pcl::PointXYZ> & cloud, pcl::PCLPointCloud2 & out)
{
  pcl::toPCLPointCloud2(cloud, out);
}

void prepare_xyz_cloud(std::size_t points, pcl::PCLPointCloud2 & out)
{
  // Field for field what pcl::toPCLPointCloud2 writes into a fresh message for an
  // unorganized cloud, so both routes give identical messages.
  out.header = pcl::PCLHeader();
  out.height = 1;
  out.width = static_cast<pcl::uindex_t>(points);
  out.fields.clear();
  pcl::for_each_type<pcl::traits::fieldList<pcl::PointXYZ>::type>(
    pcl::detail::FieldAdder<pcl::PointXYZ>(out.fields));
  out.is_bigendian = pcl::PCLPointCloud2().is_bigendian;
  out.point_step = kPointRecordBytes;
  out.row_step = static_cast<pcl::uindex_t>(kPointRecordBytes * points);
  out.is_dense = 1;
  out.data.resize(kPointRecordBytes * points);
}

}  // namespace tavrinox_camera_convertor
