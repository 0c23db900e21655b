// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "packed_image.hpp"

#include <cstddef>
#include <cstring>

namespace tavrinox_camera_convertor::bench
{

ImageMessage image_message_of(const cv::Mat & image, const std::string & encoding)
{
  ImageMessage message;
  message.width = static_cast<std::uint32_t>(image.cols);
  message.height = static_cast<std::uint32_t>(image.rows);
  message.encoding = encoding;
  message.is_bigendian = image.elemSize1() > 1 && host_is_bigendian() ? 1 : 0;
  message.step = static_cast<std::uint32_t>(image.cols * image.elemSize());
  message.data.resize(static_cast<std::size_t>(message.step) * message.height);
  // Row by row: a file's image may have padding between its rows.
  for (int row = 0; row < image.rows; ++row) {
    std::memcpy(
      message.data.data() + static_cast<std::size_t>(row) * message.step, image.ptr(row),
      message.step);
  }
  return message;
}

ImageMessage depth_image_message(
  std::uint32_t width, std::uint32_t height, const std::uint16_t * millimetres)
{
  // A header over the millimetres, which image_message_of only reads.
  const cv::Mat image(
    static_cast<int>(height), static_cast<int>(width), CV_16UC1,
    const_cast<std::uint16_t *>(millimetres));
  return image_message_of(image, "16UC1");
}

}  // namespace tavrinox_camera_convertor::bench
