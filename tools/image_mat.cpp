// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "image_mat.hpp"

#include <cstring>
#include <stdexcept>

namespace tavrinox_camera_convertor
{
namespace
{

int mat_type_of(const ImageMessage & image)
{
  if (image.encoding == "16UC1" || image.encoding == "mono16") {
    if ((image.is_bigendian != 0) != host_is_bigendian()) {
      throw std::invalid_argument(
              "a " + image.encoding + " image in the other byte order has no OpenCV view");
    }
    return CV_16UC1;
  }
  if (image.encoding == "bgr8" || image.encoding == "rgb8") {
    return CV_8UC3;
  }
  if (image.encoding == "mono8") {
    return CV_8UC1;
  }
  throw std::invalid_argument("no OpenCV view for encoding \"" + image.encoding + "\"");
}

}  // namespace

cv::Mat mat_view_of(const ImageMessage & image)
{
  const int type = mat_type_of(image);
  const std::size_t row_bytes = static_cast<std::size_t>(image.width) * CV_ELEM_SIZE(type);
  if (image.step < row_bytes ||
    image.data.size() < static_cast<std::size_t>(image.step) * image.height)
  {
    throw std::invalid_argument("image rows do not fit its data");
  }
  // OpenCV headers take a non-const pointer; callers only read through this one.
  return cv::Mat(
    static_cast<int>(image.height), static_cast<int>(image.width), type,
    const_cast<std::uint8_t *>(image.data.data()), image.step);
}

ImageMessage image_message_from(const cv::Mat & pixels, const std::string & encoding)
{
  ImageMessage image;
  image.height = static_cast<std::uint32_t>(pixels.rows);
  image.width = static_cast<std::uint32_t>(pixels.cols);
  image.encoding = encoding;
  image.is_bigendian = host_is_bigendian() ? 1 : 0;
  const std::size_t row_bytes = static_cast<std::size_t>(pixels.cols) * pixels.elemSize();
  image.step = static_cast<std::uint32_t>(row_bytes);
  image.data.resize(row_bytes * static_cast<std::size_t>(pixels.rows));
  for (int row = 0; row < pixels.rows; ++row) {
    std::memcpy(
      image.data.data() + row_bytes * static_cast<std::size_t>(row), pixels.ptr(
        row), row_bytes);
  }
  return image;
}

}  // namespace tavrinox_camera_convertor
