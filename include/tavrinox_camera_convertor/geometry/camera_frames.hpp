// Copyright 2026 Tavrinox developers. Licensed under the Apache License, Version 2.0.
#pragma once

#include <Eigen/Core>

#include <array>
#include <string>
#include <string_view>

#include "tavrinox_camera_convertor/geometry/extrinsic_transform.hpp"

namespace tavrinox_camera_convertor
{

/// A camera's pose in the arm frame as a transform message carries it.
struct FramePose
{
  std::array<double, 3> translation{};  ///< x, y, z, metres
  std::array<double, 4> rotation{0.0, 0.0, 0.0, 1.0};  ///< unit quaternion x, y, z, w
};

/**
 * @brief The pose whose transform maps camera points into the arm frame as `extrinsic` does:
 *        its translation column, and its rotation block as a unit quaternion.
 */
FramePose frame_pose(const ExtrinsicTransform & extrinsic);

/// @brief The homogeneous matrix of `pose`, for comparing it with an extrinsic transform.
Eigen::Matrix4d matrix_of(const FramePose & pose);

/**
 * @brief The extrinsic transform of a camera whose pose in the arm frame TF gives.
 *
 * The quaternion is normalised first; a transform that is not finite, or a quaternion whose
 * length is more than 1e-3 from 1, is no pose.
 * @param camera names the camera in the error text, for example "camera 2"
 * @throws FrameError naming the camera and the field
 */
ExtrinsicTransform extrinsic_of(const FramePose & pose, std::string_view camera);

/**
 * @brief Checks a frame id given through `parameter`: non-empty, without a leading slash,
 *        whitespace or control characters, as TF requires of frame ids.
 * @throws std::invalid_argument naming the parameter and saying what is wrong
 */
void require_valid_frame_id(const std::string & parameter, const std::string & frame_id);

/**
 * @brief Checks the optional camera frame names against each other and the arm frame: each
 *        one given (non-empty) is valid, differs from `arm_frame_id`, and the two differ.
 * @throws std::invalid_argument naming the parameter at fault
 */
void require_valid_camera_frames(
  const std::string & arm_frame_id, const std::string & camera_1_frame,
  const std::string & camera_2_frame);

}  // namespace tavrinox_camera_convertor
