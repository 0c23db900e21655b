// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
// Small builders and fakes shared by the unit tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tavrinox_camera_convertor/geometry/camera_config.hpp"
#include "tavrinox_camera_convertor/geometry/image.hpp"
#include "tavrinox_camera_convertor/pipeline/frame_output.hpp"

namespace tavrinox_camera_convertor::test
{

/// A complete configuration. Line numbers matter: error texts carry the 1-based position of
/// the offending value.
inline const char * const kComplete =
  "camera_extrinsic_1:\n"               // 1
  "  Rxyz: [0, 0, 0]\n"                 // 2
  "  Txyz: [0.1, 0.2, 0.3]\n"           // 3
  "camera_extrinsic_2:\n"               // 4
  "  Rxyz: [0, 0, 90]\n"                // 5
  "  Txyz: [1, 2, 3]\n"                 // 6
  "camera_intrinsic_1:\n"               // 7
  "  fx: 600.5\n"                       // 8
  "  fy: 601\n"                         // 9
  "  cx: 320\n"                         // 10
  "  cy: 240\n"                         // 11
  "camera_intrinsic_2:\n"               // 12
  "  fx: 610\n"                         // 13
  "  fy: 611\n"                         // 14
  "  cx: 330\n"                         // 15
  "  cy: 250\n"                         // 16
  "tavrinox_camera_convertor:\n"        // 17
  "  arm_frame_id: base_link\n"         // 18
  "  rgb_topic_1: /cam1/color\n"        // 19
  "  depth_topic_1: /cam1/depth\n"      // 20
  "  rgb_topic_2: /cam2/color\n"        // 21
  "  depth_topic_2: /cam2/depth\n";     // 22

/// A packed host-order "16UC1" image from row-major millimetres.
inline ImageMessage make_depth_image(
  std::uint32_t width, std::uint32_t height,
  const std::vector<std::uint16_t> & mm)
{
  ImageMessage image;
  image.width = width;
  image.height = height;
  image.encoding = "16UC1";
  image.is_bigendian = host_is_bigendian() ? 1 : 0;
  image.step = 2 * width;
  image.data.resize(mm.size() * 2);
  for (std::size_t i = 0; i < mm.size(); ++i) {
    std::memcpy(image.data.data() + 2 * i, &mm[i], 2);
  }
  return image;
}

/// A packed 8-bit image of `channels` channels filled from `bytes`.
inline ImageMessage make_color_image(
  std::uint32_t width, std::uint32_t height, const std::string & encoding,
  std::vector<std::uint8_t> bytes)
{
  ImageMessage image;
  image.width = width;
  image.height = height;
  image.encoding = encoding;
  image.step = height == 0 ? 0 : static_cast<std::uint32_t>(bytes.size() / height);
  image.data = std::move(bytes);
  return image;
}

/// Millimetres at (row, column) of a packed "16UC1" message.
inline std::uint16_t depth_at(const ImageMessage & image, std::uint32_t row, std::uint32_t column)
{
  std::uint16_t value;
  std::memcpy(&value, image.data.data() + row * image.step + 2 * column, sizeof value);
  return value;
}

/// The floats of point `index` of an encoded cloud.
struct Record
{
  float x, y, z, w;
};
inline Record record_at(const std::vector<std::uint8_t> & data, std::size_t index)
{
  Record record;
  std::memcpy(&record, data.data() + 16 * index, sizeof record);
  return record;
}

/// A file of the test's own, written on construction and removed when it goes out of scope.
class TemporaryFile
{
public:
  /// @brief Writes `text` to `name` in the test's temporary directory, prefixed with the pid.
  TemporaryFile(const std::string & name, const std::string & text)
  : path_(std::string(::testing::TempDir()) + std::to_string(getpid()) + "_" + name)
  {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << text;
  }
  ~TemporaryFile() {std::remove(path_.c_str());}
  TemporaryFile(const TemporaryFile &) = delete;
  TemporaryFile & operator=(const TemporaryFile &) = delete;

  const std::string & path() const {return path_;}

private:
  std::string path_;
};

/// A configuration with identity extrinsics and 640 x 480-style intrinsics.
inline CameraConfig identity_config()
{
  CameraConfig config;
  config.arm_frame_id = "arm_base";
  config.intrinsics_1 = {500.0f, 500.0f, 320.0f, 240.0f};
  config.intrinsics_2 = {500.0f, 500.0f, 320.0f, 240.0f};
  return config;
}

/// Counts up one second per reading, so every stamp tells which reading it came from.
class CountingClock : public Clock
{
public:
  Stamp now() override
  {
    ++readings;
    Stamp stamp;
    stamp.sec = readings;
    stamp.nanosec = 0;
    return stamp;
  }
  std::int32_t readings = 0;
};

/// A colour source whose conversion always fails, as an image bridge does for an unknown encoding.
class FailingColorConverter : public ColorConverter
{
public:
  void convert_to_rgb8(ImageMessage &) const override
  {
    throw std::runtime_error(
            "[32SC4] is not a color format. but [rgb8] is. The conversion does not make sense");
  }
};

}  // namespace tavrinox_camera_convertor::test
