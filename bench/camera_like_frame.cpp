// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "camera_like_frame.hpp"

#include <cmath>
#include <random>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "packed_image.hpp"
#include "sample_scene.hpp"
#include "scaled_camera_config.hpp"

namespace tavrinox_camera_convertor::bench
{
namespace
{

constexpr double kBaselineMm = 50.0;
constexpr double kDisparityNoisePixels = 0.08;
constexpr double kNoiseShareRadiusPixels = 1.0;
constexpr double kSubpixelSteps = 32.0;
constexpr double kOpticsBlurPixels = 0.7;
constexpr double kReadNoiseLevels = 2.0;
constexpr double kShotNoiseVariancePerLevel = 0.1;

/// Unit Gaussian noise that pixels within about `radius` of each other share.
cv::Mat1f shared_noise(int rows, int columns, double radius, std::mt19937 & random)
{
  std::normal_distribution<float> unit(0.0f, 1.0f);
  cv::Mat1f noise(rows, columns);
  for (float & value : noise) {
    value = unit(random);
  }
  cv::GaussianBlur(noise, noise, cv::Size(0, 0), radius);
  cv::Scalar mean;
  cv::Scalar deviation;
  cv::meanStdDev(noise, mean, deviation);
  return noise / deviation[0];
}

cv::Mat1w stereo_depth(const cv::Mat1w & truth, double focal_pixels, std::mt19937 & random)
{
  const cv::Mat1f noise = shared_noise(truth.rows, truth.cols, kNoiseShareRadiusPixels, random);
  const double focal_baseline = focal_pixels * kBaselineMm;
  cv::Mat1w measured(truth.size(), std::uint16_t{0});
  for (int row = 0; row < truth.rows; ++row) {
    for (int column = 0; column < truth.cols; ++column) {
      const std::uint16_t millimetres = truth(row, column);
      if (millimetres == 0) {
        continue;
      }
      double disparity = focal_baseline / millimetres + kDisparityNoisePixels * noise(row, column);
      disparity = std::round(disparity * kSubpixelSteps) / kSubpixelSteps;
      measured(row, column) = cv::saturate_cast<std::uint16_t>(focal_baseline / disparity);
    }
  }
  return measured;
}

cv::Mat3b camera_colour(const cv::Mat3b & clean, std::mt19937 & random)
{
  cv::Mat3f blurred;
  clean.convertTo(blurred, CV_32F);
  cv::GaussianBlur(blurred, blurred, cv::Size(0, 0), kOpticsBlurPixels);
  std::normal_distribution<float> unit(0.0f, 1.0f);
  cv::Mat3b noisy(clean.size());
  for (int row = 0; row < clean.rows; ++row) {
    for (int column = 0; column < clean.cols; ++column) {
      for (int channel = 0; channel < 3; ++channel) {
        const float level = blurred(row, column)[channel];
        const double sigma = std::sqrt(
          kReadNoiseLevels * kReadNoiseLevels + kShotNoiseVariancePerLevel * level);
        noisy(row, column)[channel] = cv::saturate_cast<std::uint8_t>(level + sigma * unit(random));
      }
    }
  }
  return noisy;
}

}  // namespace

CameraLikeFrame camera_like_frame(
  const CameraConfig & config, std::uint32_t width, std::uint32_t height)
{
  const CameraConfig camera = scaled_camera_config(config, width, height);
  const SampleScene scene = render_sample_scene(camera, width, height);
  std::mt19937 random(7);
  const cv::Mat1w truth(
    static_cast<int>(height), static_cast<int>(width),
    reinterpret_cast<std::uint16_t *>(const_cast<std::uint8_t *>(scene.depth_1.data.data())),
    scene.depth_1.step);
  const cv::Mat3b clean(
    static_cast<int>(height), static_cast<int>(width),
    reinterpret_cast<cv::Vec3b *>(const_cast<std::uint8_t *>(scene.rgb_1.data.data())),
    scene.rgb_1.step);
  CameraLikeFrame frame;
  frame.depth = image_message_of(stereo_depth(truth, camera.intrinsics_1.fx, random), "16UC1");
  frame.colour = image_message_of(camera_colour(clean, random), "bgr8");
  frame.rendered_colour = scene.rgb_1;
  frame.intrinsics = camera.intrinsics_1;
  frame.extrinsic = camera.extrinsic_1;
  return frame;
}

}  // namespace tavrinox_camera_convertor::bench
