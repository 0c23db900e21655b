// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "image_files.hpp"

#include <pcl/io/pcd_io.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "image_mat.hpp"
#include "runner_error.hpp"

namespace tavrinox_camera_convertor
{
namespace
{

// Read here rather than by cv::imread, which cannot tell a missing file from a bad one.
std::vector<std::uint8_t> read_file_bytes(const std::string & path)
{
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    throw RunnerError(path + ": no such file");
  }
  if (std::filesystem::is_directory(status)) {
    throw RunnerError(path + ": is a directory, not an image file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw RunnerError(path + ": cannot open it (" + std::strerror(errno) + ")");
  }
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
    std::istreambuf_iterator<char>());
  if (in.bad()) {
    throw RunnerError(path + ": cannot read it");
  }
  if (bytes.empty()) {
    throw RunnerError(path + ": the file is empty");
  }
  return bytes;
}

bool starts_with(const std::vector<std::uint8_t> & bytes, const std::vector<std::uint8_t> & prefix)
{
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool ends_with(const std::vector<std::uint8_t> & bytes, const std::vector<std::uint8_t> & suffix)
{
  return bytes.size() >= suffix.size() &&
         std::equal(suffix.rbegin(), suffix.rend(), bytes.rbegin());
}

/// A PNG cut short, the usual unreadable file, is told apart before libpng prints its own
/// complaint.
bool is_truncated_png(const std::vector<std::uint8_t> & bytes)
{
  const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  const std::vector<std::uint8_t> end_chunk =
  {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xae, 0x42, 0x60, 0x82};
  return starts_with(bytes, signature) && !ends_with(bytes, end_chunk);
}

cv::Mat decode_image(const std::string & path, int flags)
{
  const std::vector<std::uint8_t> bytes = read_file_bytes(path);
  if (is_truncated_png(bytes)) {
    throw RunnerError(path + ": the PNG file is truncated (it ends before its IEND chunk)");
  }
  cv::Mat pixels;
  try {
    pixels = cv::imdecode(bytes, flags);
  } catch (const cv::Exception &) {
    pixels.release();
  }
  if (pixels.empty()) {
    throw RunnerError(path + ": not an image file OpenCV can decode");
  }
  return pixels;
}

std::string describe_pixel_type(const cv::Mat & pixels)
{
  constexpr const char * kDepthNames[] = {"8-bit", "8-bit signed", "16-bit", "16-bit signed",
    "32-bit integer", "32-bit float", "64-bit float", "16-bit float"};
  const int channels = pixels.channels();
  return std::to_string(channels) + "-channel " + kDepthNames[pixels.depth()];
}

}  // namespace

ImageMessage read_depth_image(const std::string & path)
{
  const cv::Mat pixels = decode_image(path, cv::IMREAD_UNCHANGED);
  if (pixels.type() != CV_16UC1) {
    throw RunnerError(
            path + ": a depth image must be single-channel 16-bit (millimetres), this one is " +
            describe_pixel_type(pixels));
  }
  return image_message_from(pixels, "16UC1");
}

ImageMessage read_color_image(const std::string & path)
{
  return image_message_from(decode_image(path, cv::IMREAD_COLOR), "bgr8");
}

void write_png_file(
  const cv::Mat & pixels, const std::filesystem::path & path,
  const std::string & shown_path)
{
  std::vector<std::uint8_t> encoded;
  if (!cv::imencode(".png", pixels, encoded)) {
    throw RunnerError(shown_path + ": cannot encode the image as PNG");
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(
    reinterpret_cast<const char *>(encoded.data()),
    static_cast<std::streamsize>(encoded.size()));
  out.close();
  if (!out) {
    throw RunnerError(shown_path + ": cannot write it (" + std::strerror(errno) + ")");
  }
}

void write_pcd_file(
  const pcl::PCLPointCloud2 & cloud, const std::filesystem::path & path,
  const std::string & shown_path)
{
  int status = -1;
  try {
    status = pcl::io::savePCDFile(
      path.string(), cloud,
      Eigen::Vector4f::Zero(), Eigen::Quaternionf::Identity(), true);
  } catch (const pcl::PCLException & error) {
    throw RunnerError(
            shown_path + ": cannot write the point cloud (" + error.detailedMessage() + ")");
  }
  if (status != 0) {
    throw RunnerError(shown_path + ": cannot write the point cloud");
  }
}

}  // namespace tavrinox_camera_convertor
