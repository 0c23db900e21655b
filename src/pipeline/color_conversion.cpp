// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/pipeline/color_conversion.hpp"

#include <limits>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

struct SourceLayout
{
  int channels;
  int conversion;  ///< cv::cvtColor code, or -1 for a plain copy
};

SourceLayout source_layout(std::string_view encoding)
{
  if (encoding == "rgb8") {
    return {3, -1};
  }
  if (encoding == "bgr8") {
    return {3, cv::COLOR_BGR2RGB};
  }
  if (encoding == "rgba8") {
    return {4, cv::COLOR_RGBA2RGB};
  }
  if (encoding == "bgra8") {
    return {4, cv::COLOR_BGRA2RGB};
  }
  if (encoding == "mono8") {
    return {1, cv::COLOR_GRAY2RGB};
  }
  throw FrameError(
          "camera 1 colour image: cannot convert encoding \"" + std::string(encoding) +
          "\" to rgb8");
}

}  // namespace

void convert_image_to_rgb8(const ImageView & image, ImageMessage & out)
{
  const SourceLayout layout = source_layout(image.encoding);
  constexpr std::uint32_t kLargest = std::numeric_limits<int>::max() / 4;
  if (image.width > kLargest || image.height > kLargest) {
    throw FrameError(
            "camera 1 colour image: " + std::to_string(image.width) + " x " +
            std::to_string(image.height) + " pixels is too large");
  }
  // Checked before the output is sized: a header may claim far more pixels than its data holds.
  require_rows_inside_data(
    image, static_cast<std::size_t>(layout.channels), "camera 1",
    "colour image");
  out.height = image.height;
  out.width = image.width;
  out.step = static_cast<std::uint32_t>(3 * static_cast<std::uint64_t>(image.width));
  out.data.resize(static_cast<std::size_t>(out.step) * out.height);
  if (image.width == 0 || image.height == 0) {
    return;
  }
  const int rows = static_cast<int>(image.height);
  const int columns = static_cast<int>(image.width);
  // OpenCV only reads the source; the header needs a non-const pointer.
  const cv::Mat source(rows, columns, CV_8UC(layout.channels),
    const_cast<std::uint8_t *>(image.data), image.step);
  cv::Mat target(rows, columns, CV_8UC3, out.data.data(), out.step);
  if (layout.conversion < 0) {
    source.copyTo(target);
  } else {
    cv::cvtColor(source, target, layout.conversion);
  }
}

}  // namespace tavrinox_camera_convertor
