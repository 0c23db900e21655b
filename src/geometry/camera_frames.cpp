// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#include "tavrinox_camera_convertor/geometry/camera_frames.hpp"

#include <Eigen/Geometry>

#include <cmath>
#include <stdexcept>

#include "tavrinox_camera_convertor/geometry/frame_error.hpp"

namespace tavrinox_camera_convertor
{

FramePose frame_pose(const ExtrinsicTransform & extrinsic)
{
  const Eigen::Matrix4d matrix = extrinsic.cast<double>();
  // The rotation came out of single-precision trigonometry, so it is orthonormal only to float
  // precision; the normalised quaternion gives it back to that precision.
  const Eigen::Quaterniond rotation =
    Eigen::Quaterniond(Eigen::Matrix3d(matrix.topLeftCorner<3, 3>())).normalized();
  FramePose pose;
  pose.translation = {matrix(0, 3), matrix(1, 3), matrix(2, 3)};
  pose.rotation = {rotation.x(), rotation.y(), rotation.z(), rotation.w()};
  return pose;
}

Eigen::Matrix4d matrix_of(const FramePose & pose)
{
  const Eigen::Quaterniond rotation(
    pose.rotation[3], pose.rotation[0], pose.rotation[1], pose.rotation[2]);
  Eigen::Matrix4d matrix = Eigen::Matrix4d::Identity();
  matrix.topLeftCorner<3, 3>() = rotation.toRotationMatrix();
  matrix(0, 3) = pose.translation[0];
  matrix(1, 3) = pose.translation[1];
  matrix(2, 3) = pose.translation[2];
  return matrix;
}

ExtrinsicTransform extrinsic_of(const FramePose & pose, std::string_view camera)
{
  const std::string where = std::string(camera) + " transform from TF: ";
  for (const double value : pose.translation) {
    if (!std::isfinite(value)) {
      throw FrameError(where + "translation is not finite");
    }
  }
  double squared = 0.0;
  for (const double value : pose.rotation) {
    if (!std::isfinite(value)) {
      throw FrameError(where + "rotation is not finite");
    }
    squared += value * value;
  }
  const double length = std::sqrt(squared);
  if (std::abs(length - 1.0) > 1e-3) {
    throw FrameError(
            where + "rotation quaternion has length " + std::to_string(length) + ", not 1");
  }
  FramePose unit = pose;
  for (double & value : unit.rotation) {
    value /= length;
  }
  return matrix_of(unit).cast<float>();
}

void require_valid_frame_id(const std::string & parameter, const std::string & frame_id)
{
  const auto refuse = [&](const std::string & why) {
      throw std::invalid_argument(
              "parameter " + parameter + " = \"" + frame_id + "\" is not a valid frame id: " + why);
    };
  if (frame_id.find_first_not_of(" \t\r\n\v\f") == std::string::npos) {
    refuse("it is empty");
  }
  if (frame_id.front() == '/') {
    refuse("frame ids have no leading slash");
  }
  for (const char c : frame_id) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f) {
      refuse("it contains whitespace or control characters");
    }
  }
}

void require_valid_camera_frames(
  const std::string & arm_frame_id, const std::string & camera_1_frame,
  const std::string & camera_2_frame)
{
  const auto check = [&](const char * parameter, const std::string & frame) {
      if (frame.empty()) {
        return;
      }
      require_valid_frame_id(parameter, frame);
      if (frame == arm_frame_id) {
        throw std::invalid_argument(
                std::string("parameter ") + parameter + " = \"" + frame +
                "\" names the arm frame itself (arm_frame_id): a camera needs a frame of its own");
      }
    };
  check("camera_1_frame", camera_1_frame);
  check("camera_2_frame", camera_2_frame);
  if (!camera_1_frame.empty() && camera_1_frame == camera_2_frame) {
    throw std::invalid_argument(
            "parameters camera_1_frame and camera_2_frame both name \"" + camera_1_frame +
            "\": the two cameras sit at different poses and need frames of their own");
  }
}

}  // namespace tavrinox_camera_convertor
